#pragma once
// Text pieces the writers append to their reused buffers, so that writing an
// object builds no string of its own: numbers in the form of FloatToStrDot,
// XML and JSON escaping, and the ISO forms of the writers' date and time values.
// Internal to the writer family.

#include "pwnet_functions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pwnet {

void AppendInt(std::string& out, int64_t v);

// FloatToStrDot's text: at most 15 significant digits, no trailing zeros, plain
// notation for 0.0001 <= |v| < 1E15, otherwise d.dddE[-]x.
void AppendFloat(std::string& out, double v);

// The same texts written at Dest, which has room for MaxNumberText characters;
// each returns the end of what it wrote. For writers that build a line in place.
// The longest text has 22 characters ("-1.23456789012345E-300"), and the digits of
// its exponent are stored as one word of eight bytes: 27 bytes in all.
inline constexpr size_t MaxNumberText = 32;
char* PutInt(char* Dest, int64_t v);
char* PutFloat(char* Dest, double v);

// Size bytes from Src to Dest in sixteen-byte moves, for texts whose source and
// destination both have room for Size rounded up to sixteen (and sixteen at least):
// the lines of a grid's cells, rather than a call.
[[gnu::always_inline]] inline void CopyInSixteens(char* Dest, const char* Src, size_t Size) {
    std::memcpy(Dest, Src, 16);
    for (size_t i = 16; i < Size; i += 16)
        [[unlikely]] std::memcpy(Dest + i, Src + i, 16);
}

// PutFloat for the numbers a grid writes over and over (a column's two eastings in
// every cell, each northing in two cells): the texts of recent values are kept in a
// small table indexed by the value's bits and copied, so most corners are formatted
// once. A value whose slot another one took is simply formatted again.
class TRecentNumbers {
public:
    // What PutFloat writes; Dest has room for TextRoom characters.
    static constexpr size_t TextRoom = MaxNumberText;
    char* Put(char* Dest, double v) {
        TEntry& e = Slot(v);
        if (!(e.Value == v)) [[unlikely]]
            return Fill(e, Dest, v);
        const size_t n = e.Length; // read once: the copy's stores may alias it
        CopyInSixteens(Dest, e.Text, n);
        return Dest + n;
    }

    // The text of v when it has at most sixteen characters, as Text: sixteen bytes
    // that a caller keeps and puts (PutShort) for as long as its numbers repeat.
    struct alignas(16) TShortText {
        char Bytes[16];
        size_t Length;
    };
    bool Short(double v, TShortText& Text) {
        TEntry& e = Slot(v);
        if (!(e.Value == v)) [[unlikely]] {
            char text[TextRoom];
            Fill(e, text, v);
        }
        Text.Length = e.Length;
        std::memcpy(Text.Bytes, e.Text, 16);
        return Text.Length <= 16;
    }
    static char* PutShort(char* Dest, const TShortText& Text) {
        std::memcpy(Dest, Text.Bytes, 16);
        return Dest + Text.Length;
    }

private:
    // The text first and aligned: a piece of it that crossed a cache line would be
    // stored in two, and a load of it could no longer be served from the store.
    struct alignas(16) TEntry {
        char Text[TextRoom];
        double Value = __builtin_nan(""); // never equal: empty
        uint8_t Length = 0;
    };
    // A new value: formatted at Dest, then kept. A load that covers more than one
    // recent store waits until they have reached the cache, and the text is read back
    // at once (the next point has the same northing): the text of up to eight digits,
    // one word that PutFloat stores at once, is read back as that word and kept with
    // one store of the sixteen bytes that Put reads.
    [[gnu::noinline]] static char* Fill(TEntry& e, char* Dest, double v) {
        e.Value = v;
        // A whole number of up to eight digits, a grid's every coordinate, without
        // PutFloat's steps: the word of its digits, stored at once in both places.
        if (v >= 0 && v < 1e8) {
            const auto whole = static_cast<uint32_t>(v);
            if (static_cast<double>(whole) == v) {
                int n;
                const uint64_t word = DecimalWord(whole, n);
                std::memcpy(Dest, &word, 8);
                KeepWord(e, word);
                e.Length = static_cast<uint8_t>(n);
                return Dest + n;
            }
        }
        char* end = PutFloat(Dest, v);
        e.Length = static_cast<uint8_t>(end - Dest);
        if (e.Length <= 8) {
            uint64_t word;
            std::memcpy(&word, Dest, 8);
            KeepWord(e, word);
        } else {
            std::memcpy(e.Text, Dest, MaxNumberText);
        }
        return end;
    }
    // The text of up to eight characters, as the sixteen bytes Put reads, in one store.
    static void KeepWord(TEntry& e, uint64_t Word) {
#if defined(__SSE2__)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(e.Text),
                         _mm_cvtsi64_si128(static_cast<int64_t>(Word)));
#else
        std::memcpy(e.Text, &Word, 8);
#endif
    }

    TEntry& Slot(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return FEntries[(bits * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits)];
    }

    // A column of cells needs its two eastings and a few northings at a time; slots
    // enough that those seldom meet in one.
    static constexpr int SlotBits = 8;
    TEntry FEntries[1 << SlotBits];
};

// The texts of the last two values of one coordinate, for a grid's rings: a cell's
// corners take each of their x and y from two values, and the cell north of it
// shares one of its two y. They are looked for here before the table of
// TRecentNumbers, with two comparisons and without a hash.
class TRecentPair {
public:
    // What PutFloat writes; Dest has room for TRecentNumbers::TextRoom characters.
    char* Put(TRecentNumbers& Numbers, char* Dest, double v) {
        if (v == FValues[0])
            return TRecentNumbers::PutShort(Dest, FTexts[0]);
        if (v == FValues[1])
            return TRecentNumbers::PutShort(Dest, FTexts[1]);
        TRecentNumbers::TShortText text;
        if (!Numbers.Short(v, text))
            return Numbers.Put(Dest, v); // too long to keep here
        FValues[1] = FValues[0];
        FTexts[1] = FTexts[0];
        FValues[0] = v;
        FTexts[0] = text;
        return TRecentNumbers::PutShort(Dest, text);
    }

private:
    double FValues[2] = {__builtin_nan(""), __builtin_nan("")}; // never equal: empty
    TRecentNumbers::TShortText FTexts[2]{};
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

// Whether Flags marks any byte of [Data, Data + Size): FindFlagged without looking
// for where, the last word read overlapping. Exact, as a flag can be false only in
// the bytes after a flagged one.
template <typename F> bool AnyFlagged(const char* Data, size_t Size, F Flags) {
    if (Size < 8)
        return FindFlagged(Data, 0, Size, Flags) != Size;
    uint64_t w, flagged = 0;
    for (size_t p = 0; p + 8 < Size; p += 8) {
        std::memcpy(&w, Data + p, 8);
        flagged |= Flags(w);
    }
    std::memcpy(&w, Data + Size - 8, 8);
    return (flagged | Flags(w)) != 0;
}

#if defined(__SSE2__)
// Whether Marks marks a byte of [Data, Data + Size), for 8 <= Size <= 32 (the values
// and rows of a grid): sixteen bytes at a time, the reads overlapping. Marks takes
// sixteen bytes and gives the movemask of the bytes it marks.
template <typename M>
[[gnu::always_inline]] inline bool AnyMarkedShort(const char* Data, size_t Size, M Marks) {
    if (Size >= 16)
        return (Marks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Data))) |
                Marks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + Size - 16)))) != 0;
    int64_t head, tail;
    std::memcpy(&head, Data, 8);
    std::memcpy(&tail, Data + Size - 8, 8);
    return Marks(_mm_set_epi64x(tail, head)) != 0;
}
#endif

// Whether [Data, Data + Size) holds the byte A, the byte B or, with High, a byte of
// 0x80 or more, a word at a time (AnyFlagged).
template <char A, char B>
[[gnu::noinline]] bool HasEitherOrHighInWords(const char* Data, size_t Size, bool High) {
    const uint64_t high = High ? Highs : 0;
    return AnyFlagged(Data, Size, [high](uint64_t w) {
        return ZeroBytes(w ^ (Ones * static_cast<uint8_t>(A))) |
               ZeroBytes(w ^ (Ones * static_cast<uint8_t>(B))) | (w & high);
    });
}

// The same, sixteen bytes at a time and inline for the short texts of a grid, which
// every cell asks of its row.
template <char A, char B>
[[gnu::always_inline]] inline bool HasEitherOrHigh(const char* Data, size_t Size, bool High) {
#if defined(__SSE2__)
    if (Size >= 8 && Size <= 32)
        return AnyMarkedShort(Data, Size, [High](__m128i w) {
            const __m128i marked = _mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8(A)),
                                                _mm_cmpeq_epi8(w, _mm_set1_epi8(B)));
            return _mm_movemask_epi8(marked) | (High ? _mm_movemask_epi8(w) : 0);
        });
#endif
    return HasEitherOrHighInWords<A, B>(Data, Size, High);
}

// Whether [Data, Data + Size) holds a double quote, a NUL or, with High, a byte of
// 0x80 or more: AnyFlagged with QuoteBytes | ZeroBytes | high bytes.
inline bool HasQuoteNulOrHigh(const char* Data, size_t Size, bool High) {
    return HasEitherOrHigh<'"', '\0'>(Data, Size, High);
}

// Whether [Data, Data + Size) holds a CR, an LF or, with High, a byte of 0x80 or more.
inline bool HasLineBreakOrHigh(const char* Data, size_t Size, bool High) {
    return HasEitherOrHigh<'\r', '\n'>(Data, Size, High);
}

// At most Max bytes of encoded text; UTF-8 is never cut inside a character.
inline size_t CutLength(std::string_view encoded, size_t Max, uint16_t Codepage) {
    size_t n = std::min(encoded.size(), Max);
    if (Codepage == 65001)
        while (n > 0 && n < encoded.size() &&
               (static_cast<unsigned char>(encoded[n]) & 0xC0) == 0x80)
            --n;
    return n;
}

// Text, cut to Width bytes before, then spaces up to Width: the short fields of a
// grid in a few word-sized moves (overlapping where the lengths are not multiples of
// eight, the text as CopyShort moves it), the others with memcpy and memset.
inline void PutPadded(char* Dest, std::string_view Text, size_t Width) {
    const size_t n = Text.size();
    if (Width < 8 || Width > 32) {
        std::memcpy(Dest, Text.data(), n);
        std::memset(Dest + n, ' ', Width - n);
        return;
    }
    // Spaces over [0, 16) and [Width - 16, Width), in pieces of eight.
    constexpr uint64_t spaces = 0x2020202020202020ull;
    std::memcpy(Dest, &spaces, 8);
    std::memcpy(Dest + Width - 8, &spaces, 8);
    if (Width > 16) {
        std::memcpy(Dest + 8, &spaces, 8);
        std::memcpy(Dest + Width - 16, &spaces, 8);
    }
    CopyShort(Dest, Text.data(), n); // n <= Width <= 32
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
