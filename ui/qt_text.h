// The user-visible texts of the windows are UTF-16 literals; this turns one into a QString.
#pragma once

#include <QString>

namespace kjf {

inline QString text(const char16_t* t) {
    return QString::fromUtf16(t);
}

}  // namespace kjf
