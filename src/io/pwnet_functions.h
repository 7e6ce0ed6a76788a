#pragma once
// Number, text and code-page helpers shared by the writers. Every number is
// written with '.' as decimal separator, whatever the process locale.

#include "pwnet_types.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace pwnet {

// The dBASE language-driver table: code page per driver byte, 0 where none.
extern const std::array<uint16_t, 256> LanguageDriverCodePages;

// Formats Value as "%*.*f" and stores the first Width characters into Dest
// (no terminating zero). A number wider than the field loses its right-hand digits.
uint8_t* FormatFixed(uint8_t* Dest, int32_t Width, int32_t Decimals, double Value);
uint8_t CodePageToLanguageDriver(uint16_t CodePage);
// The decimal digits of V, after a '-' when it is negative, written at Dest (room for
// 20 characters); returns their end. What std::to_chars writes, in fewer steps.
char* PutDecimal(char* Dest, int64_t V);
// The digits of V < 100000000 as one word in text order, the first digit in the
// lowest byte, and their number: what PutDecimal stores, for a caller that keeps it.
uint64_t DecimalWord(uint32_t V, int& Length);
// General format, at most 15 significant digits: 6180000, 0.5, 1E15, 1.5E-7.
std::string FloatToStrDot(double Value);
std::string XMLEscape(std::string_view S);
std::string CodePageName(uint16_t CodePage);
// Linux has no ANSI code page; files therefore default to 1252 as on a Western
// Windows system.
uint16_t GetSystemAnsiCodePage();
// UTF-8 text to the bytes of CodePage; a character the code page cannot hold becomes '?'.
std::string UnicodeToCodePage(std::string_view S, uint16_t CodePage);
// Bytes of CodePage to UTF-8; an undecodable byte becomes U+FFFD.
std::string CodePageToUnicode(std::string_view Bytes, uint16_t CodePage);
// Central angle in radians between two lon/lat points in degrees (haversine).
double GreatCircleAngle(const TFloatPoint& P1, const TFloatPoint& P2);
inline bool IsNotEmpty(std::string_view S) { return !S.empty(); }

// Size bytes from Src to Dest, which do not overlap: a short text in two overlapping
// moves rather than a call.
inline void CopyShort(char* Dest, const char* Src, size_t Size) {
    auto pieces = [&](auto piece) {
        constexpr size_t n = sizeof piece;
        decltype(piece) tail;
        std::memcpy(&piece, Src, n);
        std::memcpy(&tail, Src + Size - n, n);
        std::memcpy(Dest, &piece, n);
        std::memcpy(Dest + Size - n, &tail, n);
    };
    struct TSixteen {
        char Bytes[16];
    };
    if (Size >= 16 && Size <= 32)
        pieces(TSixteen{});
    else if (Size >= 8 && Size < 16)
        pieces(uint64_t{});
    else if (Size >= 4 && Size < 8)
        pieces(uint32_t{});
    else if (Size > 0)
        std::memcpy(Dest, Src, Size);
}

// True when every byte of S is below 0x80. Eight bytes at a time: the writers ask
// it of every value and line they write.
inline bool IsAscii(std::string_view S) {
    const char* p = S.data();
    const size_t n = S.size();
    uint64_t high = 0;
    if (n >= 8) {
        uint64_t word;
        for (size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(&word, p + i, 8);
            high |= word;
        }
        std::memcpy(&word, p + n - 8, 8); // the last eight, overlapping
        high |= word;
    } else {
        for (size_t i = 0; i < n; ++i)
            high |= static_cast<unsigned char>(p[i]);
    }
    return (high & 0x8080808080808080ull) == 0;
}

// Number of Unicode code points in UTF-8 text (what the writers count as characters).
size_t Utf8Length(std::string_view S);

// Whether A and B are the same text when ASCII letters are compared without case:
// names of options, formats, presets and layers (other bytes must match exactly).
inline bool SameTextAscii(std::string_view A, std::string_view B) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (A.size() != B.size())
        return false;
    for (size_t i = 0; i < A.size(); ++i)
        if (lower(A[i]) != lower(B[i]))
            return false;
    return true;
}

// A reusable UTF-8 -> code page converter: opens the conversion once, so the
// writers can encode one attribute row per object without setting it up again.
// Pure ASCII text in an ASCII-compatible code page is copied without conversion.
class TCodePageEncoder {
public:
    explicit TCodePageEncoder(uint16_t CodePage);
    ~TCodePageEncoder();
    TCodePageEncoder(const TCodePageEncoder&) = delete;
    TCodePageEncoder& operator=(const TCodePageEncoder&) = delete;

    uint16_t CodePage() const { return FCodePage; }
    std::string Encode(std::string_view S) const;
    // Whether S is its own encoding (UTF-8 out, or ASCII in a code page that keeps
    // ASCII), so that a writer may copy it as it is.
    bool PassesThrough(std::string_view S) const {
        return FIdentity || (FAsciiTransparent && IsAscii(S));
    }
    // Whether every ASCII text is its own encoding.
    bool KeepsAscii() const { return FIdentity || FAsciiTransparent; }
    // Whether the code page is UTF-8: all text passes through.
    bool IsIdentity() const { return FIdentity; }
    // Appends the encoded text to Out (no allocation once Out has room).
    void EncodeTo(std::string_view S, std::string& Out) const;

private:
    struct Impl;
    uint16_t FCodePage;
    bool FIdentity;       // 65001: UTF-8 passes through
    bool FAsciiTransparent; // ASCII bytes map to themselves
    std::unique_ptr<Impl> FImpl;
};

} // namespace pwnet
