#include "chart/excel_binding.h"

namespace rw::chart {

EngineFactory::EngineFactory(PictureSink copyPicture) : copyPicture_(std::move(copyPicture)) {}

automation::ObjectRef EngineFactory::createObject(const std::string&) {
    throw Failure("The spreadsheet engine is not available yet");
}

}  // namespace rw::chart
