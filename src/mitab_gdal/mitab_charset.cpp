#include "mitab_charset.h"

#include <cpl_conv.h>
#include <cpl_string.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace quadrel::mitab_gdal {

namespace {

// MapInfo's character sets that have an 8-bit or multi-byte encoding, from MapBasic's
// reference list. GDAL's driver records exactly these in the table header.
constexpr std::array<std::pair<std::string_view, std::string_view>, 35> kCharsets{{
    {"Neutral", ""},
    {"ISO8859_1", "ISO-8859-1"},
    {"ISO8859_2", "ISO-8859-2"},
    {"ISO8859_3", "ISO-8859-3"},
    {"ISO8859_4", "ISO-8859-4"},
    {"ISO8859_5", "ISO-8859-5"},
    {"ISO8859_6", "ISO-8859-6"},
    {"ISO8859_7", "ISO-8859-7"},
    {"ISO8859_8", "ISO-8859-8"},
    {"ISO8859_9", "ISO-8859-9"},
    // MapInfo spells it PackedEUCJapanese; GDAL's table carries the spelling below.
    {"PackedEUCJapanese", "EUC-JP"},
    {"PackedEUCJapaese", "EUC-JP"},
    {"WindowsLatin1", "CP1252"},
    {"WindowsLatin2", "CP1250"},
    {"WindowsArabic", "CP1256"},
    {"WindowsCyrillic", "CP1251"},
    {"WindowsBalticRim", "CP1257"},
    {"WindowsGreek", "CP1253"},
    {"WindowsHebrew", "CP1255"},
    {"WindowsTurkish", "CP1254"},
    {"WindowsTradChinese", "CP950"},
    {"WindowsSimpChinese", "CP936"},
    {"WindowsJapanese", "CP932"},
    {"WindowsKorean", "CP949"},
    {"CodePage437", "CP437"},
    {"CodePage850", "CP850"},
    {"CodePage852", "CP852"},
    {"CodePage855", "CP855"},
    {"CodePage857", "CP857"},
    {"CodePage860", "CP860"},
    {"CodePage861", "CP861"},
    {"CodePage863", "CP863"},
    {"CodePage864", "CP864"},
    {"CodePage865", "CP865"},
    {"CodePage869", "CP869"},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::optional<std::string_view> EncodingOfCharset(std::string_view charset) {
    for (const auto& [name, encoding] : kCharsets) {
        if (EqualNoCase(name, charset)) return encoding;
    }
    return std::nullopt;
}

std::string ToUtf8(std::string_view text, std::string_view encoding) {
    if (encoding.empty() || IsAscii(text)) return std::string(text);
    const std::string source(text);
    const std::string from(encoding);
    char* converted = CPLRecode(source.c_str(), from.c_str(), CPL_ENC_UTF8);
    std::string result = converted ? converted : "";
    CPLFree(converted);
    return result;
}

} // namespace quadrel::mitab_gdal
