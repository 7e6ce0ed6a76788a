#pragma once
// Reading attribute values from the text forms MITAB's C API takes. Every value
// arrives as text; these turn it into what the field type stores. Nothing here
// depends on the process locale.

#include <optional>
#include <string_view>

namespace quadrel::mitab_gdal {

// Integer text as atoi reads it: leading blanks, a sign, digits up to the first other
// character; no digits gives 0, values beyond 32 bits are held at the limit.
// nullopt for a text of blanks only.
std::optional<int> ReadInteger(std::string_view text);

// Decimal text as strtod reads it, always with '.' as separator; text that is no
// number gives 0. nullopt for a text of blanks only.
std::optional<double> ReadReal(std::string_view text);

// MapInfo logicals are true when the text begins with T or t (after blanks).
bool ReadLogical(std::string_view text);

struct DateTimeValue {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// YYYYMMDD, YYYY/MM/DD or DD/MM/YYYY ('-' also serves as separator). nullopt for an
// empty text, another form, or a month or day out of range.
std::optional<DateTimeValue> ReadDate(std::string_view text);

// HHMMSSmmm or HH:MM:SS (optionally .mmm). nullopt as above.
std::optional<DateTimeValue> ReadTime(std::string_view text);

// YYYYMMDDHHMMSSmmm, or a date of the forms above, one space and a time of the forms
// above. nullopt as above.
std::optional<DateTimeValue> ReadDateTime(std::string_view text);

} // namespace quadrel::mitab_gdal
