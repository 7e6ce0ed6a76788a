#pragma once
// Place names of the Danish 10 km cells ("Stednavn"), the second attribute of a
// DKN grid of 10 km cells.

#include <cstdint>
#include <span>
#include <string_view>

namespace quadrel {

// One gazetteer entry: the lower-left corner of a 10 km cell in ETRS89 / UTM zone
// 32N metres and the UTF-8 name of a town or village in it.
struct TPlaceEntry {
    int32_t Easting;
    int32_t Northing;
    std::string_view Name;
};

// All entries, sorted by easting and, within one easting, by northing.
std::span<const TPlaceEntry> Gazetteer();

// The name stored for exactly this corner, or an empty text when the gazetteer has
// none (sea cells, cells outside Denmark, corners that are not cell corners).
// Easting first. The text is static and stays valid for the life of the process.
std::string_view PlaceName(int32_t Easting, int32_t Northing);

} // namespace quadrel
