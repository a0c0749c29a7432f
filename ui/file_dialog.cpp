#include "ui/file_dialog.h"

namespace kjf {

QStringList nameFiltersFromPairs(QStringView pairs) {
    const auto parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].toString();
        const QString pattern = parts[i + 1].toString();
        const QString bracketed = u'(' + pattern + u')';
        if (description.endsWith(bracketed)) {
            filters.push_back(description);
        } else {
            filters.push_back(description + u' ' + bracketed);
        }
    }
    return filters;
}

}  // namespace kjf
