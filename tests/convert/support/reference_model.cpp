#include "reference_model.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "cp932_bridge.h"
#include "ibm_twins.h"
#include "jisx0212_table.h"

namespace model {

namespace {

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t SO = 0x0E;
constexpr std::uint8_t SI = 0x0F;
constexpr std::uint32_t kReplacement = 0xFFFD;

using CodePoints = std::vector<std::uint32_t>;

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

// ---- the units of each encoding -------------------------------------------

// Code page 932 leads and trails; A1-DF (katakana), 80, A0 and FD-FF stand alone.
bool IsLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
bool IsKana(std::uint8_t b) { return b >= 0xA1 && b <= 0xDF; }
// A byte of an EUC-JP pair, and of an ISO-2022-JP pair.
bool IsEucByte(std::uint8_t b) { return b >= 0xA1 && b <= 0xFE; }
bool IsJisByte(std::uint8_t b) { return b >= 0x21 && b <= 0x7E; }

bool Follows(const Bytes& in, std::size_t i, bool (*fits)(std::uint8_t)) { return i < Size(in) && fits(in[i]); }

// The length of the Shift_JIS unit at i: a lead with its trail, or one byte.
std::size_t ShiftJisUnit(const Bytes& in, std::size_t i)
{
    return IsLead(in[i]) && Follows(in, i + 1, IsTrail) ? 2 : 1;
}

// The length of the EUC-JP unit at i; a byte without its trail bytes is one.
std::size_t EucJpUnit(const Bytes& in, std::size_t i)
{
    const std::uint8_t b = in[i];
    if (IsEucByte(b))
        return Follows(in, i + 1, IsEucByte) ? 2 : 1;
    if (b == 0x8E)
        return Follows(in, i + 1, IsKana) ? 2 : 1;
    if (b == 0x8F)
        return Follows(in, i + 1, IsEucByte) && Follows(in, i + 2, IsEucByte) ? 3 : 1;
    return 1;
}

// The ISO-2022-JP modes; kKanji and kX0212 read two bytes a character.
enum Mode { kAscii, kKanji, kKana, kX0212 };

bool IsTwoByte(Mode mode) { return mode == kKanji || mode == kX0212; }

struct Designation {
    std::size_t length; // 0: no designation this reader knows
    Mode mode;
};

// The escape sequence starting with the ESC at i.
Designation ReadDesignation(const Bytes& in, std::size_t i)
{
    auto at = [&](std::size_t k) { return i + k < Size(in) ? static_cast<int>(in[i + k]) : -1; };
    const int c1 = at(1);
    const int c2 = at(2);
    if ((c1 == '$' && (c2 == '@' || c2 == 'B' || c2 == 'D')) || (c1 == '&' && c2 == '@'))
        return {3, kKanji};
    if (c1 == '$' && c2 == '(' && (at(3) == 'B' || at(3) == 'D'))
        return {4, at(3) == 'B' ? kKanji : kX0212};
    if (c1 == '(' && c2 == 'I')
        return {3, kKana};
    if (c1 == '(' && (c2 == 'B' || c2 == 'J' || c2 == 'H'))
        return {3, kAscii};
    return {0, kAscii};
}

// The length of the ISO-2022-JP unit at i in a two-byte mode (i is no ESC,
// SO or SI): a control byte or space alone, two bytes 21-7E, else one byte.
std::size_t TwoByteModeUnit(const Bytes& in, std::size_t i)
{
    return IsJisByte(in[i]) && Follows(in, i + 1, IsJisByte) ? 2 : 1;
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

std::size_t Copy(const Bytes& in, std::size_t i, std::size_t count, Bytes& out)
{
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
               in.begin() + static_cast<std::ptrdiff_t>(i + count));
    return count;
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

// Shift_JIS and EUC-JP: a unit longer than one byte never holds CR or LF.
Bytes WalkUnits(const Bytes& in, NLCode code, std::size_t (*unitAt)(const Bytes&, std::size_t))
{
    Bytes out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::size_t length = unitAt(in, i);
        i += length > 1 ? Copy(in, i, length, out) : StepSingleByte(in, i, code, out);
    }
    return out;
}

// The escape at i: copied and obeyed when known; else the ESC alone, leaving
// two-byte mode. Returns 0 at an ESC too near the end: the pass ends there.
std::size_t WalkEscape(const Bytes& in, std::size_t i, Mode& mode, Bytes& out)
{
    out.push_back(ESC);
    if (i + 2 >= Size(in))
        return 0; // whatever follows the ESC is dropped
    const Designation d = ReadDesignation(in, i);
    mode = d.mode;
    if (d.length == 0)
        return 1;
    Copy(in, i + 1, d.length - 1, out);
    return d.length;
}

Bytes WalkJis(const Bytes& in, NLCode code)
{
    Bytes out;
    Mode mode = kAscii;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == ESC) {
            const std::size_t length = WalkEscape(in, i, mode, out);
            if (length == 0)
                break;
            i += length;
        } else if (b == SO || b == SI) {
            out.push_back(b);
            mode = b == SO ? kKana : kAscii;
            i += 1;
        } else if (IsTwoByte(mode) && TwoByteModeUnit(in, i) == 2) {
            i += Copy(in, i, 2, out);
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

// Each well-formed sequence is its character; each maximal subpart of an
// ill-formed one, or a byte that begins nothing, is U+FFFD.
CodePoints DecodeUtf8(const Bytes& in)
{
    CodePoints out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const WellFormed* shape = nullptr;
        for (const WellFormed& w : kWellFormed)
            if (in[i] >= w.firstLo && in[i] <= w.firstHi)
                shape = &w;
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
            out.push_back(cp);
            i += matched;
        } else {
            out.push_back(kReplacement);
            i += matched > 0 ? matched : 1;
        }
    }
    return out;
}

// Surrogate pairs are one character, lone surrogates and an odd last byte U+FFFD.
CodePoints DecodeUtf16(const Bytes& in)
{
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i + 1 < Size(in); i += 2)
        units.push_back(in[i] | (in[i + 1] << 8));
    CodePoints out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const std::uint32_t u = units[k];
        const bool high = u >= 0xD800 && u < 0xDC00;
        const bool low = u >= 0xDC00 && u < 0xE000;
        if (high && k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] < 0xE000) {
            out.push_back(0x10000 + (u - 0xD800) * 0x400 + (units[k + 1] - 0xDC00));
            ++k;
        } else {
            out.push_back(high || low ? kReplacement : u);
        }
    }
    if (Size(in) % 2 == 1)
        out.push_back(kReplacement);
    return out;
}

void PutUtf16Unit(Bytes& out, std::uint32_t unit)
{
    out.push_back(Low8(static_cast<int>(unit)));
    out.push_back(Low8(static_cast<int>(unit >> 8)));
}

Bytes EncodeUtf16(const CodePoints& text)
{
    Bytes out;
    for (const std::uint32_t cp : text) {
        if (cp < 0x10000) {
            PutUtf16Unit(out, cp);
        } else {
            PutUtf16Unit(out, 0xD800 + ((cp - 0x10000) >> 10));
            PutUtf16Unit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

Bytes EncodeUtf8(const CodePoints& text)
{
    constexpr std::uint8_t kLeadBits[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    Bytes out;
    for (const std::uint32_t cp : text) {
        const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (length == 1) {
            out.push_back(Low8(static_cast<int>(cp)));
            continue;
        }
        out.push_back(Low8(static_cast<int>(kLeadBits[length] | (cp >> (6 * (length - 1))))));
        for (int k = length - 2; k >= 0; --k)
            out.push_back(Low8(static_cast<int>(0x80 | ((cp >> (6 * k)) & 0x3F))));
    }
    return out;
}

// The one character code page 932 gives the bytes of one unit; U+FFFD when
// the unit is no character.
std::uint32_t Cp932Character(const std::uint8_t* bytes, int length)
{
    std::uint8_t units[4] = {};
    if (cp932::Decode(bytes, length, units) != 1)
        return kReplacement;
    return units[0] | (units[1] << 8);
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
    j1 = 2 * j1 + 1;
    int t = s2 >= 0x80 ? s2 - 1 : s2;
    int j2;
    if (t >= 0x9E) {
        j2 = t - 0x7D;
        j1 = j1 + 1;
    } else {
        j2 = t - 0x1F;
    }
    return {Low8(j1), Low8(j2)};
}

// For rows and cells 21-7E only, the rows of leads 81-9F and E0-EF.
LeadTrail RowCellToShiftJis(std::uint8_t j1, std::uint8_t j2)
{
    int s2 = (j1 % 2 == 1) ? j2 + 0x1F : j2 + 0x7D;
    if (s2 >= 0x7F)
        s2 += 1;
    int s1 = (j1 - 0x21) / 2 + 0x81;
    if (s1 > 0x9F)
        s1 += 0x40;
    return {Low8(s1), Low8(s2)};
}

void PutEscape(Bytes& out, std::string_view sequence)
{
    out.push_back(ESC);
    out.insert(out.end(), sequence.begin(), sequence.end());
}

// ---- JIS-family units -----------------------------------------------------

// One unit of JIS-family text, as the reader of its encoding found it.
struct Unit {
    enum Kind {
        kByte,      // 00-7F
        kKatakana,  // half-width, as its Shift_JIS byte A1-DF
        kX0208,     // row and cell, 21-7E each (EUC-JP rows 89-92 included)
        kX0212,     // row and cell, 21-7E each
        kIllFormed, // a byte without the bytes its unit needs
        kNoForm,    // a character the JIS family cannot write
    };
    Kind kind;
    std::uint8_t b1 = 0;
    std::uint8_t b2 = 0;
};

using Units = std::vector<Unit>;

// A Shift_JIS pair in the JIS family: its own row and cell for leads up to
// EF, those of its twin for an IBM extension, none for the rest.
Unit FromShiftJisPair(std::uint8_t s1, std::uint8_t s2)
{
    if (s1 >= 0xF0) {
        const std::uint16_t twin = cp932::IbmTwin(s1, s2);
        if (twin == 0)
            return {Unit::kNoForm};
        s1 = static_cast<std::uint8_t>(twin >> 8);
        s2 = Low8(twin);
    }
    const RowCell rc = ShiftJisToRowCell(s1, s2);
    return {Unit::kX0208, rc.j1, rc.j2};
}

// The code page 932 form of a character (1 or 2 bytes) as a JIS-family unit.
Unit FromCp932Form(const std::uint8_t* form, int length)
{
    if (length == 2)
        return FromShiftJisPair(form[0], form[1]);
    if (form[0] < 0x80)
        return {Unit::kByte, form[0]};
    if (IsKana(form[0]))
        return {Unit::kKatakana, form[0]};
    return {Unit::kNoForm}; // 80, A0, FD-FF
}

// A character: its code page 932 form, else its JIS X 0212 code.
Unit FromCodePoint(std::uint32_t cp)
{
    if (cp < 0x80)
        return {Unit::kByte, static_cast<std::uint8_t>(cp)};
    std::uint8_t form[2];
    const int length = cp <= 0xFFFF ? cp932::EncodeOne(cp, form) : 0;
    if (length > 0)
        return FromCp932Form(form, length);
    const std::uint16_t code = cp <= 0xFFFF ? jisx0212::FromUnicode(static_cast<char16_t>(cp)) : 0;
    if (code != 0)
        return {Unit::kX0212, Low8((code >> 8) & 0x7F), Low8(code & 0x7F)};
    return {Unit::kNoForm};
}

std::uint16_t X0212Character(const Unit& unit) { return jisx0212::ToUnicode(unit.b1 | 0x80, unit.b2 | 0x80); }

std::uint32_t ToCodePoint(const Unit& unit)
{
    switch (unit.kind) {
    case Unit::kByte:
        return unit.b1;
    case Unit::kKatakana:
        return Cp932Character(&unit.b1, 1);
    case Unit::kX0208: {
        const LeadTrail lt = RowCellToShiftJis(unit.b1, unit.b2);
        const std::uint8_t pair[2] = {lt.s1, lt.s2};
        return Cp932Character(pair, 2);
    }
    case Unit::kX0212: {
        const std::uint16_t u = X0212Character(unit);
        return u != 0 ? u : kReplacement;
    }
    default:
        return kReplacement;
    }
}

// ---- readers --------------------------------------------------------------

Units ReadShiftJis(const Bytes& in)
{
    Units out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (ShiftJisUnit(in, i) == 2) {
            out.push_back(FromShiftJisPair(b, in[i + 1]));
            i += 2;
            continue;
        }
        if (IsLead(b))
            out.push_back({Unit::kIllFormed, b});
        else
            out.push_back(FromCp932Form(&b, 1));
        i += 1;
    }
    return out;
}

Units ReadEucJp(const Bytes& in)
{
    Units out;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        const std::size_t length = EucJpUnit(in, i);
        if (length == 3)
            out.push_back({Unit::kX0212, Low8(in[i + 1] & 0x7F), Low8(in[i + 2] & 0x7F)});
        else if (length == 2 && b == 0x8E)
            out.push_back({Unit::kKatakana, in[i + 1]});
        else if (length == 2)
            out.push_back({Unit::kX0208, Low8(b & 0x7F), Low8(in[i + 1] & 0x7F)});
        else
            out.push_back({b < 0x80 ? Unit::kByte : Unit::kIllFormed, b});
        i += length;
    }
    return out;
}

// A byte outside the two-byte modes.
Unit JisSingleByte(std::uint8_t b, Mode mode)
{
    if (mode == kKana && b >= 0x21 && b <= 0x5F)
        return {Unit::kKatakana, Low8(b + 0x80)};
    if (b < 0x80)
        return {Unit::kByte, b}; // other bytes in katakana mode too
    return {IsKana(b) ? Unit::kKatakana : Unit::kIllFormed, b};
}

// Escapes, SO and SI select modes and give no unit; an ESC with fewer than
// two bytes after it ends the text.
Units ReadJis(const Bytes& in)
{
    Units out;
    Mode mode = kAscii;
    std::size_t i = 0;
    while (i < Size(in)) {
        const std::uint8_t b = in[i];
        if (b == ESC) {
            if (i + 2 >= Size(in))
                break;
            const Designation d = ReadDesignation(in, i);
            mode = d.mode;
            i += d.length > 0 ? d.length : 3;
        } else if (b == SO || b == SI) {
            mode = b == SO ? kKana : kAscii;
            i += 1;
        } else if (!IsTwoByte(mode)) {
            out.push_back(JisSingleByte(b, mode));
            i += 1;
        } else if (TwoByteModeUnit(in, i) == 2) {
            out.push_back({mode == kKanji ? Unit::kX0208 : Unit::kX0212, b, in[i + 1]});
            i += 2;
        } else {
            out.push_back({b <= 0x20 || b == 0x7F ? Unit::kByte : Unit::kIllFormed, b});
            i += 1;
        }
    }
    return out;
}

Units FromCodePoints(const CodePoints& text)
{
    Units out;
    for (const std::uint32_t cp : text)
        out.push_back(FromCodePoint(cp));
    return out;
}

CodePoints ToCodePoints(const Units& units)
{
    CodePoints out;
    for (const Unit& unit : units)
        out.push_back(ToCodePoint(unit));
    return out;
}

// EUC-JP's JIS X 0212 characters take their code page 932 form in
// ISO-2022-JP where there is one.
Units PreferCp932Forms(Units units)
{
    for (Unit& unit : units) {
        const std::uint16_t u = unit.kind == Unit::kX0212 ? X0212Character(unit) : 0;
        std::uint8_t form[2];
        const int length = u != 0 ? cp932::EncodeOne(u, form) : 0;
        const Unit cp932Unit = length > 0 ? FromCp932Form(form, length) : Unit{Unit::kNoForm};
        if (cp932Unit.kind != Unit::kNoForm)
            unit = cp932Unit;
    }
    return units;
}

// ---- writers --------------------------------------------------------------

// The substitute in the JIS family: the first character of the setting in
// its target form, "_" where it has none, nothing for an empty setting.
Units SubstituteUnits(const std::string& strSubstitute)
{
    if (cp932::MakeSubstitute(strSubstitute).length == 0)
        return {};
    const CodePoints first = DecodeUtf8(Bytes(strSubstitute.begin(), strSubstitute.end()));
    const Unit unit = FromCodePoint(first.front());
    return {unit.kind == Unit::kNoForm ? Unit{Unit::kByte, '_'} : unit};
}

bool HasForm(const Unit& unit) { return unit.kind != Unit::kIllFormed && unit.kind != Unit::kNoForm; }

// Every unit without a form replaced by the substitute.
Units WithSubstitutes(const Units& units, const std::string& strSubstitute)
{
    const Units substitute = SubstituteUnits(strSubstitute);
    Units out;
    for (const Unit& unit : units) {
        if (HasForm(unit))
            out.push_back(unit);
        else
            out.insert(out.end(), substitute.begin(), substitute.end());
    }
    return out;
}

Bytes WriteShiftJis(const Units& units, const std::string& strSubstitute)
{
    const cp932::Substitute sub = cp932::MakeSubstitute(strSubstitute);
    Bytes out;
    for (const Unit& unit : units) {
        std::uint8_t form[2] = {unit.b1, 0};
        int length = 0;
        if (unit.kind == Unit::kByte || unit.kind == Unit::kKatakana) {
            length = 1;
        } else if (unit.kind == Unit::kX0208) {
            const LeadTrail lt = RowCellToShiftJis(unit.b1, unit.b2);
            form[0] = lt.s1;
            form[1] = lt.s2;
            length = 2;
        } else if (unit.kind == Unit::kX0212 && X0212Character(unit) != 0) {
            length = cp932::EncodeOne(X0212Character(unit), form);
        }
        if (length == 0)
            out.insert(out.end(), sub.bytes, sub.bytes + cp932::SubstituteLength(sub));
        else
            out.insert(out.end(), form, form + length);
    }
    return out;
}

Bytes WriteEucJp(const Units& units, const std::string& strSubstitute)
{
    Bytes out;
    for (const Unit& unit : WithSubstitutes(units, strSubstitute)) {
        if (unit.kind == Unit::kKatakana)
            out.push_back(0x8E);
        else if (unit.kind == Unit::kX0212)
            out.push_back(0x8F);
        out.push_back(unit.kind == Unit::kByte || unit.kind == Unit::kKatakana ? unit.b1 : unit.b1 | 0x80);
        if (unit.kind == Unit::kX0208 || unit.kind == Unit::kX0212)
            out.push_back(unit.b2 | 0x80);
    }
    return out;
}

// An escape only where the mode changes; the text ends in ASCII. ESC, SO
// and SI of another encoding's text would read as shifts: they have no form.
Bytes WriteJis(const Units& given, const std::string& strSubstitute)
{
    constexpr std::string_view kEscapes[] = {"(B", "$B", "(I", "$(D"}; // by Mode
    Units units = given;
    for (Unit& unit : units)
        if (unit.kind == Unit::kByte && (unit.b1 == 0x1B || unit.b1 == 0x0E || unit.b1 == 0x0F))
            unit.kind = Unit::kNoForm;
    Bytes out;
    Mode mode = kAscii;
    auto to = [&](Mode next) {
        if (next != mode)
            PutEscape(out, kEscapes[next]);
        mode = next;
    };
    for (const Unit& unit : WithSubstitutes(units, strSubstitute)) {
        if (unit.kind == Unit::kByte) {
            to(kAscii);
            out.push_back(unit.b1);
        } else if (unit.kind == Unit::kKatakana) {
            to(kKana);
            out.push_back(Low8(unit.b1 - 0x80));
        } else {
            to(unit.kind == Unit::kX0208 ? kKanji : kX0212);
            out.push_back(unit.b1);
            out.push_back(unit.b2);
        }
    }
    to(kAscii);
    return out;
}

Bytes WriteUnicode(const Units& units, CharsetId target)
{
    const CodePoints text = ToCodePoints(units);
    return target == Charset::Unicode ? EncodeUtf16(text) : EncodeUtf8(text);
}

Bytes WriteFamily(const Units& units, CharsetId target, const std::string& strSubstitute)
{
    switch (target) {
    case Charset::ShiftJis:
        return WriteShiftJis(units, strSubstitute);
    case Charset::EucJp:
        return WriteEucJp(units, strSubstitute);
    case Charset::Jis:
        return WriteJis(units, strSubstitute);
    default:
        return WriteUnicode(units, target);
    }
}

// The units of a JIS-family text; Shift_JIS is read this way only toward
// EUC-JP and ISO-2022-JP.
Units ReadFamily(const Bytes& in, CharsetId source)
{
    switch (source) {
    case Charset::ShiftJis:
        return ReadShiftJis(in);
    case Charset::EucJp:
        return ReadEucJp(in);
    default:
        return ReadJis(in);
    }
}

CodePoints ReadUnicode(const Bytes& in, CharsetId source)
{
    return source == Charset::Unicode ? DecodeUtf16(in) : DecodeUtf8(in);
}

bool IsUnicode(CharsetId charset) { return charset == Charset::Unicode || charset == Charset::Utf8; }

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
        return WalkUnits(in, code, ShiftJisUnit);
    case Charset::EucJp:
        return WalkUnits(in, code, EucJpUnit);
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

Bytes ShiftJisToEucJp(const Bytes& in, const std::string& strSubstitute)
{
    return WriteEucJp(ReadShiftJis(in), strSubstitute);
}

Bytes ShiftJisToJis(const Bytes& in, const std::string& strSubstitute)
{
    return WriteJis(ReadShiftJis(in), strSubstitute);
}

Bytes EucJpToShiftJis(const Bytes& in, const std::string& strSubstitute)
{
    return WriteShiftJis(ReadEucJp(in), strSubstitute);
}

Bytes JisToShiftJis(const Bytes& in, const std::string& strSubstitute)
{
    return WriteShiftJis(ReadJis(in), strSubstitute);
}

Bytes ShiftJisToEucJp(const Bytes& in) { return ShiftJisToEucJp(in, "_"); }
Bytes ShiftJisToJis(const Bytes& in) { return ShiftJisToJis(in, "_"); }
Bytes EucJpToShiftJis(const Bytes& in) { return EucJpToShiftJis(in, "_"); }
Bytes JisToShiftJis(const Bytes& in) { return JisToShiftJis(in, "_"); }

Bytes EucJpToJis(const Bytes& in, const std::string& strSubstitute)
{
    return WriteJis(PreferCp932Forms(ReadEucJp(in)), strSubstitute);
}

Bytes JisToEucJp(const Bytes& in, const std::string& strSubstitute)
{
    return WriteEucJp(ReadJis(in), strSubstitute);
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

// An odd last byte is U+FFFD, which code page 932 cannot write either.
Bytes UnicodeToShiftJis(const Bytes& in, const std::string& strSubstitute)
{
    const cp932::Substitute sub = cp932::MakeSubstitute(strSubstitute);
    const std::size_t units = in.size() / 2;
    Bytes work(2 * units);
    const std::int64_t written =
        units == 0 ? 0 : cp932::Encode(in.data(), static_cast<std::int64_t>(units), sub, work.data());
    work.resize(static_cast<std::size_t>(written));
    if (in.size() % 2 == 1)
        work.insert(work.end(), sub.bytes, sub.bytes + cp932::SubstituteLength(sub));
    return work;
}

Bytes UnicodeToUtf8(const Bytes& in) { return EncodeUtf8(DecodeUtf16(in)); }

Bytes Utf8ToUnicode(const Bytes& in) { return EncodeUtf16(DecodeUtf8(in)); }

// Shift_JIS meets Unicode through the code-page bridge; EUC-JP and
// ISO-2022-JP one character at a time; the family among itself by units.
Bytes ConvertCell(const Bytes& in, CharsetId source, CharsetId target, const std::string& strSubstitute)
{
    using namespace Charset;
    if (!IsValid(source) || !IsValid(target))
        throw std::invalid_argument("charset outside 0..4");
    if (source == target)
        return in;
    if (source == Unicode && target == Utf8)
        return UnicodeToUtf8(in);
    if (source == Utf8 && target == Unicode)
        return Utf8ToUnicode(in);
    if (source == ShiftJis && IsUnicode(target)) {
        const Bytes utf16 = ShiftJisToUnicode(in);
        return target == Unicode ? utf16 : UnicodeToUtf8(utf16);
    }
    if (IsUnicode(source) && target == ShiftJis)
        return UnicodeToShiftJis(source == Unicode ? in : Utf8ToUnicode(in), strSubstitute);
    if (IsUnicode(source))
        return WriteFamily(FromCodePoints(ReadUnicode(in, source)), target, strSubstitute);
    if (source == EucJp && target == Jis)
        return EucJpToJis(in, strSubstitute);
    return WriteFamily(ReadFamily(in, source), target, strSubstitute);
}

Bytes Convert(const Bytes& in, CharsetId source, CharsetId target, NLCode code, const std::string& strSubstitute)
{
    return ConvertCell(NormalizeLineEndings(in, source, code), source, target, strSubstitute);
}

} // namespace model
