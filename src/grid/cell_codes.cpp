#include "cell_codes.h"

#include "cell_naming.h"
#include "cellenavn.h"
#include "pwnet_functions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace quadrel {

namespace {

// DKN identifiers are stored in text fields of 20 characters; so are their parents'.
constexpr int32_t DKNIdentifierWidth = 20;
// DKN cells nest in the standard cells of these sizes.
constexpr int32_t DKNParentSizes[] = {1000, 10000, 100000};

constexpr std::string_view InspirePrefix = "CRS3035RES";

struct TStyleName {
    TCellCodeStyle Style;
    std::string_view Name;
};
constexpr TStyleName StyleNames[] = {
    {TCellCodeStyle::None, "none"},
    {TCellCodeStyle::EEA, "eea"},
    {TCellCodeStyle::Inspire, "inspire"},
    {TCellCodeStyle::InspireShort, "inspire-short"},
};

void AppendNumber(std::string& Out, int64_t Value) {
    char buffer[24];
    Out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, Value).ptr);
}

bool IsInspire(TCellCodeStyle Style) {
    return Style == TCellCodeStyle::Inspire || Style == TCellCodeStyle::InspireShort;
}

} // namespace

std::string_view CellCodeStyleName(TCellCodeStyle Style) {
    for (const TStyleName& s : StyleNames)
        if (s.Style == Style)
            return s.Name;
    return {};
}

std::optional<TCellCodeStyle> FindCellCodeStyle(std::string_view Name) {
    for (const TStyleName& s : StyleNames)
        if (pwnet::SameTextAscii(s.Name, Name))
            return s.Style;
    return std::nullopt;
}

std::string_view CellCodeField(TCellCodeStyle Style) {
    switch (Style) {
    case TCellCodeStyle::EEA:
        return "CELLCODE";
    case TCellCodeStyle::Inspire:
    case TCellCodeStyle::InspireShort:
        return "GRD_ID";
    default:
        return {};
    }
}

void AppendEuroGridCode(std::string& Out, TCellCodeStyle Style, const TGridSize& Size,
                        int64_t Easting, int64_t Northing) {
    const int64_t size = Size.CellSize;
    switch (Style) {
    case TCellCodeStyle::Inspire:
        Out += InspirePrefix;
        AppendNumber(Out, size);
        Out += "mN";
        AppendNumber(Out, Northing);
        Out += 'E';
        AppendNumber(Out, Easting);
        return;
    case TCellCodeStyle::InspireShort:
        Out += Size.Label;
        Out += 'N';
        AppendNumber(Out, Northing / size);
        Out += 'E';
        AppendNumber(Out, Easting / size);
        return;
    default:
        Out += Size.Label;
        Out += 'E';
        AppendNumber(Out, Easting / size);
        Out += 'N';
        AppendNumber(Out, Northing / size);
        return;
    }
}

std::string EuroGridCode(TCellCodeStyle Style, const TGridSize& Size, int64_t Easting,
                         int64_t Northing) {
    std::string code;
    AppendEuroGridCode(code, Style, Size, Easting, Northing);
    return code;
}

void AppendCellName(std::string& Out, TGridKind Kind, TCellCodeStyle Style, const TGridSize& Size,
                    int64_t Easting, int64_t Northing) {
    if (Kind == gkDKN)
        AppendCellId(Out, Easting, Northing, Size.Label, Size.DroppedDigits);
    else
        AppendEuroGridCode(Out, Style, Size, Easting, Northing);
}

std::string CellName(TGridKind Kind, TCellCodeStyle Style, const TGridSize& Size, int64_t Easting,
                     int64_t Northing) {
    std::string name;
    AppendCellName(name, Kind, Style, Size, Easting, Northing);
    return name;
}

std::vector<const TGridSize*> ParentSizes(TGridKind Kind, const TGridSize& Size) {
    std::vector<const TGridSize*> parents;
    for (const TGridSize& s : GridSizes(Kind)) {
        if (s.CellSize <= Size.CellSize)
            continue;
        if (Kind == gkDKN &&
            std::ranges::find(DKNParentSizes, s.CellSize) == std::end(DKNParentSizes))
            continue;
        parents.push_back(&s);
    }
    std::ranges::sort(parents, {}, &TGridSize::CellSize);
    return parents;
}

std::string ParentField(TGridKind Kind, TCellCodeStyle Style, const TGridSize& ParentSize) {
    if (Kind == gkDKN)
        return DKNFieldName(ParentSize.Label);
    return std::string(IsInspire(Style) ? "GRD_" : "CC_") + std::string(ParentSize.Label);
}

int32_t EuroGridCodeWidth(TCellCodeStyle Style, const TGridSize& CodeSize,
                          const TGridSize& CellSize) {
    // The lowest and the highest origin of the cells, and the cells of CodeSize that
    // hold them: the longest codes have the most digits, east and north alike.
    const int64_t c = CellSize.CellSize;
    const int64_t low = OriginOf(EuroGridOriginMin + c - 1, c);
    const int64_t high = OriginOf(EuroGridOriginMax, c);
    size_t width = 0;
    for (int64_t v : {low, high}) {
        const int64_t origin = OriginOf(v, CodeSize.CellSize);
        width = std::max(width, EuroGridCode(Style, CodeSize, origin, origin).size());
    }
    return static_cast<int32_t>(width);
}

void AppendCodeFields(const TGridState& State, std::vector<TCellField>& Fields) {
    const TGridSize* size = State.Size();
    if (!size || (State.GridKind != gkDKN && State.GridKind != gkEuroGrid))
        return;
    const bool euro = State.GridKind == gkEuroGrid;
    if (euro && State.CellCode != TCellCodeStyle::None)
        Fields.push_back({std::string(CellCodeField(State.CellCode)), false,
                          EuroGridCodeWidth(State.CellCode, *size, *size)});
    if (!State.ParentCells)
        return;
    for (const TGridSize* parent : ParentSizes(State.GridKind, *size))
        Fields.push_back(
            {ParentField(State.GridKind, State.CellCode, *parent), false,
             euro ? EuroGridCodeWidth(State.CellCode, *parent, *size) : DKNIdentifierWidth});
}

TCellCodeTexts::TCellCodeTexts(const TGridState& State) {
    const TGridSize* size = State.Size();
    if (!size || (State.GridKind != gkDKN && State.GridKind != gkEuroGrid))
        return;
    if (State.GridKind == gkEuroGrid && State.CellCode != TCellCodeStyle::None)
        FColumns.push_back({gkEuroGrid, State.CellCode, size});
    if (State.ParentCells)
        for (const TGridSize* parent : ParentSizes(State.GridKind, *size))
            FColumns.push_back({State.GridKind, State.CellCode, parent});
}

void TCellCodeTexts::Append(std::string& Text, int64_t Easting, int64_t Northing) const {
    for (const TColumn& c : FColumns) {
        Text += ",\"";
        AppendCellName(Text, c.Kind, c.Style, *c.Size, OriginOf(Easting, c.Size->CellSize),
                       OriginOf(Northing, c.Size->CellSize));
        Text += '"';
    }
}

std::vector<TCellAt> CellsAt(TGridKind Kind, double X, double Y, TCellCodeStyle Style,
                             const TGridSize* Only) {
    std::vector<TCellAt> cells;
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    for (const TGridSize& size : GridSizes(Kind)) {
        if (Only && Only != &size)
            continue;
        TGridState state;
        state.GridKind = Kind;
        state.SizeTag = size.Tag;
        state.CellSize = size.CellSize;
        const TCornerPoint o = CellOriginAt(state, X, Y);
        if (!(o.X >= low && o.X <= high && o.Y >= low && o.Y <= high))
            return {};
        const auto e = static_cast<int64_t>(o.X), n = static_cast<int64_t>(o.Y);
        TCellAt cell;
        cell.Size = &size;
        cell.LowerLeft = o;
        cell.UpperRight = {o.X + size.CellSize, o.Y + size.CellSize};
        if (Kind == gkDKN) {
            cell.Names.push_back(CellName(Kind, Style, size, e, n));
            cell.HasPlaceName = HasPlaceNames(state);
            if (cell.HasPlaceName)
                cell.PlaceName = PlaceName(static_cast<int32_t>(e), static_cast<int32_t>(n));
        } else if (Style != TCellCodeStyle::None) {
            cell.Names.push_back(EuroGridCode(Style, size, e, n));
        } else {
            for (TCellCodeStyle s :
                 {TCellCodeStyle::EEA, TCellCodeStyle::Inspire, TCellCodeStyle::InspireShort})
                cell.Names.push_back(EuroGridCode(s, size, e, n));
        }
        cells.push_back(std::move(cell));
    }
    return cells;
}

} // namespace quadrel
