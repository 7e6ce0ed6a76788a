#pragma once
// Text pieces the writers append to their reused buffers, so that writing an
// object builds no string of its own: numbers in the form of FloatToStrDot,
// XML and JSON escaping, and the ISO forms of the writers' date and time values.
// Internal to the writer family.

#include <cstdint>
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
