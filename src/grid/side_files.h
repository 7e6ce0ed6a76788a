#pragma once
// The side files of a shapefile grid: the projection file (".prj", one line of
// ESRI WKT with no line end) and, for DKN, an ArcView legend (".avl") that draws
// the cells in the colours of their size. Both are plain ASCII.

#include "grid_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quadrel {

// The projection text: ETRS89 / LAEA for EuroGrid, ETRS89 / UTM zone 32N for any
// other grid kind (that is, DKN).
std::string_view PrjText(TGridKind Kind);

// The legend text for a DKN size tag (1 to 8): lines ending in CR LF, the last one
// included; a colour line whose component is 0x0000 is left out. Raises
// ERangeError for any other tag.
std::string AvlText(int32_t SizeTag);

// Write Path + ".prj" / Path + ".avl", created anew or replacing an earlier file of
// that name, which stays as it was until the new one is complete (the file is written
// under a temporary name beside it, output_files.h). A file that cannot be created or
// written raises EInOutError naming the file and the system's reason.
void WritePrjFile(const std::string& Path, TGridKind Kind);
void WriteAvlFile(const std::string& Path, int32_t SizeTag);

// The same for the grid kind and size of a grid state.
inline void WritePrjFile(const TGridState& State, const std::string& Path) {
    WritePrjFile(Path, State.GridKind);
}
inline void WriteAvlFile(const TGridState& State, const std::string& Path) {
    WriteAvlFile(Path, State.SizeTag);
}

} // namespace quadrel
