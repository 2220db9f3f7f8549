#pragma once

#include <QString>
#include <QTextStream>
#include <optional>
#include <string>
#include <vector>

#include "family/family.h"

// rootweave-chart --gedcom FILE --person REF: the person whose ancestors fill the chart, found in a family
// file by record id or by whole name, and the file's warnings, all told on standard error.
namespace rw::cli {

// At most this many warnings are shown one by one; the rest are counted.
inline constexpr int kShownWarnings = 20;

// Writes a family file's warnings as they come, each once, up to kShownWarnings; finish() then says how many
// more there were.
class WarningWriter {
  public:
    WarningWriter(QTextStream& err, QString fileName) : err_(err), fileName_(std::move(fileName)) {}
    void write(const std::vector<family::Warning>& warnings);
    void finish();

  private:
    QTextStream& err_;
    QString fileName_;
    int count_ = 0;
};

// One person as the lists show them: name, years when known, record id ("Ada King (1815–1852)  @I1@").
QString personLine(const family::Person& person);

// The one person `ref` (bytes as given) names in `file`: a record id ("@I12@" or "I12") or a whole name,
// compared after folding case, accents and spacing. When no one or several people match, says so on `err`,
// listing the several, or else those whose names contain `ref`, and returns nothing.
std::optional<family::PersonIndex> choosePerson(const family::FamilyFile& file, const QString& fileName,
                                                const std::string& ref, QTextStream& err);

}  // namespace rw::cli
