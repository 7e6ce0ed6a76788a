#pragma once
// Text pieces the writers append to their reused buffers, so that writing an
// object builds no string of its own: numbers in the form of FloatToStrDot,
// XML and JSON escaping, and the ISO forms of the writers' date and time values.
// Internal to the writer family.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pwnet {

void AppendInt(std::string& out, int64_t v);

// FloatToStrDot's text: at most 15 significant digits, no trailing zeros, plain
// notation for 0.0001 <= |v| < 1E15, otherwise d.dddE[-]x.
void AppendFloat(std::string& out, double v);

// The same texts written at Dest, which has room for MaxNumberText characters;
// each returns the end of what it wrote. For writers that build a line in place.
inline constexpr size_t MaxNumberText = 24;
char* PutInt(char* Dest, int64_t v);
char* PutFloat(char* Dest, double v);

// PutFloat for the numbers a grid writes over and over (a column's two eastings in
// every cell, each northing in two cells): the texts of recent values are kept in a
// small table indexed by the value's bits and copied, so most corners are formatted
// once. A value whose slot another one took is simply formatted again.
class TRecentNumbers {
public:
    // What PutFloat writes; Dest has room for MaxNumberText characters.
    char* Put(char* Dest, double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        TEntry& e = FEntries[(bits * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits)];
        if (e.Length == 0 || !(e.Value == v)) {
            e.Value = v;
            e.Length = static_cast<uint8_t>(PutFloat(e.Text, v) - e.Text);
        }
        std::memcpy(Dest, e.Text, MaxNumberText);
        return Dest + e.Length;
    }

private:
    static constexpr int SlotBits = 6;
    struct TEntry {
        double Value = 0;
        uint8_t Length = 0; // 0: empty
        char Text[MaxNumberText];
    };
    TEntry FEntries[1 << SlotBits];
};

// Byte flags, eight bytes at a time: a flag in the high bit of every byte of w that
// is zero, below 33 (a blank or a control character, NUL included), or a double
// quote. Exact up to the first flagged byte, which is all FindFlagged needs.
inline constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
constexpr uint64_t ZeroBytes(uint64_t w) {
    return (w - Ones) & ~w & Highs;
}
constexpr uint64_t BlankBytes(uint64_t w) {
    return (w - Ones * 0x21) & ~w & Highs;
}
constexpr uint64_t QuoteBytes(uint64_t w) {
    return ZeroBytes(w ^ (Ones * '"'));
}

// The offset of the first byte in [p, End) that Flags marks, or End; eight bytes at
// a time, the last ones read overlapping so that no byte is looked at one by one.
template <typename F> size_t FindFlagged(const char* Data, size_t p, size_t End, F Flags) {
    uint64_t w;
    for (; p + 8 <= End; p += 8) {
        std::memcpy(&w, Data + p, 8);
        if (const uint64_t f = Flags(w))
            return p + static_cast<size_t>(__builtin_ctzll(f) >> 3);
    }
    if (p == End)
        return End;
    const size_t left = End - p;
    if (End >= 8) {
        std::memcpy(&w, Data + End - 8, 8);
        w >>= 8 * (8 - left);
    } else {
        w = 0;
        std::memcpy(&w, Data + p, left);
    }
    const uint64_t f = Flags(w) & ((uint64_t{1} << (8 * left)) - 1);
    return f ? p + static_cast<size_t>(__builtin_ctzll(f) >> 3) : End;
}

// Reads a decimal number the way the dBASE table stores numbers: leading blanks, an
// optional sign, digits, an optional '.' and digits, an optional exponent; reading
// stops at the first other character and what was read so far counts. An empty or
// non-numeric text gives 0.
double ReadDecimal(std::string_view s);

// XMLEscape(s), appended.
void AppendXMLEscaped(std::string& out, std::string_view s);

// s as a JSON string, quotes included: '"', '\' and the control characters escaped.
void AppendJsonString(std::string& out, std::string_view s);

// True when s is a number as JSON writes it (-?int frac? exp?).
bool IsJsonNumber(std::string_view s);

// The writers' date and time texts in their ISO forms. Each appends and returns
// true only when the value has its exact length in characters (code points):
//   date YYYYMMDD -> YYYY-MM-DD, time HHMMSSmmm -> HH:MM:SS.mmm,
//   date-time YYYYMMDDHHMMSSmmm -> YYYY-MM-DDTHH:MM:SS.mmm.
bool AppendIsoDate(std::string& out, std::string_view v);
bool AppendIsoTime(std::string& out, std::string_view v);
bool AppendIsoDateTime(std::string& out, std::string_view v);

} // namespace pwnet
