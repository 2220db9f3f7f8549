#include "widgets/common_dialog.h"

#include <QStringList>
#include <algorithm>

namespace rw {

void CommonDialog::ShowSave() {
    int entry = std::max(0, FilterIndex - 1);
    const QString chosen = dialog_.showSave(DialogTitle, qtFilter(Filter), FileName, entry);
    if (!chosen.isEmpty()) {
        FileName = chosen;
        FilterIndex = entry + 1;
    }
}

QString qtFilter(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split(u'|');
    if (!parts.isEmpty() && parts.back().isEmpty()) {
        parts.pop_back();  // the closing bar
    }
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(u';', u' ');
        const QString named = u'(' + patterns + u')';
        if (description.contains(named) || patterns.isEmpty()) {
            entries.push_back(description);
        } else if (description.isEmpty()) {
            entries.push_back(named);
        } else {
            entries.push_back(description + u' ' + named);
        }
    }
    return entries.join(QStringLiteral(";;"));
}

}  // namespace rw
