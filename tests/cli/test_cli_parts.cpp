// quadrel-cli's parts in-process: the command line and how it sets the grid
// state, and the terminal user interface (questions, messages, progress bar,
// output folder, interruption).

#include "cli_options.h"
#include "temp_dir.h"
#include "terminal_user_interface.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace quadrel;
using namespace quadrel::cli;
namespace fs = std::filesystem;

namespace {

TCliOptions Parse(std::initializer_list<std::string_view> Args) {
    const std::vector<std::string_view> args(Args);
    return ParseCommandLine(args);
}

TEST(CommandLine, AcceptsBothValueFormsAndAnyCase) {
    const TCliOptions o =
        Parse({"--grid=EuroGrid", "--size", "100KM", "--corners", " -150 , 2.5e6,+7400000,5500000 ",
               "--format=SHP83", "--output", "out dir", "--yes", "--dry-run"});
    EXPECT_EQ(o.Grid, gkEuroGrid);
    EXPECT_EQ(o.Size, "100KM");
    EXPECT_TRUE(o.HasCorners);
    EXPECT_EQ(o.FirstCorner, (TCornerPoint{-150, 2.5e6}));
    EXPECT_EQ(o.SecondCorner, (TCornerPoint{7400000, 5500000}));
    EXPECT_EQ(o.Format, "SHP83");
    EXPECT_EQ(o.Output, "out dir");
    EXPECT_TRUE(o.Yes);
    EXPECT_TRUE(o.DryRun);

    const TCliOptions d = Parse({"--grid", "dkn", "--area", "Bornholm", "--output", "x"});
    EXPECT_EQ(d.Format, "shp"); // the default
    EXPECT_EQ(d.Size, "");      // the grid system's default size
    EXPECT_TRUE(Parse({"--help", "--grid", "nonsense"}).Help);
    EXPECT_TRUE(Parse({"-h"}).Help);
}

TEST(CommandLine, UsageErrors) {
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } cases[] = {
        {{}, "missing --grid (dkn or eurogrid)"},
        {{"--grid", "utm"}, "unknown grid system \"utm\" (choose dkn or eurogrid)"},
        {{"--grid", "dkn", "--output", "x"},
         "missing area: give --area NAME or --corners X1,Y1,X2,Y2"},
        {{"--grid", "dkn", "--area", "All", "--corners", "1,2,3,4", "--output", "x"},
         "give either --area or --corners, not both"},
        {{"--grid", "dkn", "--area", "All"},
         "missing --output DIR (the folder for the grid files)"},
        {{"--grid", "dkn", "--corners", "1,2,3", "--output", "x"},
         "--corners takes four numbers X1,Y1,X2,Y2"},
        {{"--grid", "dkn", "--corners", "1,2,3,4,5", "--output", "x"},
         "--corners takes four numbers X1,Y1,X2,Y2"},
        {{"--grid", "dkn", "--corners", "1,2,,4", "--output", "x"},
         "--corners: \"\" is not a number of metres"},
        {{"--grid", "dkn", "--corners", "1,2,3km,4", "--output", "x"},
         "--corners: \"3km\" is not a number of metres"},
        {{"--grid", "dkn", "--corners", "1,nan,3,4", "--output", "x"},
         "--corners: \"nan\" is not a number of metres"},
        {{"--grid", "dkn", "--grid", "dkn"}, "--grid is given more than once"},
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"dkn"}, "unexpected argument \"dkn\""},
        {{"--grid"}, "--grid needs a value"},
        {{"--grid", "dkn", "--output="}, "--output needs a value"},
        {{"--yes=no"}, "--yes takes no value"},
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

TCliChoice Apply(std::initializer_list<std::string_view> Args, TGridState& State) {
    return ApplyToGridState(Parse(Args), State);
}

// The grid state is set as the window's commands would set it: system, format,
// size, area; so shp83 gives the short file names at once.
TEST(CommandLine, SetsTheGridStateInTheWindowsOrder) {
    TGridState s;
    Apply({"--grid", "dkn", "--format", "shp83", "--area", "denmark only", "--output", "x"}, s);
    EXPECT_EQ(s.GridKind, gkDKN);
    EXPECT_EQ(s.SizeTag, 3); // the default "1 km (basis)"
    EXPECT_EQ(s.OutputFormatTag, ftSHP83);
    EXPECT_EQ(s.FilePrefix, "KN_1km");
    EXPECT_EQ(s.GridExtent, (TGridExtent{440000, 6040000, 900000, 6410000, 460, 370}));
    EXPECT_TRUE(s.ExtentShown);

    // Chosen after the grid system, TAB stays chosen under EuroGrid (the run knows
    // its MapInfo shift); the window's menu would have reset it to MIF.
    TGridState e;
    Apply({"--grid", "eurogrid", "--format", "tab", "--corners", "4320000,3210000,4330000,3220000",
           "--dry-run"},
          e);
    EXPECT_EQ(e.OutputFormatTag, ftTAB);
    EXPECT_EQ(e.FilePrefix, "EuroGrid_10km");
    EXPECT_EQ(e.GridExtent.CellsX, 1);
}

// An X of exactly 0 means "corner not set" to the grid state; the tool moves it by
// a millionth of a metre, which snaps to the same cell lines as 0 itself would.
TEST(CommandLine, ACornerAtXZeroSnapsAsZero) {
    const struct {
        const char* Size;
        const char* Corners;
        TGridExtent Extent;
    } cases[] = {
        {"1m", "0,0,3,2", {0, 0, 3, 2, 3, 2}},
        {"1000km", "0,0,2000000,1000000", {0, 0, 2000000, 1000000, 2, 1}},
        {"1000km", "2000000,1000000,0,0", {0, 0, 2000000, 1000000, 2, 1}},
        {"1km", "-2500,10,0,1000", {-2000, 0, 0, 1000, 2, 1}},
        {"1km", "0,10,0,1000", {0, 0, 0, 1000, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Corners);
        TGridState s;
        Apply({"--grid", "eurogrid", "--size", c.Size, "--corners", c.Corners, "--dry-run"}, s);
        EXPECT_EQ(s.GridExtent, c.Extent);
        EXPECT_TRUE(s.CornersSet());
        EXPECT_EQ(StatusTexts(s.GridExtent)[0], "X1: " + std::to_string(int64_t(c.Extent.X1)));
    }
}

TEST(CommandLine, GridStateUsageErrors) {
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } cases[] = {
        {{"--grid", "dkn", "--size", "3km", "--area", "All", "--output", "x"},
         "unknown grid size \"3km\" for DKN (choose 100m, 250m, 1km, 10km, 100km, 500m, 2km, 5km)"},
        {{"--grid", "eurogrid", "--size", "250m", "--corners", "1,2,3,4", "--output", "x"},
         "unknown grid size \"250m\" for EuroGrid (choose 1m, 10m, 100m, 1km, 10km, 100km, "
         "1000km)"},
        {{"--grid", "eurogrid", "--area", "Bornholm", "--output", "x"},
         "--area takes the preset areas of Denmark, which belong to DKN; give EuroGrid's area with "
         "--corners X1,Y1,X2,Y2"},
        {{"--grid", "dkn", "--area", "Jylland", "--output", "x"},
         "unknown area \"Jylland\" (choose \"All\", \"Denmark only\", \"Denmark only (without "
         "Bornholm)\", \"Bornholm\")"},
        {{"--grid", "dkn", "--area", "All", "--format", "dwg", "--output", "x"},
         "unknown format \"dwg\" (choose mif, shp, tab, gml, shp83, csv, kml, geojson, gpkg)"},
        {{"--grid", "dkn", "--corners", "1e20,0,1,1", "--output", "x"},
         "A corner of the area is not a usable coordinate: it must be a finite number of metres "
         "within +-1e15"},
        {{"--grid", "eurogrid", "--size", "1km", "--corners", "4321000,3210000,12000000,3211000",
          "--output", "x"},
         "The area lies beyond EuroGrid's range: the cell origins are stored in fields of 7 "
         "digits, from -999999 to 9999999 m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        TGridState s;
        try {
            ApplyToGridState(ParseCommandLine(c.Args), s);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_STREQ(e.what(), c.Reason);
        }
    }
}

// Formats without a writer in this build are written as MIF/MID, with a notice; the
// formats of the writer factory alone (csv, kml, geojson) are written as chosen.
TEST(CommandLine, FormatsWithoutAWriterFallBackToMifWithANotice) {
    const struct {
        const char* Format;
        bool FallsBack;
        const char* Notice;
    } cases[] = {
        {"shp", false, ""},
        {"mif", false, ""},
        {"csv", false, ""},
        {"KML", false, ""},
        {"geojson", false, ""},
        {"gml", false, ""},
        {"tab", ResolveRunFormat(ftTAB).FellBack(),
         "MapInfo TAB needs the MITAB library, which could not be loaded; writing MapInfo MIF/MID "
         "instead"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Format);
        TGridState s;
        const TCliChoice choice =
            Apply({"--grid", "dkn", "--area", "Bornholm", "--format", c.Format, "--dry-run"}, s);
        EXPECT_EQ(FormatNotice(choice), c.FallsBack ? c.Notice : "");
        EXPECT_EQ(choice.Format.Effective->Tag == ftMIF,
                  c.FallsBack || choice.Format.Requested->Tag == ftMIF);
    }
}

TEST(CommandLine, HelpNamesEveryOptionFormatAndExitStatus) {
    const std::string help = HelpText();
    for (const char* word : {"--grid",
                             "--size",
                             "--area",
                             "--corners",
                             "--format",
                             "--output",
                             "--yes",
                             "--dry-run",
                             "--help",
                             "shp83",
                             "mif",
                             "tab",
                             "gml",
                             "csv",
                             "kml",
                             "geojson",
                             "gpkg",
                             "Denmark only (without Bornholm)",
                             "1000km",
                             "500m",
                             "Exit status",
                             "  3  "})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    // It fits an 80-column terminal.
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}

// --- The terminal user interface ---------------------------------------------------

struct Terminal {
    std::istringstream in;
    std::ostringstream out, err;
    TTerminalUserInterface ui;
    Terminal(TTerminalSettings s, const std::string& input = "",
             const volatile std::sig_atomic_t* interrupted = nullptr)
        : in(input), ui(std::move(s), in, out, err, interrupted) {}
};

TEST(TerminalUserInterface, AnswersTheQuestion) {
    const std::string question =
        "It is MUCH faster to store on a local harddisk.\nDo you want to continue?";
    const struct {
        const char* Name;
        bool AssumeYes, CanAsk;
        const char* Input;
        bool Answer;
        const char* Shown; // on standard error after the question
    } cases[] = {
        {"--yes", true, false, "", true, "Yes (--yes)\n"},
        {"--yes at a terminal", true, true, "n\n", true, "Yes (--yes)\n"},
        {"no terminal", false, false, "y\n", false,
         "No (no terminal to ask; give --yes to answer Yes)\n"},
        {"y", false, true, "y\n", true, "[y/N] "},
        {"YES", false, true, "YES\n", true, "[y/N] "},
        {"n", false, true, "n\n", false, "[y/N] "},
        {"just Enter", false, true, "\n", false, "[y/N] "},
        {"end of input", false, true, "", false, "[y/N] \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTerminalSettings s;
        s.AssumeYes = c.AssumeYes;
        s.CanAsk = c.CanAsk;
        Terminal t(s, c.Input);
        EXPECT_EQ(t.ui.AskYesNo(question), c.Answer);
        EXPECT_EQ(t.err.str(), question + "\n" + c.Shown);
        EXPECT_EQ(t.out.str(), "");
    }
}

TEST(TerminalUserInterface, DrawsTheBarOnlyOnATerminalAndOnlyWhenItChanges) {
    TTerminalSettings s;
    s.ShowProgress = true;
    s.Width = 20;
    Terminal t(s);
    t.ui.SetProgressMax(1000);
    for (int i = 1; i <= 1000; ++i)
        t.ui.SetProgressPosition(i);
    t.ui.SetProgressPosition(0);
    t.ui.ShowMessage("Done");
    const std::string err = t.err.str();
    // One drawing for 0 % and one per visible percent, not one per column.
    EXPECT_EQ(std::count(err.begin(), err.end(), '\r'), 101);
    EXPECT_NE(err.find("\r[....................]   0% of 1000 columns"), std::string::npos);
    EXPECT_NE(err.find("\r[##########..........]  50% of 1000 columns"), std::string::npos);
    EXPECT_TRUE(err.ends_with("\r[####################] 100% of 1000 columns\n")) << err;
    EXPECT_EQ(t.out.str(), "Done\n");

    s.ShowProgress = false;
    Terminal quiet(s);
    quiet.ui.SetProgressMax(10);
    quiet.ui.SetProgressPosition(5);
    quiet.ui.SetProgressPosition(0);
    EXPECT_EQ(quiet.err.str(), "");
}

// A message in the middle of a bar (an error report follows a reset) starts on a
// line of its own; an empty grid draws no bar.
TEST(TerminalUserInterface, KeepsMessagesOffTheBarsLine) {
    TTerminalSettings s;
    s.ShowProgress = true;
    Terminal t(s);
    t.ui.SetProgressMax(4);
    t.ui.SetProgressPosition(1);
    t.ui.ShowMessage("There is not enough space on your harddisk");
    EXPECT_TRUE(
        t.err.str().ends_with("25% of 4 columns\nThere is not enough space on your harddisk\n"))
        << t.err.str();
    EXPECT_EQ(t.out.str(), "");

    Terminal empty(s);
    empty.ui.SetProgressMax(0);
    empty.ui.SetProgressPosition(0);
    EXPECT_EQ(empty.err.str(), "");
}

TEST(TerminalUserInterface, CreatesTheOutputFolder) {
    testutil::TempDir dir;
    TTerminalSettings s;
    s.Folder = dir / "a/b/c";
    Terminal t(s);
    std::string folder;
    EXPECT_TRUE(t.ui.ChooseFolder("Choose where to store the grid:", "", folder));
    EXPECT_EQ(folder, s.Folder);
    EXPECT_TRUE(fs::is_directory(s.Folder));
    EXPECT_EQ(t.err.str(), "quadrel-cli: created folder " + s.Folder + "\n");

    Terminal again(s); // an existing folder is taken as it is, without a word
    EXPECT_TRUE(again.ui.ChooseFolder("", "", folder));
    EXPECT_EQ(again.err.str(), "");

    { std::ofstream(dir / "file") << "x"; }
    s.Folder = dir / "file";
    Terminal notAFolder(s);
    EXPECT_THROW(notAFolder.ui.ChooseFolder("", "", folder), EInOutError);
    s.Folder = dir / "file/sub";
    Terminal underAFile(s);
    EXPECT_THROW(underAFile.ui.ChooseFolder("", "", folder), EInOutError);
}

TEST(TerminalUserInterface, AnInterruptStopsAtTheNextColumn) {
    volatile std::sig_atomic_t interrupted = 0;
    Terminal t(TTerminalSettings{}, "", &interrupted);
    EXPECT_NO_THROW(t.ui.ProcessMessages());
    interrupted = 1;
    EXPECT_THROW(t.ui.ProcessMessages(), EInterrupted);
}

} // namespace
