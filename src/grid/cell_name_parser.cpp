#include "cell_name_parser.h"

#include "cell_codes.h"
#include "pwnet_functions.h"

#include <charconv>
#include <optional>

namespace quadrel {

namespace {

constexpr std::string_view InspirePrefix = "CRS3035RES";
constexpr std::string_view DknForm = "a DKN identifier is the size, the northing and the easting "
                                     "joined by \"_\", as in 1km_6200_440";
constexpr std::string_view EeaForm = "an EEA code is the size, \"E\" and the easting, \"N\" and "
                                     "the northing in cells, as in 1kmE4321N3210";
constexpr std::string_view ShortForm = "a short INSPIRE code is the size, \"N\" and the northing, "
                                       "\"E\" and the easting in cells, as in 1kmN3210E4321";
constexpr std::string_view InspireForm =
    "an INSPIRE code is CRS3035RES, the size in metres, \"mN\" and the northing, \"E\" and the "
    "easting in metres, as in CRS3035RES1000mN3210000E4321000";
constexpr std::string_view TooLarge = "its numbers are too large for grid metres";

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Takes a leading size label ("1km", "250m") off Text, or nothing.
std::string_view TakeLabel(std::string_view& Text) {
    size_t k = 0;
    while (k < Text.size() && IsDigit(Text[k]))
        ++k;
    if (k == 0)
        return {};
    if (k + 1 < Text.size() && Lower(Text[k]) == 'k' && Lower(Text[k + 1]) == 'm')
        k += 2;
    else if (k < Text.size() && Lower(Text[k]) == 'm')
        k += 1;
    else
        return {};
    const std::string_view label = Text.substr(0, k);
    Text.remove_prefix(k);
    return label;
}

// Takes a whole number (an optional "-" and digits) off the front of Text.
std::optional<int64_t> TakeNumber(std::string_view& Text, bool& Overflow) {
    int64_t value = 0;
    const char* end = Text.data() + Text.size();
    const auto [stop, ec] = std::from_chars(Text.data(), end, value);
    if (ec == std::errc::result_out_of_range)
        Overflow = true;
    if (ec != std::errc())
        return std::nullopt;
    Text.remove_prefix(static_cast<size_t>(stop - Text.data()));
    return value;
}

// Takes an expected letter (either case) off the front of Text.
bool TakeLetter(std::string_view& Text, char Letter) {
    if (Text.empty() || Lower(Text.front()) != Lower(Letter))
        return false;
    Text.remove_prefix(1);
    return true;
}

std::string SizeLabels(TGridKind Kind) {
    std::string labels;
    for (const TGridSize& s : GridSizes(Kind))
        labels += std::string(labels.empty() ? "" : ", ") + std::string(s.Label);
    return labels;
}

std::string UnknownSize(TGridKind Kind, std::string_view Label) {
    return std::string(Label) + " is not a " + (Kind == gkDKN ? "DKN" : "EuroGrid") +
           " cell size (" + SizeLabels(Kind) + ")";
}

// Value * Factor, or nullopt when it does not fit.
std::optional<int64_t> Times(int64_t Value, int64_t Factor) {
    int64_t product = 0;
    if (__builtin_mul_overflow(Value, Factor, &product))
        return std::nullopt;
    return product;
}

// A part of a DKN identifier: the number with its dropped digits cut off; empty for 0.
std::optional<int64_t> DknPart(std::string_view Part, int32_t Dropped, bool& Overflow) {
    if (Part.empty())
        return 0;
    const std::optional<int64_t> v = TakeNumber(Part, Overflow);
    if (!v || !Part.empty())
        return std::nullopt;
    int64_t unit = 1;
    for (int32_t i = 0; i < Dropped; ++i)
        unit *= 10;
    const std::optional<int64_t> metres = Times(*v, unit);
    if (!metres)
        Overflow = true;
    return metres;
}

std::string ParseDkn(std::string_view Label, std::string_view Rest, TNamedCell& Cell) {
    const TGridSize* size = FindSizeByLabel(gkDKN, Label);
    if (!size)
        return UnknownSize(gkDKN, Label);
    // Rest is "_northing_easting".
    Rest.remove_prefix(1);
    const size_t cut = Rest.find('_');
    if (cut == std::string_view::npos)
        return std::string(DknForm);
    bool overflow = false;
    const auto n = DknPart(Rest.substr(0, cut), size->DroppedDigits, overflow);
    const auto e = DknPart(Rest.substr(cut + 1), size->DroppedDigits, overflow);
    if (overflow)
        return std::string(TooLarge);
    if (!n || !e)
        return std::string(DknForm);
    Cell = {gkDKN, size, TCellCodeStyle::None, *e, *n};
    return {};
}

// "E<e>N<n>" (EEA) or "N<n>E<e>" (short INSPIRE), in cells of Size.
std::string ParseEuroGridCells(std::string_view Label, std::string_view Rest, TNamedCell& Cell) {
    const TGridSize* size = FindSizeByLabel(gkEuroGrid, Label);
    if (!size)
        return UnknownSize(gkEuroGrid, Label);
    const bool eea = Lower(Rest.front()) == 'e';
    const char first = eea ? 'E' : 'N', second = eea ? 'N' : 'E';
    const std::string_view form = eea ? EeaForm : ShortForm;
    bool overflow = false;
    std::optional<int64_t> a, b;
    if (TakeLetter(Rest, first))
        a = TakeNumber(Rest, overflow);
    if (a && TakeLetter(Rest, second))
        b = TakeNumber(Rest, overflow);
    if (overflow)
        return std::string(TooLarge);
    if (!a || !b || !Rest.empty())
        return std::string(form);
    const auto e = Times(eea ? *a : *b, size->CellSize);
    const auto n = Times(eea ? *b : *a, size->CellSize);
    if (!e || !n)
        return std::string(TooLarge);
    Cell = {gkEuroGrid, size, eea ? TCellCodeStyle::EEA : TCellCodeStyle::InspireShort, *e, *n};
    return {};
}

// "CRS3035RES<size>mN<n>E<e>", all in metres.
std::string ParseInspire(std::string_view Rest, TNamedCell& Cell) {
    bool overflow = false;
    std::optional<int64_t> res, n, e;
    if (!Rest.empty() && IsDigit(Rest.front()))
        res = TakeNumber(Rest, overflow);
    if (res && TakeLetter(Rest, 'm') && TakeLetter(Rest, 'N'))
        n = TakeNumber(Rest, overflow);
    if (n && TakeLetter(Rest, 'E'))
        e = TakeNumber(Rest, overflow);
    if (overflow)
        return std::string(TooLarge);
    if (!e || !Rest.empty())
        return std::string(InspireForm);
    const TGridSize* size = nullptr;
    for (const TGridSize& s : GridSizes(gkEuroGrid))
        if (s.CellSize == *res)
            size = &s;
    if (!size)
        return "RES" + std::to_string(*res) +
               "m is not a EuroGrid cell size (1m to 1000000m in powers of ten)";
    Cell = {gkEuroGrid, size, TCellCodeStyle::Inspire, *e, *n};
    return {};
}

std::string ParseAnyForm(std::string_view Name, TNamedCell& Cell) {
    if (Name.size() > InspirePrefix.size() &&
        pwnet::SameTextAscii(Name.substr(0, InspirePrefix.size()), InspirePrefix))
        return ParseInspire(Name.substr(InspirePrefix.size()), Cell);
    std::string_view rest = Name;
    const std::string_view label = TakeLabel(rest);
    if (label.empty() || rest.empty())
        return "it begins with neither a cell size (1km, 100m, ...) followed by \"_\", \"E\" or "
               "\"N\", nor with CRS3035RES";
    switch (Lower(rest.front())) {
    case '_':
        return ParseDkn(label, rest, Cell);
    case 'e':
    case 'n':
        return ParseEuroGridCells(label, rest, Cell);
    default:
        return "after the size " + std::string(label) +
               " comes \"_\" (a DKN identifier), \"E\" (an EEA code) or \"N\" (a short INSPIRE "
               "code)";
    }
}

} // namespace

std::string ParseCellName(std::string_view Name, TNamedCell& Cell) {
    TNamedCell cell;
    if (std::string reason = ParseAnyForm(Name, cell); !reason.empty())
        return reason;
    const int64_t size = cell.Size->CellSize;
    if (cell.Easting % size != 0 || cell.Northing % size != 0)
        return "(" + std::to_string(cell.Easting) + ", " + std::to_string(cell.Northing) +
               ") is not the lower-left corner of a " + std::string(cell.Size->Label) +
               " cell: both must be multiples of " + std::to_string(size) + " m";
    // One spelling per cell: what the grid writes for it.
    const std::string written =
        CellName(cell.Kind, cell.Style, *cell.Size, cell.Easting, cell.Northing);
    if (!pwnet::SameTextAscii(written, Name))
        return "the grid writes this cell as " + written;
    Cell = cell;
    return {};
}

} // namespace quadrel
