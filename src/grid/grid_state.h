#pragma once
// The grid state: which grid is to be made (grid system, cell size and what
// follows from it, output format) and the area to cover, two raw corners snapped
// outwards to whole cells. The window's commands and the command-line tool change
// it only through the operations below; the generation run, the cell names and the
// side files read it.

#include "grid_catalogue.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quadrel {

// The standard code a EuroGrid cell carries besides its origins (cell_codes.h).
enum class TCellCodeStyle : int32_t {
    None = 0,         // the origins only
    EEA = 1,          // CELLCODE: 1kmE4321N3210
    Inspire = 2,      // GRD_ID: CRS3035RES1000mN3210000E4321000
    InspireShort = 3, // GRD_ID: 1kmN3210E4321
};

struct TCellList; // cell_list.h
struct TArea;     // area.h

// The snapped extent: lower-left (X1, Y1), upper-right (X2, Y2), and the number of
// cell columns and rows.
struct TGridExtent {
    double X1 = 0;
    double Y1 = 0;
    double X2 = 0;
    double Y2 = 0;
    int32_t CellsX = 0;
    int32_t CellsY = 0;
    friend bool operator==(const TGridExtent&, const TGridExtent&) = default;
};

// Snaps the rectangle spanned by two corners (in any order) outwards to whole cells
// of CellSize metres. The lower-left corner is cut toward zero to a cell line; the
// upper-right one is raised to the next cell line unless it lies less than a
// thousandth of a cell beyond the last one. Raises ERangeError when CellSize is not
// positive, a corner is not a finite number within +-1e15 m, or a cell count would
// not fit in 32 bits.
TGridExtent SnapExtent(const TCornerPoint& First, const TCornerPoint& Second, int32_t CellSize);

// The six status-bar texts of an extent: "X1: 440000", "Y1: ...", "X2: ...",
// "Y2: ...", "Cells X: ...", "Cells Y: ...".
std::array<std::string, 6> StatusTexts(const TGridExtent& Extent);

class TGridState {
public:
    // The state after start-up: no grid system, no size, corners unset, and
    // "ESRI SHP" as the chosen format.
    TGridState() = default;

    TGridKind GridKind = gkNone;
    int32_t SizeTag = 0;             // Tag of the chosen size item of GridKind's menu
    int32_t OutputFormatTag = ftSHP; // Tag of the chosen "File format" item
    int32_t CellSize = 0;            // metres
    std::string SizeLabel;           // DKN: "1km", used in identifiers and field names
    int32_t DroppedDigits = 0;       // DKN: digits cut from an identifier's numbers
    std::string FilePrefix;          // base name of every output file
    uint32_t OutlineColour = 0;      // DKN: 0xRRGGBB
    TCornerPoint FirstCorner;        // raw corners; an X of exactly 0 means "not set"
    TCornerPoint SecondCorner;
    TGridExtent GridExtent; // the corners snapped to whole cells
    // Whether the extent is shown (status bar and rectangle) and "GO !" enabled.
    bool ExtentShown = false;
    // The area the grid is cut to, or none: every cell of the extent is written (see
    // area_cells.h). Its rings are in the grid system's metres, so choosing another
    // grid system drops it.
    std::shared_ptr<const TArea> Area;

    // What each cell carries and how it is drawn; the defaults write today's grid.
    TCellCodeStyle CellCode = TCellCodeStyle::None; // EuroGrid: one code field more
    bool ParentCells = false;  // one field per larger standard cell holding the cell
    bool CentrePoints = false; // each cell as a point at its centre, not a square
    // The cells of a list (quadrel-cli --from-ids) in its order instead of every cell
    // of the extent, which then spans them (ChooseListedCells). Null: the extent's cells.
    std::shared_ptr<const TCellList> ListedCells;

    // Called each time the snapped extent is to be shown: the window sets the six
    // status-bar panels from StatusTexts(GridExtent), draws the rectangle and enables
    // "GO !". Not called while a corner is unset.
    std::function<void(const TGridState&)> OnShowExtent;

    // Chooses a grid system: closes the current grid, sets GridKind, falls back to
    // "MapInfo MIF" when the chosen format's item is hidden under the new system
    // (TAB or GML under EuroGrid, GML under DKN), then chooses the system's default
    // size, which re-snaps the kept corners. An area in another system's metres is
    // dropped. gkNone just closes the grid.
    void ChooseGridKind(TGridKind Kind);
    // "Close grid": no grid system, extent no longer shown. Corners, size and format
    // are kept, so the next grid system snaps the same corners in its own cells.
    void CloseGrid();
    // Chooses a "File format" item, or a format without one (IsOutputFormatTag).
    // FilePrefix follows the 8+3 item only at the next size or grid-system choice.
    // Raises ERangeError for an unknown Tag.
    void ChooseFormat(int32_t Tag);
    // Chooses the size with this Tag from the current grid system's menu: sets
    // SizeTag, FilePrefix (short when "ESRI SHP, 8+3 filename" is the chosen format
    // now) and CellSize, and for DKN also SizeLabel, DroppedDigits and OutlineColour;
    // then re-snaps. Raises ERangeError, changing nothing, when the system has no
    // such size (or no system is chosen).
    void ChooseSize(int32_t Tag);

    // A click in the map pane (left button: first corner, other buttons: second),
    // each followed by a re-snap.
    void SetFirstCorner(const TCornerPoint& P);
    void SetSecondCorner(const TCornerPoint& P);
    // Sets both corners at once and re-snaps once (presets, --corners).
    void SetCorners(const TCornerPoint& First, const TCornerPoint& Second);
    // A preset area. Raises ERangeError, changing nothing, unless GridKind is DKN:
    // the presets are UTM zone 32N coordinates.
    void ChoosePreset(const TPresetArea& Area);

    // Snaps the corners to GridExtent; when both corners are set, marks the extent
    // shown and calls OnShowExtent. Does nothing before a size has been chosen.
    // Raises ERangeError when the corners cannot be snapped (see SnapExtent).
    void newxyfactor();

    // Both corners set: neither X is exactly 0.0 (a Y of 0.0 counts as set).
    bool CornersSet() const { return FirstCorner.X != 0.0 && SecondCorner.X != 0.0; }
    // Whether output files get names of at most eight characters.
    bool ShortFileNames() const { return OutputFormatTag == ftSHP83; }
    // The chosen size's catalogue entry, or nullptr.
    const TGridSize* Size() const { return FindSizeByTag(GridKind, SizeTag); }
};

// The process-wide grid state of the desktop program.
TGridState& GridState();

} // namespace quadrel
