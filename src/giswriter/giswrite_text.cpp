#include "giswrite_text.h"

#include "pwnet_functions.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace pwnet {

namespace {

char* PutText(char* Dest, std::string_view Text) {
    std::memcpy(Dest, Text.data(), Text.size());
    return Dest + Text.size();
}

} // namespace

char* PutInt(char* Dest, int64_t v) {
    return PutDecimal(Dest, v);
}

void AppendInt(std::string& out, int64_t v) {
    char buf[MaxNumberText];
    out.append(buf, PutInt(buf, v));
}

char* PutFloat(char* Dest, double v) {
    // A whole number, the usual grid coordinate (0 and -0 give "0").
    if (std::fabs(v) < 1e15) {
        const auto whole = static_cast<int64_t>(v);
        if (static_cast<double>(whole) == v)
            return PutInt(Dest, whole);
    }
    if (std::isnan(v))
        return PutText(Dest, "NAN");
    if (std::isinf(v))
        return PutText(Dest, v > 0 ? "INF" : "-INF");
    char buf[40]; // -d.dddddddddddddde-xxx
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    const char* p = buf;
    char* out = Dest;
    if (*p == '-')
        *out++ = *p++;
    char digits[16];
    int n = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits[n++] = *p;
    while (n > 1 && digits[n - 1] == '0')
        --n;
    int exp10 = 0;
    std::from_chars(p + 1 + (p[1] == '+'), res.ptr, exp10);
    const int e = exp10 + 1; // v = 0.d1d2... * 10^e
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out = PutText(out, "0.");
            std::memset(out, '0', static_cast<size_t>(-e));
            out += -e;
            out = PutText(out, {digits, static_cast<size_t>(n)});
        } else if (n <= e) {
            out = PutText(out, {digits, static_cast<size_t>(n)});
            std::memset(out, '0', static_cast<size_t>(e - n));
            out += e - n;
        } else {
            out = PutText(out, {digits, static_cast<size_t>(e)});
            *out++ = '.';
            out = PutText(out, {digits + e, static_cast<size_t>(n - e)});
        }
        return out;
    }
    *out++ = digits[0];
    if (n > 1) {
        *out++ = '.';
        out = PutText(out, {digits + 1, static_cast<size_t>(n - 1)});
    }
    *out++ = 'E';
    return PutInt(out, exp10);
}

void AppendFloat(std::string& out, double v) {
    char buf[MaxNumberText];
    out.append(buf, PutFloat(buf, v));
}

double ReadDecimal(std::string_view s) {
    auto digit = [&](size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    size_t p = 0;
    while (p < s.size() && s[p] >= 1 && s[p] <= 32)
        ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-'))
        negative = s[p++] == '-';
    const size_t start = p;
    size_t digits = 0;
    while (digit(p))
        ++p, ++digits;
    if (p < s.size() && s[p] == '.') {
        size_t q = p + 1;
        while (digit(q))
            ++q, ++digits;
        if (digits > 0)
            p = q;
    }
    if (digits == 0)
        return 0;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        size_t q = p + 1;
        if (q < s.size() && (s[q] == '+' || s[q] == '-'))
            ++q;
        if (digit(q)) {
            while (digit(q))
                ++q;
            p = q;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data() + start, s.data() + p, value);
    if (ec != std::errc() || end != s.data() + p)
        return 0; // beyond the range of a double
    if (value == 0)
        return 0; // never "-0.00"
    return negative ? -value : value;
}

void AppendXMLEscaped(std::string& out, std::string_view s) {
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char* entity = nullptr;
        switch (s[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        default:
            continue;
        }
        out.append(s.substr(from, i - from));
        out += entity;
        from = i + 1;
    }
    out.append(s.substr(from));
}

void AppendJsonString(std::string& out, std::string_view s) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(s.substr(from, i - from));
        from = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    out.append(s.substr(from));
    out += '"';
}

bool IsJsonNumber(std::string_view s) {
    size_t p = 0;
    auto digits = [&] {
        const size_t start = p;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9')
            ++p;
        return p - start;
    };
    if (p < s.size() && s[p] == '-')
        ++p;
    const size_t start = p;
    const size_t whole = digits();
    if (whole == 0 || (whole > 1 && s[start] == '0'))
        return false;
    if (p < s.size() && s[p] == '.') {
        ++p;
        if (digits() == 0)
            return false;
    }
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        if (p < s.size() && (s[p] == '+' || s[p] == '-'))
            ++p;
        if (digits() == 0)
            return false;
    }
    return p == s.size();
}

namespace {

// Appends v cut into pieces by Pattern: a digit in the pattern takes that many
// characters of v, any other pattern character is copied. v must have exactly
// Length characters (code points); otherwise nothing is appended.
bool AppendPattern(std::string& out, std::string_view v, size_t Length, std::string_view Pattern) {
    if (Utf8Length(v) != Length)
        return false;
    size_t p = 0;
    for (const char c : Pattern) {
        if (c < '0' || c > '9') {
            out += c;
            continue;
        }
        const size_t start = p;
        for (int k = 0; k < c - '0'; ++k) {
            ++p;
            while (p < v.size() && (static_cast<unsigned char>(v[p]) & 0xC0) == 0x80)
                ++p;
        }
        out.append(v.substr(start, p - start));
    }
    return true;
}

} // namespace

bool AppendIsoDate(std::string& out, std::string_view v) {
    return AppendPattern(out, v, 8, "4-2-2");
}

bool AppendIsoTime(std::string& out, std::string_view v) {
    return AppendPattern(out, v, 9, "2:2:2.3");
}

bool AppendIsoDateTime(std::string& out, std::string_view v) {
    return AppendPattern(out, v, 17, "4-2-2T2:2:2.3");
}

} // namespace pwnet
