#include "pwnet_functions.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <unordered_map>

namespace pwnet {

const std::array<uint16_t, 256> LanguageDriverCodePages = [] {
    std::array<uint16_t, 256> t{};
    static constexpr std::pair<uint8_t, uint16_t> entries[] = {
        {0x01, 437},   {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},
        {0x09, 437},   {0x0A, 850},   {0x0B, 437},   {0x0C, 850},   {0x0D, 437},
        {0x0E, 850},   {0x0F, 437},   {0x10, 850},   {0x11, 437},   {0x12, 850},
        {0x13, 932},   {0x14, 850},   {0x15, 437},   {0x16, 850},   {0x17, 865},
        {0x18, 437},   {0x19, 437},   {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
        {0x1D, 850},   {0x1F, 852},   {0x20, 867},   {0x22, 852},   {0x23, 852},
        {0x24, 860},   {0x25, 850},   {0x26, 866},   {0x37, 850},   {0x4D, 936},
        {0x4E, 949},   {0x4F, 950},   {0x50, 874},   {0x56, 932},   {0x57, 1252},
        {0x58, 1252},  {0x59, 1252},  {0x5E, 437},   {0x5F, 437},   {0x60, 850},
        {0x61, 1252},  {0x62, 1252},  {0x64, 852},   {0x65, 866},   {0x66, 865},
        {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},   {0x6B, 857},
        {0x78, 950},   {0x79, 949},   {0x7A, 936},   {0x7B, 932},   {0x7C, 874},
        {0x7D, 1255},  {0x7E, 1256},  {0x85, 862},   {0x86, 437},   {0x87, 852},
        {0x88, 857},   {0x8E, 868},   {0x96, 10007}, {0x97, 10029}, {0x98, 10006},
        {0x9B, 1250},  {0x9C, 850},   {0xC8, 1250},  {0xC9, 1251},  {0xCA, 1254},
        {0xCB, 1253},
    };
    for (auto [driver, cp] : entries) t[driver] = cp;
    return t;
}();

// ---- numbers --------------------------------------------------------------

uint8_t* FormatFixed(uint8_t* Dest, int32_t Width, int32_t Decimals, double Value) {
    if (Width <= 0) return Dest;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed,
                           std::clamp(Decimals, 0, 60));
    if (r.ec != std::errc{}) {
        r.ptr = buf + std::snprintf(buf, sizeof buf, "%s", std::isnan(Value) ? "NAN" : "INF");
    }
    auto len = static_cast<int32_t>(r.ptr - buf);
    int32_t pad = std::max(0, Width - len);
    for (int32_t i = 0; i < Width; ++i)
        Dest[i] = static_cast<uint8_t>(i < pad ? ' ' : buf[i - pad]);
    return Dest;
}

namespace {

// "00" "01" ... "99": two digits per step.
constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int DecimalLength(uint64_t v) {
    int n = 1;
    for (; v >= 10000; v /= 10000)
        n += 4;
    return n + (v >= 10) + (v >= 100) + (v >= 1000);
}

char* PutDigits64(char* Dest, uint64_t v) {
    const int n = DecimalLength(v);
    char* p = Dest + n;
    while (v >= 100) {
        const auto pair = static_cast<size_t>(v % 100) * 2;
        v /= 100;
        *--p = DigitPairs[pair + 1];
        *--p = DigitPairs[pair];
    }
    if (v >= 10) {
        *--p = DigitPairs[v * 2 + 1];
        *--p = DigitPairs[v * 2];
    } else {
        *--p = static_cast<char>('0' + v);
    }
    return Dest + n;
}

uint64_t DigitPair(uint32_t v) {
    uint16_t pair;
    std::memcpy(&pair, DigitPairs + 2 * v, 2);
    return pair;
}

// The eight digits of v < 100000000, leading zeros included, as one word in text
// order: split into lanes of four digits, then two, then one, each lane divided by
// a multiplication that cannot carry into the next (10486 / 2^20 is 1/100 and
// 103 / 2^10 is 1/10 for the values of their lanes).
uint64_t EightDigits(uint32_t v) {
    uint64_t x = (v / 10000) | uint64_t{v % 10000} << 32;
    const uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;
    x = hundreds | (x - hundreds * 100) << 16;
    const uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Full;
    x = tens | (x - tens * 10) << 8;
    return x | 0x3030303030303030ull;
}

// 10^k, but 0 for k = 0, so that 0 counts one digit.
constexpr uint32_t PowersOfTen[] = {0,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};

int DecimalLength32(uint32_t v) {
    // From the number of bits: log10(2) ~ 1233 / 4096, then one correction.
    const int guess = ((32 - __builtin_clz(v | 1)) * 1233) >> 12;
    return guess + 1 - (v < PowersOfTen[guess]);
}

// Up to ten digits: the last eight in one piece (Dest has room for eight bytes more
// than it gets), the first two before them.
char* PutDigits32(char* Dest, uint32_t v) {
    if (v < 10) { // counts of parts and points
        *Dest = static_cast<char>('0' + v);
        return Dest + 1;
    }
    if (v >= 100000000) {
        const uint32_t head = v / 100000000;
        if (head >= 10) {
            std::memcpy(Dest, DigitPairs + 2 * head, 2);
            Dest += 2;
        } else {
            *Dest++ = static_cast<char>('0' + head);
        }
        const uint64_t word = EightDigits(v % 100000000);
        std::memcpy(Dest, &word, 8);
        return Dest + 8;
    }
    int n;
    const uint64_t word = DecimalWord(v, n);
    std::memcpy(Dest, &word, 8);
    return Dest + n;
}

} // namespace

uint64_t DecimalWord(uint32_t V, int& Length) {
    Length = DecimalLength32(V);
    // The word holds the digits in text order; its last Length bytes are the number.
    return EightDigits(V) >> (8 * (8 - Length));
}

char* PutDecimal(char* Dest, int64_t V) {
    uint64_t v = static_cast<uint64_t>(V);
    if (V < 0) {
        *Dest++ = '-';
        v = 0 - v;
    }
    if (v <= UINT32_MAX)
        return PutDigits32(Dest, static_cast<uint32_t>(v));
    return PutDigits64(Dest, v);
}

std::string FloatToStrDot(double Value) {
    if (std::isnan(Value)) return "NAN";
    if (std::isinf(Value)) return Value > 0 ? "INF" : "-INF";
    if (Value == 0) return "0";

    // d.dddddddddddddde±x: 15 significant digits, correctly rounded.
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 14);
    std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
    bool negative = text.front() == '-';
    if (negative) text.remove_prefix(1);
    auto epos = text.find('e');
    int exp10 = 0;
    std::from_chars(text.data() + epos + (text[epos + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exp10);
    std::string digits;
    for (char c : text.substr(0, epos))
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    int E = exp10 + 1; // Value = 0.d1d2... x 10^E
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            out += "0." + std::string(static_cast<size_t>(-E), '0') + digits;
        } else if (static_cast<int>(digits.size()) <= E) {
            out += digits + std::string(static_cast<size_t>(E) - digits.size(), '0');
        } else {
            out += digits.substr(0, static_cast<size_t>(E)) + "." + digits.substr(static_cast<size_t>(E));
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp10);
    }
    return out;
}

// ---- text -----------------------------------------------------------------

std::string XMLEscape(std::string_view S) {
    std::string out;
    out.reserve(S.size());
    for (char c : S) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

size_t Utf8Length(std::string_view S) {
    return static_cast<size_t>(std::count_if(S.begin(), S.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// ---- code pages -----------------------------------------------------------

std::string CodePageName(uint16_t CodePage) {
    static const std::unordered_map<uint16_t, const char*> names = {
        {437, "CodePage437"},        {850, "CodePage850"},         {852, "CodePage852"},
        {855, "CodePage855"},        {857, "CodePage857"},         {860, "CodePage860"},
        {861, "CodePage861"},        {863, "CodePage863"},         {864, "CodePage864"},
        {865, "CodePage865"},        {869, "CodePage869"},         {932, "WindowsJapanese"},
        {936, "WindowsSimpChinese"}, {949, "WindowsKorean"},       {950, "WindowsTradChinese"},
        {1250, "WindowsLatin2"},     {1251, "WindowsCyrillic"},    {1252, "WindowsLatin1"},
        {1253, "WindowsGreek"},      {1254, "WindowsTurkish"},     {1255, "WindowsHebrew"},
        {1256, "WindowsArabic"},     {28591, "ISO8859_1"},         {28592, "ISO8859_2"},
        {28593, "ISO8859_3"},        {28594, "ISO8859_4"},         {28595, "ISO8859_5"},
        {28596, "ISO8859_6"},        {28597, "ISO8859_7"},         {28598, "ISO8859_8"},
        {28599, "ISO8859_9"},        {51932, "PackedEUCJapanese"}, {65001, "UTF-8"},
    };
    auto it = names.find(CodePage);
    return it != names.end() ? it->second : "Unknown CodePage";
}

uint8_t CodePageToLanguageDriver(uint16_t CodePage) {
    if (CodePage == 0) return 0;
    for (size_t driver = 0; driver < LanguageDriverCodePages.size(); ++driver)
        if (LanguageDriverCodePages[driver] == CodePage) return static_cast<uint8_t>(driver);
    return 0;
}

uint16_t GetSystemAnsiCodePage() { return 1252; }

namespace {

// glibc's name for a Windows code page number.
std::string IconvName(uint16_t cp) {
    switch (cp) {
    case 65001: return "UTF-8";
    case 10000: return "MACINTOSH";
    case 10006: return "MAC-GREEK";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 20127: return "ASCII";
    case 51932: return "EUC-JP";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    default: break;
    }
    if (cp >= 28591 && cp <= 28599) return "ISO-8859-" + std::to_string(cp - 28590);
    if (cp == 28605) return "ISO-8859-15";
    return "CP" + std::to_string(cp);
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from)
        : h_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (ok()) iconv_close(h_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return h_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`, appending to `out`; an input sequence that cannot be
    // converted is skipped (`skip` bytes at a time) and replaced by `replacement`.
    void Convert(std::string_view in, std::string& out, std::string_view replacement,
                 bool utf8Input) {
        iconv(h_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char chunk[1024];
        while (srcLeft > 0) {
            char* dst = chunk;
            size_t dstLeft = sizeof chunk;
            size_t r = iconv(h_, &src, &srcLeft, &dst, &dstLeft);
            out.append(chunk, static_cast<size_t>(dst - chunk));
            if (r != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ (unrepresentable or malformed) or EINVAL (cut short): skip one character.
            out.append(replacement);
            size_t skip = utf8Input ? Utf8SequenceLength(static_cast<unsigned char>(*src)) : 1;
            skip = std::min(std::max<size_t>(skip, 1), srcLeft);
            src += skip;
            srcLeft -= skip;
        }
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        iconv(h_, nullptr, nullptr, &dst, &dstLeft);
        out.append(chunk, static_cast<size_t>(dst - chunk));
    }

private:
    static size_t Utf8SequenceLength(unsigned char lead) {
        if (lead < 0x80) return 1;
        if ((lead & 0xE0) == 0xC0) return 2;
        if ((lead & 0xF0) == 0xE0) return 3;
        if ((lead & 0xF8) == 0xF0) return 4;
        return 1;
    }
    iconv_t h_;
};

} // namespace

struct TCodePageEncoder::Impl {
    explicit Impl(uint16_t cp) : conv(IconvName(cp), "UTF-8") {}
    Iconv conv;
};

TCodePageEncoder::TCodePageEncoder(uint16_t CodePage)
    : FCodePage(CodePage), FIdentity(CodePage == 65001), FAsciiTransparent(false),
      FImpl(std::make_unique<Impl>(CodePage)) {
    if (FIdentity) return;
    // Most code pages keep ASCII as it is; checking once lets ASCII text skip iconv.
    std::string ascii;
    for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
    std::string converted;
    if (FImpl->conv.ok()) FImpl->conv.Convert(ascii, converted, "?", true);
    FAsciiTransparent = FImpl->conv.ok() && converted == ascii;
}

TCodePageEncoder::~TCodePageEncoder() = default;

std::string TCodePageEncoder::Encode(std::string_view S) const {
    std::string out;
    EncodeTo(S, out);
    return out;
}

void TCodePageEncoder::EncodeTo(std::string_view S, std::string& Out) const {
    if (PassesThrough(S)) {
        Out.append(S);
        return;
    }
    if (FImpl->conv.ok()) {
        FImpl->conv.Convert(S, Out, "?", true);
        return;
    }
    // An unknown code page: keep ASCII, mark everything else as unrepresentable.
    for (size_t i = 0; i < S.size(); ++i) {
        auto c = static_cast<unsigned char>(S[i]);
        if (c < 0x80) Out += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80) Out += '?';
    }
}

std::string UnicodeToCodePage(std::string_view S, uint16_t CodePage) {
    // One encoder per code page for the life of the process: conversions are set up once.
    static std::mutex mutex;
    static std::unordered_map<uint16_t, std::unique_ptr<TCodePageEncoder>> cache;
    std::lock_guard lock(mutex);
    auto& enc = cache[CodePage];
    if (!enc) enc = std::make_unique<TCodePageEncoder>(CodePage);
    return enc->Encode(S);
}

std::string CodePageToUnicode(std::string_view Bytes, uint16_t CodePage) {
    if (CodePage == 65001 || IsAscii(Bytes)) return std::string(Bytes);
    Iconv conv("UTF-8", IconvName(CodePage));
    std::string out;
    if (conv.ok()) {
        conv.Convert(Bytes, out, "\xEF\xBF\xBD", false);
    } else {
        for (char c : Bytes) out += (c & 0x80) ? "\xEF\xBF\xBD" : std::string(1, c);
    }
    return out;
}

// ---- geometry -------------------------------------------------------------

double GreatCircleAngle(const TFloatPoint& P1, const TFloatPoint& P2) {
    constexpr double rad = 0.017453292519943295;
    double lon1 = P1.x * rad, lat1 = P1.y * rad, lon2 = P2.x * rad, lat2 = P2.y * rad;
    double sLat = std::sin((lat1 - lat2) / 2);
    double sLon = std::sin((lon1 - lon2) / 2);
    double h = sLat * sLat + std::cos(lat1) * std::cos(lat2) * sLon * sLon;
    double a = std::sqrt(h);
    if (!(a < 1)) a = 1;
    if (a < -1) a = -1;
    return 2 * std::asin(a);
}

} // namespace pwnet
