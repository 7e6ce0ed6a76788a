// quadrel-cli's parts for scripts, in-process: short options and bundling, the new
// options and their refusals, GDAL's driver names, the lon/lat box against PROJ,
// progress lines for a log, the output folder that a refused run takes away, the
// files a run wrote, and the dry run's folder checks.

#include "cli_options.h"
#include "cli_report.h"
#include "dry_run.h"
#include "format_names.h"
#include "grid_files.h"
#include "lonlat_box.h"
#include "output_folder.h"
#include "progress_lines.h"
#include "temp_dir.h"
#include "terminal_user_interface.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <proj.h>
#include <sstream>

using namespace quadrel;
using namespace quadrel::cli;
namespace fs = std::filesystem;

namespace {

TCliOptions Parse(const std::vector<std::string_view>& Args) {
    return ParseCommandLine(Args);
}

// --- Short options -------------------------------------------------------------------

TEST(ShortOptions, StandForTheLongOnesAttachedSeparateOrBundled) {
    struct Expected {
        TGridKind Grid;
        std::string Size, Area, Format, Output;
        bool Yes, DryRun, Quiet;
    };
    const struct {
        std::vector<std::string_view> Args;
        Expected Want;
    } cases[] = {
        {{"-g", "dkn", "-s", "250m", "-a", "Bornholm", "-f", "mif", "-o", "out"},
         {gkDKN, "250m", "Bornholm", "mif", "out", false, false, false}},
        {{"-gdkn", "-s250m", "-aBornholm", "-fmif", "-oout"},
         {gkDKN, "250m", "Bornholm", "mif", "out", false, false, false}},
        {{"-g", "eurogrid", "-c", "1,2,3,4", "-yn"},
         {gkEuroGrid, "", "", "shp", "", true, true, false}},
        {{"-g", "dkn", "-a", "All", "-ynqo", "out"},
         {gkDKN, "", "All", "shp", "out", true, true, true}},
        {{"-g", "dkn", "-a", "All", "-qyoout"},
         {gkDKN, "", "All", "shp", "out", true, false, true}},
        // A value that starts with '-' is taken as the value it stands in for.
        {{"-g", "eurogrid", "-c", "-5,-5,5,5", "-o", "-dir"},
         {gkEuroGrid, "", "", "shp", "-dir", false, false, false}},
        {{"--grid", "dkn", "-a", "All", "-o", "out", "--format=tab"},
         {gkDKN, "", "All", "tab", "out", false, false, false}},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (auto a : c.Args)
            trace += std::string(a) + " ";
        SCOPED_TRACE(trace);
        const TCliOptions o = Parse(c.Args);
        EXPECT_EQ(o.Grid, c.Want.Grid);
        EXPECT_EQ(o.Size, c.Want.Size);
        EXPECT_EQ(o.Area, c.Want.Area);
        EXPECT_EQ(o.Format, c.Want.Format);
        EXPECT_EQ(o.Output, c.Want.Output);
        EXPECT_EQ(o.Yes, c.Want.Yes);
        EXPECT_EQ(o.DryRun, c.Want.DryRun);
        EXPECT_EQ(o.Quiet, c.Want.Quiet);
    }
    // -h anywhere in a bundle asks for help, and nothing after it is read.
    EXPECT_TRUE(Parse({"-yh", "--bogus"}).Help);
    EXPECT_TRUE(Parse({"--version", "--bogus"}).Version);
}

TEST(CommandLine, NewOptionsUsageErrors) {
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } cases[] = {
        {{"-x"}, "unknown option \"-x\""},
        {{"-yx"}, "unknown option \"-x\""},
        {{"-"}, "unexpected argument \"-\""},
        {{"-g"}, "--grid needs a value"},
        {{"-g", "dkn", "--grid", "dkn"}, "--grid is given more than once"},
        {{"-q", "--quiet"}, "--quiet is given more than once"},
        {{"--json=yes"}, "--json takes no value"},
        {{"--version=2"}, "--version takes no value"},
        {{"-g", "dkn", "-a", "All", "--bbox-lonlat", "8,54.5,15.2,57.8", "-o", "x"},
         "give either --area or --bbox-lonlat, not both"},
        {{"-g", "dkn", "-c", "1,2,3,4", "--bbox-lonlat", "8,54.5,15.2,57.8", "-o", "x"},
         "give either --corners or --bbox-lonlat, not both"},
        {{"-g", "dkn", "-a", "All", "-o", "x", "--quiet", "--progress"},
         "give either --quiet or --progress, not both"},
        {{"-g", "dkn", "-a", "All", "-o", "x", "--name", "a/b"},
         "--name is the base name of the files and cannot hold a folder separator; give the "
         "folder with --output"},
        {{"-g", "dkn", "-a", "All", "-o", "x", "--name", "..\\b"},
         "--name is the base name of the files and cannot hold a folder separator; give the "
         "folder with --output"},
        {{"-g", "dkn", "-a", "All", "-o", "x", "--name", "  "}, "--name needs a value"},
        {{"--bbox-lonlat", "8,54.5,15.2"}, "--bbox-lonlat takes four numbers W,S,E,N"},
        {{"--bbox-lonlat", "8,54.5,15.2,57.8,1"}, "--bbox-lonlat takes four numbers W,S,E,N"},
        {{"--bbox-lonlat", "8,54.5,15E,57.8"}, "--bbox-lonlat: \"15E\" is not a number of degrees"},
        {{"--bbox-lonlat", "15.2,54.5,8,57.8"},
         "--bbox-lonlat: W must be less than E, and S less than N"},
        {{"--bbox-lonlat", "8,57.8,15.2,57.8"},
         "--bbox-lonlat: W must be less than E, and S less than N"},
        {{"--bbox-lonlat", "8,54.5,185,57.8"},
         "--bbox-lonlat: longitudes lie within -180..180 and latitudes within -90..90 degrees"},
        {{"--bbox-lonlat", "8,-91,15.2,57.8"},
         "--bbox-lonlat: longitudes lie within -180..180 and latitudes within -90..90 degrees"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        try {
            ParseCommandLine(c.Args);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_STREQ(e.what(), c.Reason);
        }
    }
}

// --name replaces the grid's own base name; shp83 keeps it to 8 characters (code
// points: a Danish name of 8 letters is 8 characters, not 11 bytes).
TEST(CommandLine, NameIsTheBaseNameOfTheFiles) {
    const struct {
        const char* Format;
        const char* Name;
        const char* Refusal; // nullptr: taken
    } cases[] = {
        {"shp", "bornholm_10km_a", nullptr},
        {"shp83", "bornholm", nullptr},
        {"shp83", "æblehøst", nullptr},
        {"shp83", "bornholm1",
         "--name \"bornholm1\" is longer than the 8 characters of shp83's file names"},
        {"mif", "bornholm1", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Format) + " " + c.Name);
        TGridState s;
        const TCliOptions o = Parse(
            {"-g", "dkn", "-s", "10km", "-a", "Bornholm", "-f", c.Format, "--name", c.Name, "-n"});
        if (!c.Refusal) {
            ApplyToGridState(o, s);
            EXPECT_EQ(s.FilePrefix, c.Name);
            continue;
        }
        try {
            ApplyToGridState(o, s);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_STREQ(e.what(), c.Refusal);
        }
    }
}

TEST(FormatNames, GdalDriverNamesChooseTheRunFormats) {
    const struct {
        const char* Name;
        int32_t Tag;
    } cases[] = {
        {"ESRI Shapefile", ftSHP},
        {"esri shapefile", ftSHP},
        {"MapInfo File", ftTAB},
        {"MAPINFO FILE", ftTAB},
        {"GML", ftGML},
        {"CSV", ftCSV},
        {"KML", ftKML},
        {"GeoJSON", ftGeoJSON},
        {"shp83", ftSHP83},
        {"mif", ftMIF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRunFormat* row = FindCliFormat(c.Name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->Tag, c.Tag);
    }
    EXPECT_EQ(FindCliFormat("dwg"), nullptr);
    EXPECT_EQ(FindCliFormat("ESRI"), nullptr);

    // GeoPackage resolves through the run's format table: its row, once it exists;
    // until then a clean refusal rather than "unknown format".
    for (const char* name : {"GPKG", "gpkg"}) {
        SCOPED_TRACE(name);
        if (const TRunFormat* gpkg = FindRunFormatByName("gpkg")) {
            EXPECT_EQ(FindCliFormat(name), gpkg);
            continue;
        }
        try {
            FindCliFormat(name);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "format \"" + std::string(name) + "\" (GeoPackage) is not in this build");
        }
    }
}

// --- The lon/lat box -----------------------------------------------------------------

// PROJ's own bounds of a lon/lat box in a grid system, its edges densified by
// Densify points (21 is PROJ's advice; 0 transforms the corners alone).
struct ProjBounds {
    double XMin, YMin, XMax, YMax;
};
ProjBounds TransformBounds(int Epsg, const TLonLatBox& b, int Densify = 21) {
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* raw =
        proj_create_crs_to_crs(ctx, "EPSG:4326", ("EPSG:" + std::to_string(Epsg)).c_str(), nullptr);
    PJ* p = proj_normalize_for_visualization(ctx, raw);
    ProjBounds r{};
    EXPECT_TRUE(proj_trans_bounds(ctx, p, PJ_FWD, b.West, b.South, b.East, b.North, &r.XMin,
                                  &r.YMin, &r.XMax, &r.YMax, Densify));
    proj_destroy(p);
    proj_destroy(raw);
    proj_context_destroy(ctx);
    return r;
}

// Denmark's bounding box in degrees: the corners we take hold PROJ's bounds and lie
// within a metre of them, in both grid systems; the snapped extent is that of PROJ's
// corners. In UTM a parallel sags south towards the central meridian (9 E): the
// box's south edge reaches 460 m below its transformed corners, so the corners
// alone would miss a row of 100 m cells along the south coast.
TEST(LonLatBox, DenmarkAsProjBoundsIt) {
    const TLonLatBox denmark{8.0, 54.5, 15.2, 57.8};
    for (const auto& [kind, epsg] : {std::pair{gkDKN, 25832}, std::pair{gkEuroGrid, 3035}}) {
        SCOPED_TRACE(epsg);
        TCornerPoint first, second;
        LonLatBoxCorners(kind, denmark, first, second);
        const ProjBounds proj = TransformBounds(epsg, denmark);
        EXPECT_LE(first.X, proj.XMin);
        EXPECT_LE(first.Y, proj.YMin);
        EXPECT_GE(second.X, proj.XMax);
        EXPECT_GE(second.Y, proj.YMax);
        EXPECT_LT(proj.XMin - first.X, 1.0);
        EXPECT_LT(proj.YMin - first.Y, 1.0);
        EXPECT_LT(second.X - proj.XMax, 1.0);
        EXPECT_LT(second.Y - proj.YMax, 1.0);

        TGridState s;
        ApplyToGridState(Parse({"-g", epsg == 25832 ? "dkn" : "eurogrid", "-s", "1km",
                                "--bbox-lonlat", "8,54.5,15.2,57.8", "-n"}),
                         s);
        EXPECT_EQ(s.GridExtent, SnapExtent({proj.XMin, proj.YMin}, {proj.XMax, proj.YMax}, 1000));
    }
    const ProjBounds corners = TransformBounds(25832, denmark, 0);
    TCornerPoint first, second;
    LonLatBoxCorners(gkDKN, denmark, first, second);
    EXPECT_LT(first.Y, corners.YMin - 400);
}

TEST(LonLatBox, ABoxBeyondTheGridsRangeIsAUsageError) {
    TGridState s;
    try {
        ApplyToGridState(Parse({"-g", "eurogrid", "--bbox-lonlat", "-180,-90,180,90", "-n"}), s);
        ADD_FAILURE() << "accepted";
    } catch (const EUsageError& e) {
        EXPECT_STREQ(e.what(), "The area lies beyond EuroGrid's range: the cell origins are "
                               "stored in fields of 7 digits, from -999999 to 9999999 m");
    }
}

// --- Progress lines ----------------------------------------------------------------

TEST(ProgressLines, APercentageAtMostOnceASecondAndTheLastColumn) {
    using namespace std::chrono;
    steady_clock::time_point now{};
    std::ostringstream err;
    TProgressLines lines(err, [&] { return now; });
    lines.Start(1000);
    for (int i = 1; i <= 1000; ++i) {
        now += milliseconds(10); // 10 s in all
        lines.Update(i);
    }
    lines.Update(0);
    std::string want = "quadrel-cli: progress 0% (0 of 1000 columns)\n";
    for (int p = 10; p <= 100; p += 10)
        want += "quadrel-cli: progress " + std::to_string(p) + "% (" + std::to_string(p * 10) +
                " of 1000 columns)\n";
    EXPECT_EQ(err.str(), want);

    // A fast run: the first line and the last; an empty grid: none.
    std::ostringstream fast;
    TProgressLines quick(fast, [&] { return now; });
    quick.Start(3);
    for (int i = 1; i <= 3; ++i)
        quick.Update(i);
    quick.Start(0);
    quick.Update(0);
    EXPECT_EQ(fast.str(), "quadrel-cli: progress 0% (0 of 3 columns)\n"
                          "quadrel-cli: progress 100% (3 of 3 columns)\n");

    // An abandoned run prints nothing more after its reset.
    std::ostringstream abandoned;
    TProgressLines stopped(abandoned, [&] { return now; });
    stopped.Start(1);
    stopped.Update(0);
    stopped.Update(1);
    EXPECT_EQ(abandoned.str(), "quadrel-cli: progress 0% (0 of 1 column)\n");
}

// --- The terminal user interface for scripts ------------------------------------------

struct Terminal {
    std::istringstream in;
    std::ostringstream out, err;
    TTerminalUserInterface ui;
    explicit Terminal(TTerminalSettings s) : in(""), ui(std::move(s), in, out, err) {}
};

// --quiet: only what explains a failure reaches stderr; refusals are kept for the
// JSON report.
TEST(TerminalUserInterface, QuietShowsOnlyWhatExplainsARefusal) {
    testutil::TempDir dir;
    const std::string question = "It is MUCH faster to store on a local harddisk.\nDo you want "
                                 "to continue?";
    TTerminalSettings s;
    s.Quiet = true;
    s.Folder = dir / "new";
    s.AssumeYes = true;
    Terminal yes(s);
    std::string folder;
    EXPECT_TRUE(yes.ui.ChooseFolder("", "", folder));
    EXPECT_TRUE(yes.ui.AskYesNo(question));
    yes.ui.ShowMessage("Done");
    EXPECT_EQ(yes.err.str(), "");
    EXPECT_EQ(yes.out.str(), "Done\n");
    EXPECT_TRUE(yes.ui.Refusal().empty());

    s.AssumeYes = false;
    Terminal no(s);
    EXPECT_FALSE(no.ui.AskYesNo(question));
    EXPECT_EQ(no.err.str(), question + "\nNo (no terminal to ask; give --yes to answer Yes)\n");
    EXPECT_EQ(no.ui.Refusal(), std::vector<std::string>{question + " No"});

    Terminal full(s);
    full.ui.ShowMessage("There is not enough space on your harddisk");
    full.ui.ShowMessage("You can try with SHP or TAB format - they are more compact");
    EXPECT_EQ(full.out.str(), "");
    EXPECT_EQ(full.err.str(), "There is not enough space on your harddisk\n"
                              "You can try with SHP or TAB format - they are more compact\n");
    EXPECT_EQ(full.ui.Refusal().size(), 2u);
}

TEST(TerminalUserInterface, ProgressLinesWithoutATerminal) {
    TTerminalSettings s;
    s.ProgressLines = true;
    Terminal t(s);
    t.ui.SetProgressMax(2);
    t.ui.SetProgressPosition(1);
    t.ui.SetProgressPosition(2);
    t.ui.SetProgressPosition(0);
    t.ui.ShowMessage("Done");
    EXPECT_EQ(t.err.str(), "quadrel-cli: progress 0% (0 of 2 columns)\n"
                           "quadrel-cli: progress 100% (2 of 2 columns)\n");
    EXPECT_EQ(t.out.str(), "Done\n");
}

// --- The output folder -----------------------------------------------------------------

TEST(OutputFolder, TakesAwayOnlyWhatItMadeAndOnlyWhileEmpty) {
    testutil::TempDir dir;
    {
        TOutputFolder f; // three levels made, all empty: all go
        EXPECT_TRUE(f.Prepare(dir / "a/b/c/"));
        EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
        EXPECT_EQ(f.RemoveIfEmpty(), dir / "a/b/c/");
        EXPECT_FALSE(fs::exists(dir / "a"));
    }
    {
        TOutputFolder f; // a file in the folder: everything stays
        EXPECT_TRUE(f.Prepare(dir / "x/y"));
        { std::ofstream(dir / "x/y/grid.prj") << "x"; }
        EXPECT_EQ(f.RemoveIfEmpty(), "");
        EXPECT_TRUE(fs::exists(dir / "x/y/grid.prj"));
    }
    {
        TOutputFolder f; // something beside it in a parent it made: the parent stays
        EXPECT_TRUE(f.Prepare(dir / "p/q"));
        { std::ofstream(dir / "p/other") << "x"; }
        EXPECT_EQ(f.RemoveIfEmpty(), dir / "p/q");
        EXPECT_FALSE(fs::exists(dir / "p/q"));
        EXPECT_TRUE(fs::exists(dir / "p/other"));
    }
    {
        TOutputFolder f; // a folder that was there is never removed
        fs::create_directory(dir / "kept");
        EXPECT_FALSE(f.Prepare(dir / "kept"));
        EXPECT_EQ(f.RemoveIfEmpty(), "");
        EXPECT_TRUE(fs::is_directory(dir / "kept"));
    }
    {
        TOutputFolder f; // stopped halfway by a name too long: the parent made goes again
        EXPECT_THROW(f.Prepare(dir / ("m/" + std::string(300, 'n') + "/x")), EInOutError);
        EXPECT_TRUE(fs::is_directory(dir / "m"));
        EXPECT_EQ(f.RemoveIfEmpty(), dir / "m");
        EXPECT_FALSE(fs::exists(dir / "m"));
    }
}

TEST(OutputFolder, ProbeFindsTheFolderThatWouldHoldIt) {
    testutil::TempDir dir;
    { std::ofstream(dir / "file") << "x"; }
    const struct {
        std::string Path, Existing, Problem;
    } cases[] = {
        {dir.path().string(), dir.path().string(), ""},
        {dir / "new/deeper/", dir.path().string(), ""},
        {dir / "file", dir / "file",
         "Cannot write into " + (dir / "file") + ": it is not a folder"},
        {dir / "file/sub", dir / "file",
         "Cannot create folder " + (dir / "file/sub") + ": Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const TFolderProbe p = ProbeOutputFolder(c.Path);
        EXPECT_EQ(p.Existing, c.Existing);
        EXPECT_EQ(p.Problem, c.Problem);
    }
    EXPECT_EQ(ProbeOutputFolder("relative/new").Existing, ".");
}

// --- The files a run wrote ----------------------------------------------------------

TEST(GridFiles, TheFilesOfEachWriter) {
    const TRunFormat& shp = *FindRunFormat(ftSHP);
    EXPECT_EQ(GridFileNames(shp, gkDKN, "g"),
              (std::vector<std::string>{"g.shp", "g.shx", "g.dbf", "g.cpg", "g.avl", "g.prj"}));
    EXPECT_EQ(GridFileNames(shp, gkEuroGrid, "g"),
              (std::vector<std::string>{"g.shp", "g.shx", "g.dbf", "g.cpg", "g.prj"}));
    EXPECT_EQ(GridFileNames(*FindRunFormat(ftGML), gkDKN, "g"),
              (std::vector<std::string>{"g.xml", "g.xsd"}));
    EXPECT_EQ(GridFileNames(*FindRunFormat(ftGeoJSON), gkDKN, "g"),
              std::vector<std::string>{"g.geojson"});
}

// Only what the run created or replaced counts: not an earlier grid's file it left
// alone, nor a link named like a grid file.
TEST(GridFiles, TheWatchTellsWhatARunWrote) {
    testutil::TempDir dir;
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::trunc) << text;
    };
    write("g.shp", "earlier grid");
    write("g.prj", "earlier projection");
    write("elsewhere", "x");
    fs::create_symlink(dir / "elsewhere", dir / "g.dbf");
    const TGridFileWatch watch(dir.path().string(), {"g.shp", "g.shx", "g.dbf", "g.prj"});
    EXPECT_TRUE(watch.Written().empty());

    write("g.prj", "new projection"); // replaced
    write("g.shx", "new index");      // created
    std::ofstream(dir / "elsewhere", std::ios::app) << "more";
    const std::vector<TWrittenFile> written = watch.Written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].Name, "g.shx");
    EXPECT_EQ(written[0].Path, dir / "g.shx");
    EXPECT_EQ(written[0].Bytes, 9);
    EXPECT_EQ(written[1].Name, "g.prj");
    EXPECT_EQ(written[1].Bytes, 14);
}

// --- The dry run's folder checks ----------------------------------------------------

// A folder on another machine, a FAT stick, a nearly full disk: answers that a test
// cannot get from the real file system.
class FakeFileSystem : public TFileSystemQueries {
public:
    TDriveType Drive = dtFixed;
    std::string Name = "ext4";
    int64_t Free = int64_t{1} << 40;
    TDriveType DriveType(const std::string&) const override { return Drive; }
    std::string FileSystemName(const std::string&) const override { return Name; }
    int64_t DiskFree(const std::string&) const override { return Free; }
};

TEST(DryRun, WithAFolderMakesTheRunsChecksOfIt) {
    testutil::TempDir dir;
    const std::string folder = dir / "new";
    const std::string question =
        "It is MUCH faster to store on a local harddisk.\nDo you want to continue?\n";
    const struct {
        const char* Name;
        std::vector<std::string_view> Extra;
        TDriveType Drive;
        const char* FileSystem;
        int64_t Free;
        int Status;
        const char* OutEnd; // the end of the report
        std::string Err;
    } cases[] = {
        {"local",
         {},
         dtFixed,
         "ext4",
         1'000'000'000,
         0,
         "Folder checks: passed (ext4, 1.0 GB free)\n",
         ""},
        {"network, no --yes",
         {},
         dtRemote,
         "nfs",
         1'000'000'000,
         1,
         "(412.0 kB)\n",
         question + "No (a dry run asks nothing; give --yes to answer Yes)\n"},
        {"network, --yes",
         {"--yes"},
         dtRemote,
         "nfs",
         1'000'000'000,
         0,
         "Folder checks: passed (nfs, 1.0 GB free)\n",
         question + "Yes (--yes)\n"},
        {"full disk",
         {},
         dtFixed,
         "ext4",
         1000,
         1,
         "(412.0 kB)\nThere is not enough space on your harddisk\n",
         ""},
        {"full disk, MIF",
         {"-f", "mif"},
         dtFixed,
         "ext4",
         1000,
         1,
         "There is not enough space on your harddisk\nYou can try with SHP or TAB format - they "
         "are more compact\n",
         ""},
        // The 100 m grid of all Denmark as MIF: 37.4 million cells, over 2 GB.
        {"FAT",
         {"-s", "100m", "-a", "All", "-f", "mif"},
         dtFixed,
         "vfat",
         int64_t{1} << 40,
         1,
         "Only a file system that can hold files larger than 2 GB can handle >2 GB as output\n"
         "You can try with SHP or TAB format - they are more compact\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string_view> args{"-g", "dkn", "-n", "-o", folder};
        args.insert(args.end(), c.Extra.begin(), c.Extra.end());
        if (std::find(args.begin(), args.end(), "-a") == args.end())
            args.insert(args.end(), {"-a", "Bornholm"});
        const TCliOptions o = ParseCommandLine(args);
        TGridState s;
        const TCliChoice choice = ApplyToGridState(o, s);
        FakeFileSystem fake;
        fake.Drive = c.Drive;
        fake.Name = c.FileSystem;
        fake.Free = c.Free;
        std::ostringstream out, err;
        TCliReporter reporter(o, s, choice, out, {});
        EXPECT_EQ(DryRun(o, s, reporter, err, {false, &fake}), c.Status);
        EXPECT_TRUE(out.str().ends_with(c.OutEnd)) << out.str();
        EXPECT_EQ(err.str(), c.Err);
        EXPECT_TRUE(reporter.Report().FolderChecked);
        EXPECT_FALSE(fs::exists(folder)); // a dry run makes nothing
    }
}

} // namespace
