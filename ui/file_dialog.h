// File dialog filters.
#pragma once

#include <QStringList>
#include <QStringView>

namespace kjf {

// The name filters of a file dialog from the form "description|pattern|description|pattern…".
// A description that already ends in "(pattern)" is taken as it is (Qt reads the pattern from
// the parentheses); any other gets " (pattern)" appended. A last description without a pattern
// is dropped.
QStringList nameFiltersFromPairs(QStringView pairs);

}  // namespace kjf
