#pragma once
// The grid catalogue: the two grid systems, their cell sizes as the "Grid size"
// menus list them, the output-format items and the preset areas of Denmark. All
// of it is constant; the grid state (grid_state.h) picks from it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quadrel {

// The grid system. The integers are part of the interface (0 none, 1 EuroGrid, 2 DKN).
enum TGridKind : int32_t {
    gkNone = 0,
    gkEuroGrid = 1, // ETRS89 / LAEA (EPSG:3035), 1 m to 1000 km
    gkDKN = 2,      // Danske Kvadratnet, ETRS89 / UTM zone 32N (EPSG:25832)
};

// The Tags of the "File format" items, the values of OutputFormatTag. ftCSV, ftKML
// and ftGeoJSON have no menu item: only quadrel-cli's --format chooses them.
enum TOutputFormatTag : int32_t {
    ftMIF = 0,     // "MapInfo MIF"
    ftSHP = 1,     // "ESRI SHP"
    ftTAB = 2,     // "MapInfo TAB"
    ftGML = 3,     // "GML 2.1.2"
    ftSHP83 = 4,   // "ESRI SHP, 8+3 filename": a shapefile whose names have at most 8 characters
    ftCSV = 5,     // CSV: the cells' names only
    ftKML = 6,     // KML, in WGS 84 longitude and latitude
    ftGeoJSON = 7, // GeoJSON
    ftGPKG = 8,    // "OGC GeoPackage"
};

// A point in metres of the grid system's projection (X easting, Y northing).
struct TCornerPoint {
    double X = 0;
    double Y = 0;
    friend bool operator==(const TCornerPoint&, const TCornerPoint&) = default;
};

// One item of a "Grid size" menu.
struct TGridSize {
    std::string_view ItemName; // the menu item's component name, e.g. "N1km1"
    int32_t Tag;               // becomes SizeTag; unique within one grid system only
    std::string_view Caption;  // menu caption
    int32_t CellSize;          // edge length of a cell in metres
    std::string_view Label;    // "1km": file prefix, cell identifiers, DKN field name
    int32_t DroppedDigits;     // DKN: trailing digits cut from the identifier's numbers
    uint32_t OutlineColour;    // DKN: pen colour of the cell outlines, 0xRRGGBB
    bool Standard;             // DKN: false for the sizes after the menu's separator
};

// One grid system of the "Grid" menu.
struct TGridSystem {
    TGridKind Kind;
    std::string_view ItemName;
    std::string_view Caption;
    int32_t DefaultSizeTag; // the size chosen along with the system
};

// One item of the "File format" menu.
struct TFormatItem {
    std::string_view ItemName;
    int32_t Tag;
    std::string_view Caption;
};

// One preset area of the DKN "Grid size" menu; corners in UTM zone 32N metres.
struct TPresetArea {
    std::string_view ItemName;
    std::string_view Caption;
    TCornerPoint FirstCorner;
    TCornerPoint SecondCorner;
};

// The two grid systems in the order of the "Grid" menu (DKN first).
std::span<const TGridSystem> GridSystems();
// The system of Kind, or nullptr for gkNone and any other value.
const TGridSystem* FindGridSystem(TGridKind Kind);

// The sizes of one grid system in menu order; empty for gkNone.
std::span<const TGridSize> GridSizes(TGridKind Kind);
// The size of Kind with this Tag, or nullptr.
const TGridSize* FindSizeByTag(TGridKind Kind, int32_t Tag);
// The size of Kind with this label ("1km", "100m", ...; ASCII case ignored), or nullptr.
const TGridSize* FindSizeByLabel(TGridKind Kind, std::string_view Label);
// The size chosen with the grid system: EuroGrid "10 km" (13), DKN "1 km (basis)" (3); 0 for none.
int32_t DefaultSizeTag(TGridKind Kind);

// The base name of every output file of a grid of this size: "DKN_1km_euref89" or
// "EuroGrid_10km", or with ShortName (the 8+3 format item) "KN_1km" or "EG10km",
// which never exceed eight characters.
std::string MakeFilePrefix(TGridKind Kind, const TGridSize& Size, bool ShortName);

// The "File format" items in menu order.
std::span<const TFormatItem> FormatItems();
// The item with this Tag, or nullptr.
const TFormatItem* FindFormatByTag(int32_t Tag);
// Whether Tag chooses an output format: a "File format" item's, or one of the
// formats without a menu item (ftCSV, ftKML, ftGeoJSON).
bool IsOutputFormatTag(int32_t Tag);
// Whether the menu shows the format item under this grid system ("File format" is
// hidden without a grid, "MapInfo TAB" only shows for DKN, "GML 2.1.2" never shows,
// the others show for both systems).
// Whether TAB is also enabled depends on its library and is the window's business.
bool FormatItemShown(TGridKind Kind, int32_t Tag);

// The four preset areas in menu order.
std::span<const TPresetArea> PresetAreas();
// The preset with this caption ("Denmark only"; ASCII case ignored), or nullptr.
const TPresetArea* FindPresetByCaption(std::string_view Caption);

} // namespace quadrel
