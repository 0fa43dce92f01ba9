#include "reference_model.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "cp932_bridge.h"

namespace model {

namespace {

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t SO = 0x0E;
constexpr std::uint8_t SI = 0x0F;

std::size_t Size(const Bytes& in) { return in.size(); }

std::uint8_t Low8(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::invalid_argument("not a hex digit");
}

// ---- line endings ---------------------------------------------------------

void WriteLineEnding(Bytes& out, NLCode code, bool bUtf16)
{
    auto put = [&](std::uint8_t b) {
        out.push_back(b);
        if (bUtf16)
            out.push_back(0x00);
    };
    switch (code) {
    case 0:
        put(CR);
        put(LF);
        break;
    case 1:
        put(LF);
        break;
    case 2:
        put(CR);
        break;
    default:
        break; // dropped
    }
}

// Copies in[i .. i+count), clipped to the input; returns how many were copied.
std::size_t CopyClipped(const Bytes& in, std::size_t i, std::size_t count, Bytes& out)
{
    std::size_t copied = 0;
    while (copied < count && i + copied < Size(in)) {
        out.push_back(in[i + copied]);
        ++copied;
    }
    return copied;
}

// Shared by every byte-oriented walk: CR LF, lone CR, lone LF, or a plain byte.
std::size_t StepSingleByte(const Bytes& in, std::size_t i, NLCode code, Bytes& out)
{
    const std::uint8_t b = in[i];
    if (b == CR && i + 1 < Size(in) && in[i + 1] == LF) {
        WriteLineEnding(out, code, false);
        return 2;
    }
    if (b == CR || b == LF) {
        WriteLineEnding(out, code, false);
        return 1;
    }
    out.push_back(b);
    return 1;
}

// Code page 932 leads; A1-DF (katakana), 80, A0 and FD-FF stand alone.
bool IsLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsKana(std::uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

Bytes WalkShiftJis(const Bytes& in, NLCode code)
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        if (IsLead(in[i]))
            i += CopyClipped(in, i, 2, out); // a last lead is copied alone
        else if (in[i] >= 0x80)
            i += CopyClipped(in, i, 1, out);
        else
            i += StepSingleByte(in, i, code, out);
    }
    return out;
}

Bytes WalkEucJp(const Bytes& in, NLCode code)
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        if (in[i] == 0x8F)
            i += CopyClipped(in, i, 3, out); // JIS X 0212: 8F and two bytes
        else if (in[i] >= 0x80)
            i += CopyClipped(in, i, 2, out);
        else
            i += StepSingleByte(in, i, code, out);
    }
    return out;
}

Bytes WalkJis(const Bytes& in, NLCode code)
{
    Bytes out;
    bool bTwoByte = false;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == ESC) {
            out.push_back(ESC);
            if (i + 2 >= Size(in))
                break; // whatever follows the ESC is dropped
            const std::uint8_t c1 = in[i + 1];
            const std::uint8_t c2 = in[i + 2];
            const bool bDesignatesTwoByte = (c1 == 0x24 && (c2 == 0x40 || c2 == 0x42 || c2 == 0x44)) ||
                                            (c1 == 0x26 && c2 == 0x40);
            const bool bDesignatesOneByte = c1 == 0x28 && (c2 == 0x42 || c2 == 0x4A || c2 == 0x48 || c2 == 0x49);
            if (bDesignatesTwoByte || bDesignatesOneByte) {
                out.push_back(c1);
                out.push_back(c2);
                bTwoByte = bDesignatesTwoByte;
                i += 3;
            } else {
                bTwoByte = false;
                i += 1;
            }
        } else if (b == SO || b == SI) {
            out.push_back(b);
            bTwoByte = false;
            i += 1;
        } else if (bTwoByte) {
            i += CopyClipped(in, i, 2, out);
        } else {
            i += StepSingleByte(in, i, code, out);
        }
    }
    return out;
}

Bytes WalkUtf16(const Bytes& in, NLCode code)
{
    Bytes out;
    auto unitAt = [&](std::size_t p) { return in[p] | (in[p + 1] << 8); };
    std::size_t p = 0;
    while (p < Size(in)) {
        if (p + 1 >= Size(in)) {
            out.push_back(in[p]); // an odd last byte is no unit
            p += 1;
        } else if (unitAt(p) == 0x000D) {
            WriteLineEnding(out, code, true);
            p += (p + 3 < Size(in) && unitAt(p + 2) == 0x000A) ? 4 : 2;
        } else if (unitAt(p) == 0x000A) {
            WriteLineEnding(out, code, true);
            p += 2;
        } else {
            out.push_back(in[p]);
            out.push_back(in[p + 1]);
            p += 2;
        }
    }
    return out;
}

// Continuation bytes can never be CR or LF, and a byte below 80 never
// belongs to a longer form: UTF-8 walks byte by byte.
Bytes WalkUtf8(const Bytes& in, NLCode code)
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in))
        i += StepSingleByte(in, i, code, out);
    return out;
}

// ---- Unicode --------------------------------------------------------------

// The well-formed UTF-8 byte sequences of the Unicode standard (its table
// 3-7): for each range of first bytes, the length and the range of the
// second byte; every later byte is 80-BF.
struct WellFormed {
    std::uint8_t firstLo, firstHi;
    std::size_t length;
    std::uint8_t secondLo, secondHi;
};
constexpr WellFormed kWellFormed[] = {
    {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

void PutUtf16Unit(Bytes& out, std::uint32_t unit)
{
    out.push_back(Low8(static_cast<int>(unit)));
    out.push_back(Low8(static_cast<int>(unit >> 8)));
}

void PutUtf16(Bytes& out, std::uint32_t cp)
{
    if (cp < 0x10000) {
        PutUtf16Unit(out, cp);
    } else {
        PutUtf16Unit(out, 0xD800 + ((cp - 0x10000) >> 10));
        PutUtf16Unit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
}

void PutUtf8(Bytes& out, std::uint32_t cp)
{
    const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (length == 1) {
        out.push_back(Low8(static_cast<int>(cp)));
        return;
    }
    constexpr std::uint8_t kLeadBits[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    out.push_back(Low8(static_cast<int>(kLeadBits[length] | (cp >> (6 * (length - 1))))));
    for (int k = length - 2; k >= 0; --k)
        out.push_back(Low8(static_cast<int>(0x80 | ((cp >> (6 * k)) & 0x3F))));
}

// ---- JIS X 0208 row and cell ----------------------------------------------

struct RowCell {
    std::uint8_t j1;
    std::uint8_t j2;
};

struct LeadTrail {
    std::uint8_t s1;
    std::uint8_t s2;
};

RowCell ShiftJisToRowCell(std::uint8_t s1, std::uint8_t s2)
{
    int j1 = s1 <= 0x9F ? s1 - 0x71 : s1 - 0xB1;
    j1 = Low8(2 * j1 + 1);
    int t = s2;
    if (t >= 0x80)
        t -= 1;
    int j2;
    if (t >= 0x9E) {
        j2 = t - 0x7D;
        j1 = j1 + 1;
    } else {
        j2 = t - 0x1F;
    }
    return {Low8(j1), Low8(j2)};
}

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

LeadTrail RowCellToShiftJis(std::uint8_t j1, std::uint8_t j2)
{
    int s2 = Low8((j1 % 2 == 1) ? j2 + 0x1F : j2 + 0x7D);
    if (s2 >= 0x7F)
        s2 = Low8(s2 + 1);
    int s1 = Low8(FloorHalf(static_cast<int>(j1) - 0x21) + 0x81);
    if (s1 > 0x9F)
        s1 = Low8(s1 + 0x40);
    return {Low8(s1), Low8(s2)};
}

void PutEscape(Bytes& out, std::uint8_t c1, std::uint8_t c2)
{
    out.push_back(ESC);
    out.push_back(c1);
    out.push_back(c2);
}

Bytes Chain(const Bytes& in, CharsetId source, CharsetId via, CharsetId target, const std::string& strSubstitute)
{
    return ConvertCell(ConvertCell(in, source, via, strSubstitute), via, target, strSubstitute);
}

} // namespace

Bytes FromHex(std::string_view hex)
{
    Bytes out;
    int pending = -1;
    for (char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        const int digit = HexDigit(c);
        if (pending < 0) {
            pending = digit;
        } else {
            out.push_back(static_cast<std::uint8_t>(pending * 16 + digit));
            pending = -1;
        }
    }
    if (pending >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

std::string ToHex(const Bytes& bytes)
{
    std::string text;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
        if (i > 0)
            text += ' ';
        text += cell;
    }
    return text;
}

Bytes NormalizeLineEndings(const Bytes& in, CharsetId charset, NLCode code)
{
    switch (charset) {
    case Charset::ShiftJis:
        return WalkShiftJis(in, code);
    case Charset::EucJp:
        return WalkEucJp(in, code);
    case Charset::Jis:
        return WalkJis(in, code);
    case Charset::Unicode:
        return WalkUtf16(in, code);
    case Charset::Utf8:
        return WalkUtf8(in, code);
    default:
        return {};
    }
}

CharsetId DetectCharset(const Bytes& in)
{
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == ESC || b == SO || b == SI)
            return Charset::Jis;
        if (b < 0x80) {
            i += 1;
        } else if (b >= 0x81 && b <= 0x9F) {
            return Charset::ShiftJis;
        } else if (b >= 0xA1 && b <= 0xDF) {
            return Charset::EucJp;
        } else {
            // 80, A0, E0-FF: the next byte decides; at the very end nothing does.
            if (i + 1 >= Size(in))
                return Charset::None;
            if (in[i + 1] <= 0xA0)
                return Charset::ShiftJis;
            i += 2;
        }
    }
    return Charset::None;
}

Bytes ShiftJisToEucJp(const Bytes& in)
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        if (IsLead(in[i]) && i + 1 < Size(in)) {
            const RowCell rc = ShiftJisToRowCell(in[i], in[i + 1]);
            out.push_back(rc.j1 | 0x80);
            out.push_back(rc.j2 | 0x80);
            i += 2;
        } else {
            if (IsKana(in[i]))
                out.push_back(0x8E);
            out.push_back(in[i]);
            i += 1;
        }
    }
    return out;
}

// The three ISO-2022-JP modes and the escapes that select them.
enum Mode { kAscii, kKanji, kKana };

Bytes ShiftJisToJis(const Bytes& in)
{
    Bytes out;
    Mode mode = kAscii;
    auto to = [&](Mode next) {
        if (next == mode)
            return;
        if (next == kKanji)
            PutEscape(out, 0x24, 0x42);
        else
            PutEscape(out, 0x28, next == kKana ? 0x49 : 0x42);
        mode = next;
    };
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (IsLead(b) && i + 1 < Size(in)) {
            to(kKanji);
            const RowCell rc = ShiftJisToRowCell(b, in[i + 1]);
            out.push_back(rc.j1);
            out.push_back(rc.j2);
            i += 2;
        } else if (IsKana(b)) {
            to(kKana);
            out.push_back(Low8(b - 0x80));
            i += 1;
        } else {
            // Below 80, another single byte, or a last lead without its trail.
            to(kAscii);
            out.push_back(b);
            i += 1;
        }
    }
    to(kAscii);
    return out;
}

Bytes EucJpToShiftJis(const Bytes& in, const std::string& strSubstitute)
{
    const cp932::Substitute sub = cp932::MakeSubstitute(strSubstitute);
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == 0x8F) {
            if (i + 2 < Size(in)) {
                for (int k = 0; k < sub.length; ++k)
                    out.push_back(sub.bytes[k]);
                i += 3;
            } else {
                i += CopyClipped(in, i, 3, out);
            }
        } else if (b >= 0x80 && i + 1 < Size(in)) {
            if (b == 0x8E && IsKana(in[i + 1])) {
                out.push_back(in[i + 1]);
            } else {
                const LeadTrail lt = RowCellToShiftJis(b & 0x7F, in[i + 1] & 0x7F);
                out.push_back(lt.s1);
                out.push_back(lt.s2);
            }
            i += 2;
        } else {
            out.push_back(b);
            i += 1;
        }
    }
    return out;
}

Bytes JisToShiftJis(const Bytes& in)
{
    Bytes out;
    Mode mode = kAscii;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == ESC) {
            if (i + 2 >= Size(in))
                break;
            const std::uint8_t c1 = in[i + 1];
            const std::uint8_t c2 = in[i + 2];
            const bool bTwoByte = (c1 == 0x24 && (c2 == 0x40 || c2 == 0x42 || c2 == 0x44)) || (c1 == 0x26 && c2 == 0x40);
            mode = bTwoByte ? kKanji : (c1 == 0x28 && c2 == 0x49) ? kKana : kAscii;
            i += 3;
        } else if (b == SO) {
            mode = kKana;
            i += 1;
        } else if (b == SI) {
            mode = kAscii;
            i += 1;
        } else if (mode == kKanji && i + 1 < Size(in)) {
            const LeadTrail lt = RowCellToShiftJis(b, in[i + 1]);
            out.push_back(lt.s1);
            out.push_back(lt.s2);
            i += 2;
        } else if (mode == kKana && b >= 0x21 && b <= 0x5F) {
            out.push_back(Low8(b + 0x80));
            i += 1;
        } else {
            out.push_back(b); // ASCII, other bytes in katakana mode, or a lone last byte
            i += 1;
        }
    }
    return out;
}

Bytes ShiftJisToUnicode(const Bytes& in)
{
    if (in.empty())
        return {};
    Bytes work(2 * in.size());
    const std::int64_t units = cp932::Decode(in.data(), static_cast<std::int64_t>(in.size()), work.data());
    work.resize(static_cast<std::size_t>(2 * units));
    return work;
}

Bytes UnicodeToShiftJis(const Bytes& in, const std::string& strSubstitute)
{
    const std::size_t units = in.size() / 2;
    if (units == 0)
        return {};
    Bytes work(2 * units);
    const std::int64_t written = cp932::Encode(in.data(), static_cast<std::int64_t>(units),
                                               cp932::MakeSubstitute(strSubstitute), work.data());
    work.resize(static_cast<std::size_t>(written));
    return work;
}

Bytes UnicodeToUtf8(const Bytes& in)
{
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i + 1 < Size(in); i += 2) // an odd last byte is no unit
        units.push_back(in[i] | (in[i + 1] << 8));
    Bytes out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const std::uint32_t u = units[k];
        const bool high = u >= 0xD800 && u < 0xDC00;
        const bool low = u >= 0xDC00 && u < 0xE000;
        if (high && k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] < 0xE000) {
            PutUtf8(out, 0x10000 + (u - 0xD800) * 0x400 + (units[k + 1] - 0xDC00));
            ++k;
        } else {
            PutUtf8(out, high || low ? 0xFFFD : u);
        }
    }
    return out;
}

Bytes Utf8ToUnicode(const Bytes& in)
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const WellFormed* shape = nullptr;
        for (const WellFormed& w : kWellFormed)
            if (in[i] >= w.firstLo && in[i] <= w.firstHi)
                shape = &w;
        // How many bytes from i follow the shape: the first, then each
        // later one in its range, up to the first that is not.
        std::size_t matched = shape ? 1 : 0;
        while (shape && matched < shape->length && i + matched < Size(in)) {
            const std::uint8_t b = in[i + matched];
            const bool fits = matched == 1 ? b >= shape->secondLo && b <= shape->secondHi : b >= 0x80 && b <= 0xBF;
            if (!fits)
                break;
            ++matched;
        }
        if (shape && matched == shape->length) {
            std::uint32_t cp = shape->length == 1 ? in[i] : in[i] & (0xFF >> (shape->length + 1));
            for (std::size_t k = 1; k < shape->length; ++k)
                cp = cp * 64 + (in[i + k] & 0x3F);
            PutUtf16(out, cp);
            i += matched;
        } else {
            // The maximal subpart, or the one byte that begins nothing.
            PutUtf16(out, 0xFFFD);
            i += matched > 0 ? matched : 1;
        }
    }
    return out;
}

Bytes ConvertCell(const Bytes& in, CharsetId source, CharsetId target, const std::string& strSubstitute)
{
    using namespace Charset;
    if (source == target)
        return in;
    switch (source * 5 + target) {
    case ShiftJis * 5 + EucJp:
        return ShiftJisToEucJp(in);
    case ShiftJis * 5 + Jis:
        return ShiftJisToJis(in);
    case ShiftJis * 5 + Unicode:
        return ShiftJisToUnicode(in);
    case ShiftJis * 5 + Utf8:
        return Chain(in, ShiftJis, Unicode, Utf8, strSubstitute);
    case EucJp * 5 + ShiftJis:
        return EucJpToShiftJis(in, strSubstitute);
    case EucJp * 5 + Jis:
    case EucJp * 5 + Unicode:
        return Chain(in, EucJp, ShiftJis, target, strSubstitute);
    case EucJp * 5 + Utf8:
        return Chain(in, EucJp, Unicode, Utf8, strSubstitute);
    case Jis * 5 + ShiftJis:
        return JisToShiftJis(in);
    case Jis * 5 + EucJp:
    case Jis * 5 + Unicode:
        return Chain(in, Jis, ShiftJis, target, strSubstitute);
    case Jis * 5 + Utf8:
        return Chain(in, Jis, Unicode, Utf8, strSubstitute);
    case Unicode * 5 + ShiftJis:
        return UnicodeToShiftJis(in, strSubstitute);
    case Unicode * 5 + EucJp:
    case Unicode * 5 + Jis:
        return Chain(in, Unicode, ShiftJis, target, strSubstitute);
    case Unicode * 5 + Utf8:
        return UnicodeToUtf8(in);
    case Utf8 * 5 + ShiftJis:
        return Chain(in, Utf8, Unicode, ShiftJis, strSubstitute);
    case Utf8 * 5 + EucJp:
    case Utf8 * 5 + Jis:
        return Chain(in, Utf8, ShiftJis, target, strSubstitute);
    case Utf8 * 5 + Unicode:
        return Utf8ToUnicode(in);
    default:
        throw std::invalid_argument("charset outside 0..4");
    }
}

Bytes Convert(const Bytes& in, CharsetId source, CharsetId target, NLCode code, const std::string& strSubstitute)
{
    return ConvertCell(NormalizeLineEndings(in, source, code), source, target, strSubstitute);
}

} // namespace model
