#include "target_forms.h"

namespace target_forms {

namespace {
bool InRange(std::uint8_t b, std::uint8_t lo, std::uint8_t hi) { return b >= lo && b <= hi; }
} // namespace

bool IsEucJp(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            i += 1;
        } else if (b == 0x8E) {
            if (i + 1 >= n || !InRange(p[i + 1], 0xA1, 0xDF))
                return false;
            i += 2;
        } else if (b == 0x8F) {
            if (i + 2 >= n || !InRange(p[i + 1], 0xA1, 0xFE) || !InRange(p[i + 2], 0xA1, 0xFE))
                return false;
            i += 3;
        } else {
            if (!InRange(b, 0xA1, 0xFE) || i + 1 >= n || !InRange(p[i + 1], 0xA1, 0xFE))
                return false;
            i += 2;
        }
    }
    return true;
}

bool IsIso2022Jp(const std::uint8_t* p, std::int64_t n)
{
    enum class Mode { Ascii, Kanji, Katakana };
    Mode mode = Mode::Ascii;
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b >= 0x80 || b == 0x0E || b == 0x0F)
            return false;
        if (b == 0x1B) {
            const std::int64_t left = n - i;
            if (left >= 3 && p[i + 1] == 0x28 && (p[i + 2] == 0x42 || p[i + 2] == 0x49)) {
                mode = p[i + 2] == 0x42 ? Mode::Ascii : Mode::Katakana;
                i += 3;
            } else if (left >= 3 && p[i + 1] == 0x24 && p[i + 2] == 0x42) {
                mode = Mode::Kanji;
                i += 3;
            } else if (left >= 4 && p[i + 1] == 0x24 && p[i + 2] == 0x28 && p[i + 3] == 0x44) {
                mode = Mode::Kanji; // JIS X 0212 pairs have the same shape
                i += 4;
            } else {
                return false;
            }
        } else if (mode == Mode::Kanji) {
            if (i + 1 >= n || !InRange(b, 0x21, 0x7E) || !InRange(p[i + 1], 0x21, 0x7E))
                return false;
            i += 2;
        } else if (mode == Mode::Katakana) {
            if (!InRange(b, 0x21, 0x5F))
                return false;
            i += 1;
        } else {
            i += 1;
        }
    }
    return mode == Mode::Ascii;
}

} // namespace target_forms
