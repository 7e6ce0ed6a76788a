#include "cli_options.h"

#include "cli_area.h"
#include "cli_cells.h"
#include "format_names.h"
#include "generation_run.h"
#include "grid_files.h"
#include "program_version.h"
#include "pwnet_functions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

namespace quadrel::cli {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string FormatNames() {
    std::string names;
    for (const auto& f : RunFormats())
        names += std::string(names.empty() ? "" : ", ") + std::string(f.Name);
    return names;
}

std::string SizeLabels(TGridKind Kind) {
    std::string labels;
    for (const auto& s : GridSizes(Kind))
        labels += std::string(labels.empty() ? "" : ", ") + std::string(s.Label);
    return labels;
}

std::string PresetCaptions() {
    std::string captions;
    for (const auto& p : PresetAreas())
        captions += std::string(captions.empty() ? "\"" : ", \"") + std::string(p.Caption) + "\"";
    return captions;
}

TGridKind ParseGrid(std::string_view Value) {
    if (pwnet::SameTextAscii(Value, "dkn"))
        return gkDKN;
    if (pwnet::SameTextAscii(Value, "eurogrid"))
        return gkEuroGrid;
    throw EUsageError("unknown grid system \"" + std::string(Value) +
                      "\" (choose dkn or eurogrid)");
}

double ParseNumber(std::string_view Text, std::string_view Option, std::string_view Unit) {
    Text = Trim(Text);
    if (!Text.empty() && Text.front() == '+')
        Text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (Text.empty() || ec != std::errc() || end != Text.data() + Text.size() ||
        !std::isfinite(value))
        throw EUsageError(std::string(Option) + ": \"" + std::string(Text) + "\" is not a number" +
                          (Unit.empty() ? std::string() : " of " + std::string(Unit)));
    return value;
}

} // namespace

std::vector<double> ParseNumberList(std::string_view Text, size_t Count, std::string_view Option,
                                    std::string_view Usage, std::string_view Unit) {
    const std::string takes = std::string(Option) + " takes " + std::string(Usage);
    std::vector<double> values;
    for (;;) {
        const size_t comma = Text.find(',');
        if (values.size() == Count)
            throw EUsageError(takes);
        values.push_back(ParseNumber(Text.substr(0, comma), Option, Unit));
        if (comma == std::string_view::npos)
            break;
        Text.remove_prefix(comma + 1);
    }
    if (values.size() != Count)
        throw EUsageError(takes);
    return values;
}

void ParseCorners(std::string_view Text, TCornerPoint& First, TCornerPoint& Second) {
    const std::vector<double> v =
        ParseNumberList(Text, 4, "--corners", "four numbers X1,Y1,X2,Y2", "metres");
    First = {v[0], v[1]};
    Second = {v[2], v[3]};
}

namespace {

// One option of the command line. A new option is one row here (and its lines in
// HelpText): its long name, its one-letter short name or 0, whether it takes a
// value, and what it sets.
struct TOptionSpec {
    std::string_view Long;
    char Short;
    bool TakesValue;
    void (*Apply)(TCliOptions& Options, std::string_view Value);
};

constexpr TOptionSpec Options[] = {
    {"--grid", 'g', true, [](TCliOptions& o, std::string_view v) { o.Grid = ParseGrid(v); }},
    {"--size", 's', true, [](TCliOptions& o, std::string_view v) { o.Size = v; }},
    {"--area", 'a', true, [](TCliOptions& o, std::string_view v) { o.Area = v; }},
    {"--corners", 'c', true,
     [](TCliOptions& o, std::string_view v) {
         ParseCorners(v, o.FirstCorner, o.SecondCorner);
         o.HasCorners = true;
     }},
    {"--format", 'f', true, [](TCliOptions& o, std::string_view v) { o.Format = v; }},
    // The folder is taken as given: a name may begin or end with blanks.
    {"--output", 'o', true, [](TCliOptions& o, std::string_view v) { o.Output = v; }},
    {"--yes", 'y', false, [](TCliOptions& o, std::string_view) { o.Yes = true; }},
    {"--dry-run", 'n', false, [](TCliOptions& o, std::string_view) { o.DryRun = true; }},
    {"--within", 'w', true, [](TCliOptions& o, std::string_view v) { o.Within = v; }},
    {"--within-layer", 0, true, [](TCliOptions& o, std::string_view v) { o.WithinLayer = v; }},
    {"--buffer", 0, true,
     [](TCliOptions& o, std::string_view v) {
         o.Buffer = ParseBuffer(v);
         o.HasBuffer = true;
     }},
    {"--cellcode", 0, true, [](TCliOptions& o, std::string_view v) { o.CellCode = v; }},
    {"--parents", 0, false, [](TCliOptions& o, std::string_view) { o.Parents = true; }},
    {"--points", 0, false, [](TCliOptions& o, std::string_view) { o.Points = true; }},
    {"--cell-at", 0, true,
     [](TCliOptions& o, std::string_view v) {
         o.CellAt = ParseCellAtPoint(v);
         o.HasCellAt = true;
     }},
    {"--lonlat", 0, false, [](TCliOptions& o, std::string_view) { o.LonLat = true; }},
    {"--from-ids", 0, true, [](TCliOptions& o, std::string_view v) { o.FromIds = v; }},
    {"--help", 'h', false, [](TCliOptions& o, std::string_view) { o.Help = true; }},
    {"--version", 0, false, [](TCliOptions& o, std::string_view) { o.Version = true; }},
    {"--name", 0, true, [](TCliOptions& o, std::string_view v) { o.Name = v; }},
    {"--bbox-lonlat", 0, true,
     [](TCliOptions& o, std::string_view v) {
         o.LonLatBox = ParseLonLatBox(v);
         o.HasLonLatBox = true;
     }},
    {"--quiet", 'q', false, [](TCliOptions& o, std::string_view) { o.Quiet = true; }},
    {"--progress", 0, false, [](TCliOptions& o, std::string_view) { o.Progress = true; }},
    {"--json", 0, false, [](TCliOptions& o, std::string_view) { o.Json = true; }},
};

const TOptionSpec* FindLongOption(std::string_view Name) {
    for (const TOptionSpec& spec : Options)
        if (spec.Long == Name)
            return &spec;
    return nullptr;
}

const TOptionSpec* FindShortOption(char Name) {
    for (const TOptionSpec& spec : Options)
        if (spec.Short != 0 && spec.Short == Name)
            return &spec;
    return nullptr;
}

// Walks the arguments: "--name value", "--name=value", "-n value", "-nvalue" and
// bundled short flags ("-yn"). Every option counts under its long name, so "-g"
// after "--grid" is given twice.
class TArgumentReader {
public:
    TArgumentReader(std::span<const std::string_view> Args, TCliOptions& Result)
        : FArgs(Args), FResult(Result) {}

    // False once --help or --version has been seen: the rest of the line is not read.
    bool ReadAll() {
        for (FIndex = 0; FIndex < FArgs.size(); ++FIndex) {
            const std::string_view arg = FArgs[FIndex];
            if (arg.starts_with("--"))
                ReadLong(arg);
            else if (arg.size() >= 2 && arg[0] == '-')
                ReadShort(arg.substr(1));
            else
                throw EUsageError("unexpected argument \"" + std::string(arg) + "\"");
            if (FResult.Help || FResult.Version)
                return false;
        }
        return true;
    }

private:
    void ReadLong(std::string_view Arg) {
        std::string_view name = Arg;
        std::optional<std::string_view> value;
        if (const size_t eq = Arg.find('='); eq != std::string_view::npos) {
            name = Arg.substr(0, eq);
            value = Arg.substr(eq + 1);
        }
        const TOptionSpec* spec = FindLongOption(name);
        if (!spec)
            throw EUsageError("unknown option \"" + std::string(name) + "\"");
        if (!spec->TakesValue && value)
            throw EUsageError(std::string(name) + " takes no value");
        Apply(*spec, value);
    }

    void ReadShort(std::string_view Letters) {
        for (size_t k = 0; k < Letters.size(); ++k) {
            const TOptionSpec* spec = FindShortOption(Letters[k]);
            if (!spec)
                throw EUsageError("unknown option \"-" + std::string(1, Letters[k]) + "\"");
            if (spec->TakesValue) {
                const std::string_view rest = Letters.substr(k + 1);
                Apply(*spec, rest.empty() ? std::nullopt : std::optional(rest));
                return;
            }
            Apply(*spec, std::nullopt);
            if (FResult.Help)
                return;
        }
    }

    // Value: the text after "=" or the short option's letter, if any.
    void Apply(const TOptionSpec& Spec, std::optional<std::string_view> Value) {
        if (!FSeen.insert(Spec.Long).second)
            throw EUsageError(std::string(Spec.Long) + " is given more than once");
        if (Spec.TakesValue && !Value) {
            if (FIndex + 1 >= FArgs.size())
                throw EUsageError(std::string(Spec.Long) + " needs a value");
            Value = FArgs[++FIndex];
        }
        if (Spec.TakesValue && Trim(*Value).empty())
            throw EUsageError(std::string(Spec.Long) + " needs a value");
        // Names and labels are read without the blanks around them, paths as given.
        const bool path = Spec.Long == "--output" || Spec.Long == "--within";
        Spec.Apply(FResult, path || !Value ? Value.value_or("") : Trim(*Value));
    }

    std::span<const std::string_view> FArgs;
    TCliOptions& FResult;
    size_t FIndex = 0;
    std::set<std::string_view> FSeen;
};

} // namespace

TCliOptions ParseCommandLine(std::span<const std::string_view> Args) {
    TCliOptions o;
    if (!TArgumentReader(Args, o).ReadAll())
        return o;
    if (o.Quiet && o.Progress)
        throw EUsageError("give either --quiet or --progress, not both");
    if (!o.Name.empty())
        CheckFilePrefix(o.Name, false);
    CheckAreaOptions(o);
    if (CheckCellModeOptions(o))
        return o;
    if (o.Grid == gkNone)
        throw EUsageError("missing --grid (dkn or eurogrid)");
    if (o.HasCorners && !o.Area.empty() && !IsBuiltInArea(o)) // a built-in area may be cut
        throw EUsageError("give either --area or --corners, not both");
    if (o.HasLonLatBox && (o.HasCorners || (!o.Area.empty() && !IsBuiltInArea(o))))
        throw EUsageError(std::string("give either ") + (o.HasCorners ? "--corners" : "--area") +
                          " or --bbox-lonlat, not both");
    if (!o.HasCorners && o.Area.empty() && !o.HasLonLatBox && o.Within.empty())
        throw EUsageError("missing area: give --area NAME or --corners X1,Y1,X2,Y2");
    if (o.Output.empty() && !o.DryRun)
        throw EUsageError("missing --output DIR (the folder for the grid files)");
    return o;
}

TCliChoice ApplyToGridState(const TCliOptions& Options, TGridState& State) {
    if (!Options.FromIds.empty())
        return ApplyCellList(Options, State);
    const TGridKind kind = Options.Grid;
    TCliChoice choice{};
    int32_t formatTag = ftSHP;
    if (const TRunFormat* row = FindCliFormat(Options.Format))
        formatTag = row->Tag;
    else
        throw EUsageError("unknown format \"" + Options.Format + "\" (choose " + FormatNames() +
                          ")");

    int32_t sizeTag = DefaultSizeTag(kind);
    if (!Options.Size.empty()) {
        const TGridSize* size = FindSizeByLabel(kind, Options.Size);
        if (!size)
            throw EUsageError("unknown grid size \"" + Options.Size + "\" for " +
                              (kind == gkDKN ? "DKN" : "EuroGrid") + " (choose " +
                              SizeLabels(kind) + ")");
        sizeTag = size->Tag;
    }

    const TPresetArea* preset = nullptr;
    if (!Options.Area.empty()) {
        if (kind != gkDKN)
            throw EUsageError("--area takes the preset areas of Denmark, which belong to DKN; give "
                              "EuroGrid's area with --corners X1,Y1,X2,Y2");
        preset = FindPresetByCaption(Options.Area);
        if (!preset && !IsBuiltInArea(Options))
            throw EUsageError("unknown area \"" + Options.Area + "\" (choose " + PresetCaptions() +
                              ")");
    }

    // The order of the window's commands: grid system, format, size, area.
    try {
        State.ChooseGridKind(kind);
        State.ChooseFormat(formatTag);
        State.ChooseSize(sizeTag);
        ApplyCellOptions(Options, State);
        if (preset)
            State.ChoosePreset(*preset);
        else if (Options.HasCorners || Options.HasLonLatBox) {
            TCornerPoint first = Options.FirstCorner, second = Options.SecondCorner;
            if (Options.HasLonLatBox)
                LonLatBoxCorners(kind, Options.LonLatBox, first, second);
            auto set = [](TCornerPoint p) {
                if (p.X == 0.0)
                    p.X = ZeroCornerX;
                return p;
            };
            State.SetCorners(set(first), set(second));
        }
        if (!Options.Name.empty()) {
            CheckFilePrefix(Options.Name, State.ShortFileNames());
            State.FilePrefix = Options.Name;
        }
        choice.AreaNotices =
            ApplyAreaOptions(Options, State, preset || Options.HasCorners || Options.HasLonLatBox);
        CheckGridReady(State);
    } catch (const ERangeError& e) {
        throw EUsageError(e.what());
    }
    choice.Format = ResolveRunFormat(formatTag);
    return choice;
}

std::string FormatNotice(const TCliChoice& Choice) {
    if (!Choice.Format.FellBack())
        return {};
    if (Choice.Format.Requested->Writer == pwnet::gfMITAB)
        return "MapInfo TAB needs the MITAB library, which could not be loaded; writing MapInfo "
               "MIF/MID instead";
    return "no " + std::string(Choice.Format.Requested->Caption) +
           " writer is available yet; writing MapInfo MIF/MID instead";
}

std::string HelpText() {
    // The format lines, and which of them this build writes as MIF/MID instead.
    std::string formats, missing;
    auto line = [&](std::string_view Name, std::string_view Text, bool Available) {
        std::string l = "                          " + std::string(Name);
        l.resize(35, ' ');
        formats += l + std::string(Text) + "\n";
        if (!Available)
            missing += std::string(missing.empty() ? "" : ", ") + std::string(Name);
    };
    auto available = [](int32_t Tag) { return !ResolveRunFormat(Tag).FellBack(); };
    line("shp",
         "ESRI shapefile (.shp .shx .dbf .cpg) with a\n"
         "                                   .prj and, for DKN, an .avl legend (default)",
         true);
    line("shp83", "the same, file names of at most 8 characters", true);
    line("mif", "MapInfo MIF/MID", available(ftMIF));
    line("tab", "MapInfo TAB", available(ftTAB));
    line("gml",
         "GML 2.1.2 (.xml) with its schema (.xsd),\n"
         "                                   srsName EPSG:25832 or EPSG:3035",
         available(ftGML));
    line("csv", "the cells' names only (.csv), no geometry", available(ftCSV));
    line("kml",
         "KML (.kml): the cells in WGS 84 longitude and\n"
         "                                   latitude, named in grid metres",
         available(ftKML));
    line("geojson", "GeoJSON (.geojson) with the EPSG code as crs", available(ftGeoJSON));
    line("gpkg",
         "OGC GeoPackage (.gpkg): one file with the\n"
         "                                   grid's system, spatial index and QGIS style",
         available(ftGPKG));
    if (!missing.empty())
        formats += "                        Not in this build, so written as MapInfo MIF/MID:\n"
                   "                          " +
                   missing + "\n";

    return R"HELP(Usage: quadrel-cli --grid dkn|eurogrid [--size LABEL]
                   (--area NAME | --corners X1,Y1,X2,Y2 |
                    --bbox-lonlat W,S,E,N | --within FILE)
                   [--within-layer NAME] [--buffer METRES]
                   [--format FORMAT] [--name PREFIX] --output DIR [--yes]
                   [--dry-run] [--quiet | --progress] [--json]
                   [--cellcode STYLE] [--parents] [--points]
)HELP" + CellUsageHelp() +
           R"HELP(       quadrel-cli --help | --version

Makes a standard square reference grid as a vector GIS file: one closed square
polygon per cell, named with the cell's standard identifier. The area is
snapped outwards to whole cells; cells are written column by column from west
to east, each column from south to north.

Options:
  --grid dkn|eurogrid   the grid system:
                          dkn       Danske Kvadratnet: ETRS89 / UTM zone 32N,
                                    EPSG:25832
                          eurogrid  EuroGrid: ETRS89 / LAEA Europe, EPSG:3035
  --size LABEL          the cell size (default: 1km for DKN, 10km for EuroGrid)
                          DKN:      100m, 250m, 1km, 10km, 100km;
                                    not standard: 500m, 2km, 5km
                          EuroGrid: 1m, 10m, 100m, 1km, 10km, 100km, 1000km
  --area NAME           a preset area of Denmark (DKN only; case is ignored):
                          "All", "Denmark only",
                          "Denmark only (without Bornholm)", "Bornholm";
                        or "Denmark land": only the cells that share area with
                        Danish land, every island included (GSHHG shorelines),
                        within --corners or --bbox-lonlat when given
  --corners X1,Y1,X2,Y2 two opposite corners, in any order, in the grid system's
                        metres (easting, northing). A corner X of exactly 0 is
                        taken as 0.000001 m, which snaps to the same cell line.
  --bbox-lonlat W,S,E,N the area as a box of WGS 84 / ETRS89 longitude and
                        latitude in degrees (west, south, east, north); the
                        cells cover every point of it, e.g. 8,54.5,15.2,57.8
  --within FILE         only the cells that share area with the polygons of
                        FILE, any vector file GDAL reads (shapefile, GeoPackage,
                        GeoJSON, KML, GML, MIF/TAB, ...), transformed from the
                        file's coordinate system (none: the grid's metres). The
                        extent is the polygons' bounds, or that of --area,
                        --corners or --bbox-lonlat when given. Points and
                        lines are ignored.
  --within-layer NAME   the layer of FILE (default: its first polygon layer)
  --buffer METRES       grows the area of --within or "Denmark land" by METRES
                        (negative: shrinks it); the EEA's grids use 15000
  --format FORMAT       the file format:
)HELP" + formats +
           R"HELP(                        GDAL's driver names are taken too: "ESRI Shapefile",
                        "MapInfo File" (TAB), GML, CSV, KML, GeoJSON, GPKG
  --output DIR          the folder for the files; created with its parents when
                        missing. Files of the same names are overwritten. A
                        refused run removes the folder again if it made it and
                        nothing was written into it.
  --name PREFIX         the base name of the files instead of the grid's own
                        (no folder separator; at most 8 characters for shp83)
  --yes                 answer Yes when asked whether a folder off the local
                        disk (a network file system) is meant; without --yes
                        the question is asked on a terminal, else taken as No
  --dry-run             print the snapped extent and the size estimate; write
                        nothing (--output may then be left out). With --output
                        it makes the folder's checks too (local disk, file
                        system, free space), so exit 0 means the run would go
                        ahead; without it those checks are not made
)HELP" + CellOptionsHelp() +
           R"HELP(  --quiet               print nothing but errors (on stderr)
  --progress            show the progress on stderr even when it is not a
                        terminal, as lines a log can hold (at most one a second)
  --json                instead of the status lines print one JSON object on
                        stdout at the end: grid, size, format, extent, cells,
                        the files written with their sizes in bytes, the
                        elapsed seconds and the outcome (done, refused or
                        error, with its message); not for usage errors
  -h, --help            print this text
  --version             print the program's name and version

Short options: -g -s -a -c -f -o -w -y -n -q -h stand for --grid --size --area
--corners --format --output --within --yes --dry-run --quiet --help. A value
follows as the next argument or at once (-g dkn, -gdkn); flags may be bundled
(-yn).

Output files are named after the grid: DKN_<size>_euref89 (DKN) or
EuroGrid_<size> (EuroGrid); with shp83, KN_<size> or EG<size>. Each cell
carries its name: for DKN the identifier (field KN<size>DK, e.g. 1km_6200_440)
and for 10 km cells also a place name (field Stednavn); for EuroGrid the
easting and northing of its lower-left corner (fields eoforigin, noforigin).
EuroGrid MIF and TAB coordinates are shifted by the LAEA false origin
(-4321000, -3210000), as their CoordSys clause states.

First the snapped extent is printed (X1, Y1, X2, Y2, Cells X, Cells Y; with an
area also "Cells within AREA: N"), then "Done" and the number of cells written;
the reasons of a refused run go to stderr. A progress bar is drawn on stderr
when stderr is a terminal. Ctrl-C, SIGTERM or a closed terminal (SIGHUP) stops
the run and removes the grid files written so far; a closed stdout (| head -1)
does not stop it.

Exit status:
  0  the grid was written ("Done"; for --dry-run: the run would go ahead)
  1  a check refused the run: more than 2 GB for SHP or TAB, TAB cells beyond
     the bounds of its coordinate system, a file system without files over
     2 GB, not enough free space, No to the question, or another run writing
     the same grid into the same folder
  2  a usage error (unknown size label, preset area for EuroGrid, missing
     corners, an area file that cannot be read, ...), with a one-line reason
  3  an error ended the run (the partly written grid files are removed)

Examples:
  quadrel-cli --grid dkn --size 1km --area "Denmark only" --output ./output
  quadrel-cli --grid dkn --size 10km --area bornholm --format mif \
              --output ./bornholm
  quadrel-cli --grid eurogrid --size 100km \
              --corners 2500000,1400000,7400000,5500000 --format shp83 \
              --output ./europe
  quadrel-cli --grid dkn --size 1km --area All --format gpkg --output ./dk
  quadrel-cli --grid dkn --size 100m --area All --dry-run
  quadrel-cli -g dkn -s 10km --bbox-lonlat 8,54.5,15.2,57.8 \
              -f "ESRI Shapefile" --name dk10 --json -o ./dk
  quadrel-cli --grid dkn --size 100m --within parks.gpkg --output ./parks
  quadrel-cli --grid dkn --size 1km --area "Denmark land" --buffer 15000 \
              --output ./denmark
)HELP" + CellExamplesHelp();
}

std::string VersionText() {
    return std::string("quadrel-cli (") + ProgramName + ") " + ProgramVersion + "\n";
}

} // namespace quadrel::cli
