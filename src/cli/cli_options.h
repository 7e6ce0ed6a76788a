#pragma once
// quadrel-cli's command line: the options, their parsing, and how they set the
// grid state (grid system, format, size, area, in the order the window's commands
// would set them).

#include "errors.h"
#include "grid_state.h"
#include "lonlat_box.h"
#include "run_formats.h"

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel::cli {

// A command line the tool cannot follow; the message is the one-line reason.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

struct TCliOptions {
    bool Help = false;
    TGridKind Grid = gkNone;
    std::string Size; // a size label; empty: the grid system's default size
    std::string Area; // a DKN preset caption, or a built-in area ("Denmark land")
    bool HasCorners = false;
    TCornerPoint FirstCorner, SecondCorner;
    std::string Format = "shp";
    std::string Output; // the output folder
    bool Yes = false;
    bool DryRun = false;
    bool Version = false;
    std::string Name; // --name: the files' base name; empty: the grid's own
    bool HasLonLatBox = false;
    TLonLatBox LonLatBox; // --bbox-lonlat
    bool Quiet = false;
    bool Progress = false;
    bool Json = false;
    // What the cells carry and how they are drawn (cli_cells.h).
    std::string CellCode; // --cellcode: a style name; empty: none
    bool Parents = false;
    bool Points = false;
    // The look-up modes: the cells at a point, the cells of a list of names.
    bool HasCellAt = false;
    TCornerPoint CellAt;
    bool LonLat = false;
    std::string FromIds; // the file of names
    // The area the grid is cut to (cli_area.h): a polygon layer of a file, and a
    // buffer around it or around a built-in area.
    std::string Within;
    std::string WithinLayer;
    double Buffer = 0;
    bool HasBuffer = false;
};

// Parses the arguments after the program name. "--name value" and "--name=value"
// are both accepted. Raises EUsageError for an unknown option, a missing value, a
// value that cannot be read, or a missing or contradictory choice.
TCliOptions ParseCommandLine(std::span<const std::string_view> Args);

// Text as Count numbers separated by commas, spaces around them allowed. Raises
// EUsageError "<Option> takes <Usage>" unless there are exactly Count of them, and
// "<Option>: "x" is not a number of <Unit>" for one that is not a finite number
// (without " of <Unit>" when Unit is empty).
std::vector<double> ParseNumberList(std::string_view Text, size_t Count, std::string_view Option,
                                    std::string_view Usage, std::string_view Unit);

// "1,2,3,4" -> two corners; spaces around the numbers are allowed. Raises
// EUsageError unless there are exactly four finite numbers.
void ParseCorners(std::string_view Text, TCornerPoint& First, TCornerPoint& Second);

// The grid state holds an X of exactly 0 for "corner not set". A corner given with
// X = 0 is moved to this X instead, which snaps to the same cell line whatever the
// cell size (it lies less than a thousandth of a 1 m cell east of 0).
inline constexpr double ZeroCornerX = 1e-6;

// What the command line chose.
struct TCliChoice {
    TResolvedFormat Format;               // the format asked for and the one really written
    std::vector<std::string> AreaNotices; // what reading the area noticed
};

// Sets State from the options: grid system, then format, then size (so that the
// file names follow shp83), then the area. Raises EUsageError for an unknown size,
// format or area, a preset for EuroGrid, or an area the grid cannot be made of.
TCliChoice ApplyToGridState(const TCliOptions& Options, TGridState& State);

// One line for each format substitution of Choice ("MapInfo TAB needs ..."); none
// when the chosen format is written as asked.
std::string FormatNotice(const TCliChoice& Choice);

// The --help text.
std::string HelpText();
// The --version text: the program's name and version, as the about box shows it.
std::string VersionText();

} // namespace quadrel::cli
