#include "text/visible_text.h"

#include <array>
#include <cstdio>
#include <vector>

namespace kjf {

namespace {

struct Range {
    char32_t first, last;
};

// Sorted by first code point.
constexpr std::array kInvisible = {
    Range{0x0000, 0x001F},   Range{0x007F, 0x009F},   Range{0x00AD, 0x00AD},
    Range{0x034F, 0x034F},   Range{0x061C, 0x061C},   Range{0x115F, 0x1160},
    Range{0x1680, 0x1680},   Range{0x17B4, 0x17B5},   Range{0x180B, 0x180F},
    Range{0x2000, 0x200F},   Range{0x2028, 0x202F},   Range{0x205F, 0x206F},
    Range{0x3164, 0x3164},   Range{0xFE00, 0xFE0F},   Range{0xFEFF, 0xFEFF},
    Range{0xFFA0, 0xFFA0},   Range{0xFFF9, 0xFFFB},   Range{0x1BCA0, 0x1BCA3},
    Range{0x1D173, 0x1D17A}, Range{0xE0000, 0xE007F}, Range{0xE0100, 0xE01EF},
};

bool isBlank(char32_t c) {
    return c == u' ' || c == 0x00A0 || c == 0x3000;
}

void appendToken(std::u16string& out, char32_t c) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, "<U+%04X>", static_cast<unsigned>(c));
    out.append(buffer, buffer + n);
}

}  // namespace

bool isInvisibleCodePoint(char32_t c) {
    for (const Range& r : kInvisible) {
        if (c < r.first) {
            return false;
        }
        if (c <= r.last) {
            return true;
        }
    }
    return false;
}

std::u16string visibleText(std::u16string_view text) {
    // Code points with their units; a lone surrogate stands for itself and is always a token.
    struct Piece {
        char32_t c;
        std::size_t offset, size;
        bool token;
    };
    std::vector<Piece> pieces;
    bool onlyBlanks = true;
    for (std::size_t i = 0; i < text.size();) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((u - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
            pieces.push_back({c, i, 2, isInvisibleCodePoint(c)});
            i += 2;
        } else {
            const bool lone = u >= 0xD800 && u <= 0xDFFF;
            pieces.push_back({u, i, 1, lone || isInvisibleCodePoint(u)});
            ++i;
        }
        const Piece& p = pieces.back();
        onlyBlanks = onlyBlanks && (p.token || isBlank(p.c));
    }
    std::u16string out;
    for (const Piece& p : pieces) {
        if (p.token || (onlyBlanks && isBlank(p.c))) {
            appendToken(out, p.c);
        } else {
            out.append(text.substr(p.offset, p.size));
        }
    }
    return out;
}

}  // namespace kjf
