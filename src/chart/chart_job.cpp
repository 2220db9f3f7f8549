#include "chart/chart_job.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "chart/number_parse.h"
#include "platform/failure.h"

#include "platform/program_names.h"

namespace rw::chart {

namespace {

using automation::Dispatch;

// The workbook's active sheet, asked for anew by each statement that uses it, as the layout's statements
// read "the workbook's ActiveSheet". Once the workbook has named its sheet, that sheet is kept: the layout
// never activates another one.
class ActiveSheetOf : public automation::Object {
  public:
    explicit ActiveSheetOf(Dispatch workbook) : workbook_(std::move(workbook)) {}

    automation::Variant get(std::string_view member, const automation::Args& args) override {
        return sheet().value(member, args);
    }
    void let(std::string_view member, const automation::Args& args,
             const automation::Variant& value) override {
        sheet().let(member, args, value);
    }
    automation::Variant call(std::string_view member, const automation::Args& args) override {
        return sheet().call(member, args);
    }

  private:
    const Dispatch& sheet() {
        if (!sheet_) {
            sheet_ = workbook_.get("ActiveSheet");
        }
        return sheet_;
    }

    Dispatch workbook_;
    Dispatch sheet_;
};

}  // namespace

ChartJob::ChartJob(ErrorTrap& trap, automation::ObjectFactory& factory, AfterReport afterReport)
    : trap_(trap), factory_(factory), afterReport_(afterReport) {}

bool ChartJob::start() {
    const bool stopping = afterReport_ == AfterReport::Stop;
    started_ = trap_.run(110, [&] { excel_ = factory_.createObject(names::kExcelClassName); });
    if (!started_ && stopping) {
        stopped_ = true;
        return false;
    }
    if (!stopping) {
        trap_.run(112, [&] { workbook_ = automation::toObject(excel_.get("Workbooks").call("Add")); });
        trap_.run(114, [&] { excel_.let("Visible", false); });
        sheet_ = Dispatch(std::make_shared<ActiveSheetOf>(workbook_));
        return true;
    }
    const bool made =
        trap_.run(112, [&] { workbook_ = automation::toObject(excel_.get("Workbooks").call("Add")); }) &&
        trap_.run(114, [&] { excel_.let("Visible", false); }) &&
        trap_.run(116, [&] { sheet_ = workbook_.get("ActiveSheet"); });
    stopped_ = !made;
    return made;
}

bool ChartJob::layOut(const QString& name, const QString& generations, const PowerFunction& power) {
    return layOut(name, generations, ChartFill{}, power);
}

bool ChartJob::layOut(const QString& name, const QString& generations, const ChartFill& fill,
                      const PowerFunction& power) {
    if (stopped_) {
        return false;
    }
    std::optional<BoxTexts> boxes;
    if (!fill.blank()) {
        int count = 0;
        if (const std::optional<double> value = parseNumber(generations)) {
            try {
                count = std::min(firstGenerationIndex(*value), kMaxGenerations - 1) + 1;
            } catch (const Failure&) {
                // the layout reports the text at line 158
            }
        }
        boxes = boxTextsFor(fill, count, &warnings_);
    }
    const int before = trap_.reportsShown();
    layoutFamilyTree(trap_, sheet_, name, generations, power, boxes ? &*boxes : nullptr);
    if (afterReport_ == AfterReport::Stop && trap_.reportsShown() != before) {
        stopped_ = true;
    }
    return !stopped_;
}

bool ChartJob::saveAs(const QString& path) {
    if (stopped_) {
        return false;
    }
    const bool saved = trap_.run(216, [&] { workbook_.call("SaveAs", {path.toStdString()}); });
    if (!saved && afterReport_ == AfterReport::Stop) {
        stopped_ = true;
    }
    return saved;
}

void ChartJob::finish() {
    const bool stopping = afterReport_ == AfterReport::Stop;
    if (stopping && !started_) {
        return;
    }
    sheet_.reset();
    trap_.run(218, [&] { excel_.let("DisplayAlerts", false); });
    if (!stopping || workbook_) {
        trap_.run(220, [&] { workbook_.call("Close"); });
    }
    trap_.run(222, [&] { excel_.call("Quit"); });
    trap_.run(224, [&] { excel_.reset(); });
}

}  // namespace rw::chart
