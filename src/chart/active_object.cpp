#include "chart/active_object.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/failure.h"
#include "platform/program_names.h"

namespace rw::chart {

namespace {

const char kCannotCreate[] = "ActiveX component can't create object";

// The running Excel as far as we may touch it: it tells its name, and nothing else is done to it.
class RunningExcel : public automation::Object {
  public:
    automation::Variant get(std::string_view member, const automation::Args& args) override {
        if (args.empty() && (member == automation::kDefaultMember || equalsNoCase(member, "Name"))) {
            return std::string(names::kExcelName);
        }
        throw Failure("Object doesn't support this property or method");
    }
    void let(std::string_view, const automation::Args&, const automation::Variant&) override {
        throw Failure("Object doesn't support this property or method");
    }
    automation::Variant call(std::string_view, const automation::Args&) override {
        throw Failure("Object doesn't support this property or method");
    }

    static bool equalsNoCase(std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    }
};

}  // namespace

bool isExcelProcessName(const QString& name) {
    return name.compare(QStringLiteral("EXCEL.EXE"), Qt::CaseInsensitive) == 0;
}

bool isExcelClassName(const std::string& className) {
    const QString name = QString::fromStdString(className);
    const QString base = QString::fromLatin1(names::kExcelClassName);
    if (name.compare(base, Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (!name.startsWith(base + QLatin1Char('.'), Qt::CaseInsensitive)) {
        return false;
    }
    bool numeric = false;
    name.mid(base.size() + 1).toUInt(&numeric);
    return numeric;
}

automation::ObjectRef RunningExcelLookup::getActiveObject(const std::string& className) {
    if (!isExcelClassName(className)) {
        throw Failure(kCannotCreate);
    }
    const QStringList names = processes_.runningProcessNames();
    if (std::none_of(names.begin(), names.end(), isExcelProcessName)) {
        throw Failure(kCannotCreate);
    }
    return std::make_shared<RunningExcel>();
}

}  // namespace rw::chart
