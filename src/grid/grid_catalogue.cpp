#include "grid_catalogue.h"

#include <algorithm>

namespace quadrel {

namespace {

constexpr TGridSystem Systems[] = {
    {gkDKN, "DKN1", "DKN (Danske Kvadratnet)", 3},
    {gkEuroGrid, "EuroGrid1", "EuroGrid", 13},
};

// EuroGrid leaves DroppedDigits and OutlineColour untouched, so they are zero here.
constexpr TGridSize EuroGridSizes[] = {
    {"N1meter1", 1, "1 meter", 1, "1m", 0, 0, true},
    {"N10meter1", 4, "10 meter", 10, "10m", 0, 0, true},
    {"N100meter1", 7, "100 meter", 100, "100m", 0, 0, true},
    {"N1kilometer1", 10, "1 km", 1000, "1km", 0, 0, true},
    {"N10kilometer1", 13, "10 km", 10000, "10km", 0, 0, true},
    {"N100kilometer1", 16, "100 km", 100000, "100km", 0, 0, true},
    {"N1000kilometer1", 19, "1000 km", 1000000, "1000km", 0, 0, true},
};

// DroppedDigits is the number of trailing zeros of the cell size, so an identifier
// counts in the largest power of ten that divides the size (250 m cells in tens).
// The 2 km item (Tag 8) stands before the 5 km item (Tag 7) in the menu.
constexpr TGridSize DKNSizes[] = {
    {"N100meter2", 1, "100 meter (hektar)", 100, "100m", 2, 0x0000FF, true},
    {"N250meter1", 2, "250 meter", 250, "250m", 1, 0xFFC000, true},
    {"N1km1", 3, "1 km (basis)", 1000, "1km", 3, 0xFF0000, true},
    {"N10km1", 4, "10 km (stednavne)", 10000, "10km", 4, 0x00FF00, true},
    {"N100km1", 5, "100 km (oversigt)", 100000, "100km", 5, 0xC0C0C0, true},
    {"N500meter1", 6, "500 meter (not standard)", 500, "500m", 2, 0x000000, false},
    {"N2kmnostandard1", 8, "2 km (not standard)", 2000, "2km", 3, 0x000000, false},
    {"N5kmikkestandard1", 7, "5 km (not standard)", 5000, "5km", 3, 0x000000, false},
};

constexpr TFormatItem Formats[] = {
    {"MIF1", ftMIF, "MapInfo MIF"},      {"TAB1", ftTAB, "MapInfo TAB"},
    {"SHP1", ftSHP, "ESRI SHP"},         {"SHP831", ftSHP83, "ESRI SHP, 8+3 filename"},
    {"GPKG1", ftGPKG, "OGC GeoPackage"}, {"GML2121", ftGML, "GML 2.1.2"},
};

constexpr TPresetArea Presets[] = {
    {"All1", "All", {140000, 6020000}, {990000, 6460000}},
    {"Denmarkonly1", "Denmark only", {440000, 6040000}, {900000, 6410000}},
    {"DenmarkonlywithoutBornholm1",
     "Denmark only (without Bornholm)",
     {440000, 6040000},
     {740000, 6410000}},
    {"Bornholm1", "Bornholm", {860000, 6100000}, {900000, 6150000}},
};

bool SameIgnoringAsciiCase(std::string_view A, std::string_view B) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                              [&](char a, char b) { return lower(a) == lower(b); });
}

} // namespace

std::span<const TGridSystem> GridSystems() {
    return Systems;
}

const TGridSystem* FindGridSystem(TGridKind Kind) {
    for (const auto& s : Systems)
        if (s.Kind == Kind)
            return &s;
    return nullptr;
}

std::span<const TGridSize> GridSizes(TGridKind Kind) {
    switch (Kind) {
    case gkEuroGrid:
        return EuroGridSizes;
    case gkDKN:
        return DKNSizes;
    default:
        return {};
    }
}

const TGridSize* FindSizeByTag(TGridKind Kind, int32_t Tag) {
    for (const auto& s : GridSizes(Kind))
        if (s.Tag == Tag)
            return &s;
    return nullptr;
}

const TGridSize* FindSizeByLabel(TGridKind Kind, std::string_view Label) {
    for (const auto& s : GridSizes(Kind))
        if (SameIgnoringAsciiCase(s.Label, Label))
            return &s;
    return nullptr;
}

int32_t DefaultSizeTag(TGridKind Kind) {
    const TGridSystem* s = FindGridSystem(Kind);
    return s ? s->DefaultSizeTag : 0;
}

std::string MakeFilePrefix(TGridKind Kind, const TGridSize& Size, bool ShortName) {
    std::string prefix;
    if (Kind == gkEuroGrid) {
        prefix = ShortName ? "EG" : "EuroGrid_";
        prefix += Size.Label;
    } else {
        prefix = ShortName ? "KN_" : "DKN_";
        prefix += Size.Label;
        if (!ShortName)
            prefix += "_euref89";
    }
    return prefix;
}

std::span<const TFormatItem> FormatItems() {
    return Formats;
}

const TFormatItem* FindFormatByTag(int32_t Tag) {
    for (const auto& f : Formats)
        if (f.Tag == Tag)
            return &f;
    return nullptr;
}

bool IsOutputFormatTag(int32_t Tag) {
    return FindFormatByTag(Tag) || Tag == ftCSV || Tag == ftKML || Tag == ftGeoJSON;
}

bool FormatItemShown(TGridKind Kind, int32_t Tag) {
    if (Kind != gkEuroGrid && Kind != gkDKN)
        return false;
    switch (Tag) {
    case ftMIF:
    case ftSHP:
    case ftSHP83:
    case ftGPKG:
        return true;
    case ftTAB:
        return Kind == gkDKN;
    default:
        return false; // GML is reachable only through the run's own mapping
    }
}

std::span<const TPresetArea> PresetAreas() {
    return Presets;
}

const TPresetArea* FindPresetByCaption(std::string_view Caption) {
    for (const auto& p : Presets)
        if (SameIgnoringAsciiCase(p.Caption, Caption))
            return &p;
    return nullptr;
}

} // namespace quadrel
