#include "chart/excel_binding.h"

#include <memory>

#include "chart/binding_objects.h"
#include "platform/program_names.h"

namespace rw::chart {

EngineFactory::EngineFactory(PictureSink copyPicture) : copyPicture_(std::move(copyPicture)) {}

automation::ObjectRef EngineFactory::createObject(const std::string& className) {
    if (!binding::is(className, names::kExcelClassName)) {
        throw Failure("ActiveX component can't create object: " + className);
    }
    auto app = std::make_shared<binding::AppState>();
    app->core->copyPicture = copyPicture_;
    app->core->saveAs = saveAs_;
    app->core->newSheetPageSetup = newSheetPageSetup_;
    app->core->printAreaOverUsedRange = printAreaOverUsedRange_;
    return binding::makeApplication(app);
}

}  // namespace rw::chart
