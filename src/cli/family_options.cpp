#include "cli/family_options.h"

#include "cli/native_names.h"

namespace rw::cli {

namespace {

const QString kTool = QStringLiteral("rootweave-chart: ");

void listPeople(const family::FamilyFile& file, const std::vector<family::PersonIndex>& people,
                QTextStream& err) {
    for (const family::PersonIndex index : people) {
        err << "  " << personLine(file.people.at(static_cast<std::size_t>(index))) << "\n";
    }
}

}  // namespace

void WarningWriter::write(const std::vector<family::Warning>& warnings) {
    for (const family::Warning& warning : warnings) {
        if (++count_ > kShownWarnings) {
            continue;
        }
        err_ << kTool << "warning: " << fileName_;
        if (warning.line > 0) {
            err_ << ", line " << warning.line;
        }
        err_ << ": " << QString::fromStdString(warning.message) << "\n";
    }
    err_.flush();
}

void WarningWriter::finish() {
    if (count_ > kShownWarnings) {
        err_ << kTool << "warning: " << fileName_ << ": " << (count_ - kShownWarnings)
             << " more warning(s) not shown\n";
        err_.flush();
    }
}

QString personLine(const family::Person& person) {
    QString line = QString::fromStdString(family::displayName(person));
    const std::string years = family::yearsText(person);
    if (!years.empty()) {
        line += QStringLiteral(" (%1)").arg(QString::fromStdString(years));
    }
    return line + QStringLiteral("  @%1@").arg(QString::fromStdString(person.id));
}

std::optional<family::PersonIndex> choosePerson(const family::FamilyFile& file, const QString& fileName,
                                                const std::string& ref, QTextStream& err) {
    std::vector<family::PersonIndex> partial;
    const std::vector<family::PersonIndex> found = family::findPeople(file, ref, &partial);
    if (found.size() == 1) {
        return found.front();
    }
    const QString shownRef = argumentFromBytes(ref);
    if (found.size() > 1) {
        err << kTool << found.size() << " people in " << fileName << " are named \"" << shownRef
            << "\"; give the id of one with --person:\n";
        listPeople(file, found, err);
    } else if (!partial.empty()) {
        err << kTool << "no one in " << fileName << " is named \"" << shownRef
            << "\"; these names contain it (give the id or the whole name with --person):\n";
        listPeople(file, partial, err);
    } else {
        err << kTool << "no one in " << fileName << " is named \"" << shownRef << "\" or has that id\n";
    }
    err.flush();
    return std::nullopt;
}

}  // namespace rw::cli
