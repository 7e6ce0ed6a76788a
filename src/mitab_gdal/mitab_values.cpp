#include "mitab_values.h"

#include <cpl_conv.h>

#include <climits>
#include <string>

namespace quadrel::mitab_gdal {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

// The number written by the digits text[pos, pos + count); the caller checked them.
int Digits(std::string_view text, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

bool IsDateSeparator(char c) { return c == '/' || c == '-'; }

bool ValidDate(const DateTimeValue& v) {
    return v.month >= 1 && v.month <= 12 && v.day >= 1 && v.day <= 31;
}

bool ValidTime(const DateTimeValue& v) {
    return v.hour <= 23 && v.minute <= 59 && v.second <= 59 && v.millisecond <= 999;
}

std::optional<DateTimeValue> DateFromTrimmed(std::string_view t) {
    DateTimeValue v;
    if (t.size() == 8 && AllDigits(t)) {
        v.year = Digits(t, 0, 4);
        v.month = Digits(t, 4, 2);
        v.day = Digits(t, 6, 2);
    } else if (t.size() == 10 && IsDateSeparator(t[4]) && t[7] == t[4] &&
               AllDigits(t.substr(0, 4)) && AllDigits(t.substr(5, 2)) &&
               AllDigits(t.substr(8, 2))) {
        v.year = Digits(t, 0, 4);
        v.month = Digits(t, 5, 2);
        v.day = Digits(t, 8, 2);
    } else if (t.size() == 10 && IsDateSeparator(t[2]) && t[5] == t[2] &&
               AllDigits(t.substr(0, 2)) && AllDigits(t.substr(3, 2)) &&
               AllDigits(t.substr(6, 4))) {
        v.day = Digits(t, 0, 2);
        v.month = Digits(t, 3, 2);
        v.year = Digits(t, 6, 4);
    } else {
        return std::nullopt;
    }
    if (!ValidDate(v)) return std::nullopt;
    return v;
}

std::optional<DateTimeValue> TimeFromTrimmed(std::string_view t) {
    DateTimeValue v;
    if (t.size() == 9 && AllDigits(t)) {
        v.hour = Digits(t, 0, 2);
        v.minute = Digits(t, 2, 2);
        v.second = Digits(t, 4, 2);
        v.millisecond = Digits(t, 6, 3);
    } else if ((t.size() == 8 || (t.size() == 12 && t[8] == '.' && AllDigits(t.substr(9)))) &&
               t[2] == ':' && t[5] == ':' && AllDigits(t.substr(0, 2)) &&
               AllDigits(t.substr(3, 2)) && AllDigits(t.substr(6, 2))) {
        v.hour = Digits(t, 0, 2);
        v.minute = Digits(t, 3, 2);
        v.second = Digits(t, 6, 2);
        if (t.size() == 12) v.millisecond = Digits(t, 9, 3);
    } else {
        return std::nullopt;
    }
    if (!ValidTime(v)) return std::nullopt;
    return v;
}

} // namespace

std::optional<int> ReadInteger(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break; // held at the limit below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::optional<double> ReadReal(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty()) return std::nullopt;
    return CPLAtof(std::string(text).c_str()); // strtod's reading, always with '.'
}

bool ReadLogical(std::string_view text) {
    text = TrimBlanks(text);
    return !text.empty() && (text.front() == 'T' || text.front() == 't');
}

std::optional<DateTimeValue> ReadDate(std::string_view text) {
    return DateFromTrimmed(TrimBlanks(text));
}

std::optional<DateTimeValue> ReadTime(std::string_view text) {
    return TimeFromTrimmed(TrimBlanks(text));
}

std::optional<DateTimeValue> ReadDateTime(std::string_view text) {
    const std::string_view t = TrimBlanks(text);
    std::optional<DateTimeValue> date, time;
    if (t.size() == 17 && AllDigits(t)) {
        date = DateFromTrimmed(t.substr(0, 8));
        time = TimeFromTrimmed(t.substr(8));
    } else if (const size_t space = t.find(' '); space != std::string_view::npos) {
        date = DateFromTrimmed(t.substr(0, space));
        time = TimeFromTrimmed(t.substr(space + 1));
    }
    if (!date || !time) return std::nullopt;
    DateTimeValue v = *time;
    v.year = date->year;
    v.month = date->month;
    v.day = date->day;
    return v;
}

} // namespace quadrel::mitab_gdal
