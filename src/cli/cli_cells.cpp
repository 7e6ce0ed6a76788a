#include "cli_cells.h"

#include "cell_codes.h"
#include "cell_list.h"
#include "generation_run.h"
#include "lonlat_points.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace quadrel::cli {

namespace {

std::string SystemName(TGridKind Kind) {
    return Kind == gkDKN ? "DKN" : "EuroGrid";
}

TCellCodeStyle CodeStyleOption(const TCliOptions& Options, TGridKind Kind) {
    if (Options.CellCode.empty())
        return TCellCodeStyle::None;
    const std::optional<TCellCodeStyle> style = FindCellCodeStyle(Options.CellCode);
    if (!style || *style == TCellCodeStyle::None)
        throw EUsageError("unknown cell code style \"" + Options.CellCode +
                          "\" (choose eea, inspire or inspire-short)");
    if (Kind != gkEuroGrid)
        throw EUsageError("--cellcode names EuroGrid cells; DKN cells carry their identifiers "
                          "(their parents' with --parents)");
    return *style;
}

std::shared_ptr<const TCellList> ReadListFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw EUsageError("--from-ids: cannot read \"" + Path + "\": " + std::strerror(errno));
    try {
        return std::make_shared<const TCellList>(ReadCellList(in));
    } catch (const ERangeError& e) {
        const std::string_view reason = e.what();
        throw EUsageError("--from-ids " + Path + (reason.starts_with("line ") ? ", " : ": ") +
                          std::string(reason));
    }
}

// The point in grid metres: as given, or from longitude and latitude.
TCornerPoint PointInMetres(const TCliOptions& Options) {
    if (!Options.LonLat)
        return Options.CellAt;
    const TCornerPoint& p = Options.CellAt;
    if (std::fabs(p.X) > 180 || std::fabs(p.Y) > 90)
        throw EUsageError("--cell-at with --lonlat takes a longitude (-180 to 180) and a "
                          "latitude (-90 to 90) in degrees");
    const TLonLatPoints transform(GridEpsg(Options.Grid));
    pwnet::TFloatPoint metres;
    if (!transform.FromLonLat({p.X, p.Y}, metres))
        throw EUsageError("--cell-at: PROJ cannot place that longitude and latitude in EPSG:" +
                          std::to_string(GridEpsg(Options.Grid)));
    return {metres.x, metres.y};
}

std::string Metres(double Value, bool Whole) {
    char text[48];
    if (Whole)
        std::snprintf(text, sizeof text, "%lld", std::llround(Value));
    else
        std::snprintf(text, sizeof text, "%.2f", Value);
    return text;
}

} // namespace

TCornerPoint ParseCellAtPoint(std::string_view Text) {
    // Metres or degrees, as --lonlat says: the message names no unit.
    const std::vector<double> v = ParseNumberList(Text, 2, "--cell-at", "two numbers X,Y", {});
    return {v[0], v[1]};
}

bool CheckCellModeOptions(const TCliOptions& o) {
    if (o.LonLat && !o.HasCellAt)
        throw EUsageError("--lonlat goes with --cell-at");
    if (o.HasCellAt) {
        if (!o.FromIds.empty())
            throw EUsageError("give either --cell-at or --from-ids, not both");
        if (o.Grid == gkNone)
            throw EUsageError("--cell-at needs --grid (dkn or eurogrid)");
        if (!o.Area.empty() || o.HasCorners || o.HasLonLatBox || !o.Output.empty() ||
            !o.Name.empty() || o.DryRun || o.Json || o.Quiet || o.Progress || o.Parents || o.Points)
            throw EUsageError("--cell-at prints the cells at a point and writes nothing: it "
                              "takes --grid, --size, --lonlat and --cellcode only");
        return true;
    }
    if (o.FromIds.empty())
        return false;
    if (!o.Area.empty() || o.HasCorners || o.HasLonLatBox)
        throw EUsageError(
            "--from-ids names the cells to write: leave out --area, --corners and --bbox-lonlat");
    if (o.Output.empty() && !o.DryRun)
        throw EUsageError("missing --output DIR (the folder for the grid files)");
    return true;
}

void ApplyCellOptions(const TCliOptions& Options, TGridState& State) {
    State.CellCode = CodeStyleOption(Options, State.GridKind);
    State.ParentCells = Options.Parents;
    State.CentrePoints = Options.Points;
}

TCliChoice ApplyCellList(const TCliOptions& Options, TGridState& State) {
    const std::shared_ptr<const TCellList> list = ReadListFile(Options.FromIds);
    const TGridSize* size = FindSizeByTag(list->Kind, list->SizeTag);
    if (Options.Grid != gkNone && Options.Grid != list->Kind)
        throw EUsageError("--grid " + std::string(Options.Grid == gkDKN ? "dkn" : "eurogrid") +
                          ", but " + Options.FromIds + " names " + SystemName(list->Kind) +
                          " cells");
    if (!Options.Size.empty() && FindSizeByLabel(list->Kind, Options.Size) != size)
        throw EUsageError("--size " + Options.Size + ", but " + Options.FromIds + " names " +
                          std::string(size->Label) + " cells");

    // A grid over the cells' span, as for --corners; then the cells themselves.
    TCliOptions area = Options;
    area.FromIds.clear();
    area.Grid = list->Kind;
    area.Size = size->Label;
    area.HasCorners = true;
    area.FirstCorner = list->Low;
    area.SecondCorner = list->High;
    const TCliChoice choice = ApplyToGridState(area, State);
    try {
        ChooseListedCells(State, list);
        CheckGridReady(State);
    } catch (const ERangeError& e) {
        throw EUsageError(e.what());
    }
    return choice;
}

void PrintCellsAt(const TCliOptions& Options, std::ostream& Out) {
    const TGridKind kind = Options.Grid;
    const TGridSize* only = nullptr;
    if (!Options.Size.empty() && !(only = FindSizeByLabel(kind, Options.Size))) {
        std::string labels;
        for (const TGridSize& s : GridSizes(kind))
            labels += std::string(labels.empty() ? "" : ", ") + std::string(s.Label);
        throw EUsageError("unknown grid size \"" + Options.Size + "\" for " + SystemName(kind) +
                          " (choose " + labels + ")");
    }
    const TCellCodeStyle style = CodeStyleOption(Options, kind);
    const TCornerPoint p = PointInMetres(Options);
    const std::vector<TCellAt> cells = CellsAt(kind, p.X, p.Y, style, only);
    if (cells.empty())
        throw EUsageError("--cell-at: the point lies beyond the range of cell names (32-bit "
                          "metres from the grid's origin)");
    Out << "Point: " << Metres(p.X, false) << "," << Metres(p.Y, false)
        << " EPSG:" << GridEpsg(kind) << "\n";
    for (const TCellAt& c : cells) {
        Out << c.Size->Label << ":";
        for (const std::string& name : c.Names)
            Out << " " << name;
        Out << " " << Metres(c.LowerLeft.X, true) << "," << Metres(c.LowerLeft.Y, true) << " "
            << Metres(c.UpperRight.X, true) << "," << Metres(c.UpperRight.Y, true);
        if (c.HasPlaceName)
            Out << " \"" << c.PlaceName << "\"";
        Out << "\n";
    }
}

std::string CellUsageHelp() {
    return R"HELP(       quadrel-cli --from-ids FILE [--format FORMAT] --output DIR [...]
       quadrel-cli --cell-at X,Y --grid dkn|eurogrid [--size LABEL] [--lonlat]
)HELP";
}

std::string CellOptionsHelp() {
    return R"HELP(  --cellcode STYLE      EuroGrid: one text field more with each cell's
                        standard code, after the other fields:
                          eea            CELLCODE, e.g. 1kmE4321N3210 (the EEA
                                         reference grid's code)
                          inspire        GRD_ID, e.g.
                                         CRS3035RES1000mN3210000E4321000
                          inspire-short  GRD_ID, e.g. 1kmN3210E4321
  --parents             one text field more per larger standard cell that holds
                        the cell, with that cell's name:
                          DKN       KN1kmDK, KN10kmDK, KN100kmDK (identifiers;
                                    100m, 250m, 500m in 1km; 2km, 5km in 10km)
                          EuroGrid  CC_<size> (GRD_<size> with an INSPIRE
                                    style) for every larger size up to 1000km,
                                    in the cell code's style (default eea)
  --points              write each cell as a point at its centre instead of a
                        square, with the same fields
  --from-ids FILE       write exactly the cells named in FILE, one name a line,
                        in its order, instead of the cells of an area: DKN
                        identifiers (1km_6200_440) or EuroGrid codes in any of
                        the three styles, all of one grid system and size
                        (--grid and --size may be left out). The digits a DKN
                        identifier cuts are zeros for every cell corner, so an
                        identifier names exactly one cell. A name the grid would
                        not write, a second system or size, or a cell named
                        twice stops the tool with the line's number (exit 2)
                        before any file is written.
  --cell-at X,Y         print the cell of each size of --grid (or of --size)
                        that holds the point X,Y in the grid's metres: its
                        name(s) and its lower-left and upper-right corners. A
                        point on a cell line belongs to the cell north and east
                        of it. EuroGrid cells are named by their three codes, or
                        by the --cellcode style's
  --lonlat              --cell-at takes longitude,latitude in WGS 84 / ETRS89
                        degrees, transformed with PROJ
)HELP";
}

std::string CellExamplesHelp() {
    return R"HELP(  quadrel-cli --grid eurogrid --size 1km --cellcode eea --parents \
              --corners 4321000,3210000,4330000,3220000 --output ./eea
  quadrel-cli --grid dkn --size 100m --parents --points --format mif \
              --corners 724000,6175000,726000,6177000 --output ./centres
  quadrel-cli --cell-at 12.5683,55.6761 --lonlat --grid dkn
  quadrel-cli --from-ids cells.txt --output ./selected
)HELP";
}

} // namespace quadrel::cli
