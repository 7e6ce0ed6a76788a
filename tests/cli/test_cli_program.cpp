// The built quadrel-cli as a user runs it: exit statuses, usage errors, --help,
// --dry-run, real grids, the progress bar on a terminal and Ctrl-C.

#include "cli_runner.h"
#include "run_formats.h"
#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using clitest::Exec;
using clitest::ReadAll;
using clitest::RedirectInputFromNull;
using clitest::Result;
using clitest::RunCli;
using clitest::Stderr;
using clitest::WaitFor;
using testutil::FilesIn;

const std::string SixCells = "X1: 440000\nY1: 6200000\nX2: 443000\nY2: 6202000\n"
                             "Cells X: 3\nCells Y: 2\n";

// --- Usage -------------------------------------------------------------------------

TEST(QuadrelCli, UsageErrorsExitWith2AndAOneLineReason) {
    const struct {
        std::vector<std::string> Args;
        const char* Reason;
    } cases[] = {
        {{}, "missing --grid (dkn or eurogrid)"},
        {{"--grid", "dkn", "--size", "3km", "--area", "All", "--output", "x"},
         "unknown grid size \"3km\" for DKN"},
        {{"--grid", "eurogrid", "--area", "Bornholm", "--output", "x"},
         "--area takes the preset areas of Denmark"},
        {{"--grid", "dkn", "--size", "1km", "--output", "x"}, "missing area"},
        {{"--grid", "dkn", "--area", "All", "--format", "dwg", "--output", "x"},
         "unknown format \"dwg\""},
        {{"--grid", "dkn", "--area", "All"}, "missing --output DIR"},
        {{"--grid", "dkn", "--corners", "440000,6200000", "--output", "x"},
         "--corners takes four numbers"},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        const Result r = RunCli(c.Args);
        EXPECT_EQ(r.Status, 2);
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind(std::string("quadrel-cli: ") + c.Reason, 0), 0u) << r.Err;
        EXPECT_NE(r.Err.find("\nTry 'quadrel-cli --help' for more information.\n"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists("x"));
    }
}

TEST(QuadrelCli, HelpExitsWith0) {
    const Result r = RunCli({"--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind("Usage: quadrel-cli --grid dkn|eurogrid", 0), 0u);
    EXPECT_NE(r.Out.find("--format FORMAT"), std::string::npos);
    EXPECT_EQ(r.Err, "");
}

// --- Dry runs ----------------------------------------------------------------------

TEST(QuadrelCli, DryRunPrintsTheExtentAndTheSizeEstimate) {
    const Result r =
        RunCli({"--grid", "DKN", "--size", "1KM", "--area", "denmark ONLY", "--dry-run"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "X1: 440000\nY1: 6040000\nX2: 900000\nY2: 6410000\nCells X: 460\n"
                     "Cells Y: 370\nFormat: ESRI SHP\nFiles: DKN_1km_euref89.shp\n"
                     "Cells: 170200\nSize estimate: 35061200 bytes (35.1 MB)\n");
    EXPECT_EQ(r.Err, "");
}

TEST(QuadrelCli, DryRunTellsOfTheLimitsAndFallbacks) {
    testutil::TempDir dir;
    const std::string folder = dir / "never";
    // 37,400,000 cells of 136 bytes: more than a shapefile can hold.
    const Result big = RunCli(
        {"--grid", "dkn", "--size", "100m", "--area", "All", "--output", folder, "--dry-run"});
    EXPECT_EQ(big.Status, 1);
    EXPECT_NE(big.Out.find("Files: " + folder + "/DKN_100m_euref89.shp\n"), std::string::npos);
    EXPECT_TRUE(big.Out.ends_with("SHP format can not handle >2 GB as output\n")) << big.Out;
    EXPECT_FALSE(fs::exists(folder)); // a dry run writes nothing, not even the folder

    const Result csv = RunCli(
        {"--grid", "eurogrid", "--corners", "0,0,20000,10000", "--format", "csv", "--dry-run"});
    EXPECT_EQ(csv.Status, 0);
    EXPECT_EQ(csv.Err, "");
    EXPECT_EQ(csv.Out, "X1: 0\nY1: 0\nX2: 20000\nY2: 10000\nCells X: 2\nCells Y: 1\n"
                       "Format: CSV\nFiles: EuroGrid_10km.csv\nCells: 2\n"
                       "Size estimate: 40 bytes\n");

    const Result tab =
        RunCli({"--grid", "dkn", "--area", "bornholm", "--format", "TAB", "--dry-run"});
    EXPECT_EQ(tab.Status, 0);
    const bool fallsBack = quadrel::ResolveRunFormat(quadrel::ftTAB).FellBack();
    EXPECT_EQ(tab.Err.find("MapInfo TAB needs the MITAB library") != std::string::npos, fallsBack);
    EXPECT_NE(tab.Out.find(fallsBack ? "Format: MapInfo MIF\n" : "Format: MapInfo TAB\n"),
              std::string::npos);

    // West of the bounds a MapInfo table can hold; MIF, written when TAB falls back,
    // has no such limit.
    const Result west = RunCli({"--grid", "dkn", "--corners", "98000,6200000,101000,6201000",
                                "--format", "tab", "--dry-run"});
    EXPECT_EQ(west.Status, fallsBack ? 0 : 1);
    EXPECT_EQ(west.Out.ends_with("TAB format can only hold cells within (100000, 6000000) "
                                 "(1000000, 6500000)\n"),
              !fallsBack)
        << west.Out;
}

// --- Real runs -----------------------------------------------------------------------

TEST(QuadrelCli, WritesAGridAndExitsWith0) {
    testutil::TempDir dir;
    const std::string folder = dir / "made/for/it";
    const Result r =
        RunCli({"--grid", "dkn", "--corners", "443000,6202000,440000,6200000", "--output", folder});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, SixCells + "Done\n6 cells written to " + folder + "/DKN_1km_euref89.shp\n");
    EXPECT_EQ(r.Err, "quadrel-cli: created folder " + folder + "\n");
    EXPECT_EQ(FilesIn(folder),
              (std::set<std::string>{"DKN_1km_euref89.avl", "DKN_1km_euref89.prj",
                                     "DKN_1km_euref89.cpg", "DKN_1km_euref89.shp",
                                     "DKN_1km_euref89.shx", "DKN_1km_euref89.dbf"}));
    // 100 header bytes and 6 records of 8 + 128 bytes.
    EXPECT_EQ(fs::file_size(folder + "/DKN_1km_euref89.shp"), 100u + 6 * 136);

    // Again into the same folder: the files are overwritten without a question.
    const Result again = RunCli({"--grid", "dkn", "--corners", "440000,6200000,443000,6202000",
                                 "--output", folder, "--format", "MIF"});
    EXPECT_EQ(again.Status, 0);
    EXPECT_EQ(again.Err, "");
    EXPECT_TRUE(fs::exists(folder + "/DKN_1km_euref89.mid"));
}

TEST(QuadrelCli, ARefusedRunExitsWith1AndLeavesNoGridFile) {
    testutil::TempDir dir;
    const Result r = RunCli(
        {"--grid", "dkn", "--size", "100m", "--area", "All", "--output", dir.path().string()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Out.ends_with("Cells Y: 4400\n")) << r.Out;
    EXPECT_EQ(r.Err, "SHP format can not handle >2 GB as output\n");
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_100m_euref89.avl", "DKN_100m_euref89.prj"}));
}

TEST(QuadrelCli, AnErrorEndsTheRunWithExit3) {
    testutil::TempDir dir;
    { std::ofstream(dir / "plain-file") << "x"; }
    const struct {
        const char* Name;
        std::string Folder;
        const char* Message;
    } cases[] = {
        {"OutputIsAFile", dir / "plain-file", "quadrel-cli: error: Cannot write into "},
        {"FolderRefusesFiles", testutil::UnwritableFolder(dir), "quadrel-cli: error: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const Result r = RunCli(
            {"--grid", "dkn", "--corners", "440000,6200000,443000,6202000", "--output", c.Folder});
        EXPECT_EQ(r.Status, 3);
        EXPECT_EQ(r.Out, SixCells);
        EXPECT_EQ(r.Err.rfind(c.Message, 0), 0u) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    }
}

// --- On a terminal ---------------------------------------------------------------------

TEST(QuadrelCli, DrawsAProgressBarOnlyWhenStderrIsATerminal) {
    testutil::TempDir dir;
    const std::vector<std::string> args{"--grid",    "dkn",
                                        "--corners", "440000,6200000,443000,6202000",
                                        "--output",  dir.path().string()};
    const Result terminal = RunCli(args, Stderr::Terminal);
    EXPECT_EQ(terminal.Status, 0);
    EXPECT_NE(terminal.Err.find("] 100% of 3 columns"), std::string::npos) << terminal.Err;
    EXPECT_EQ(terminal.Out, SixCells + "Done\n6 cells written to " + dir.path().string() +
                                "/DKN_1km_euref89.shp\n");

    const Result file = RunCli(args);
    EXPECT_EQ(file.Status, 0);
    EXPECT_EQ(file.Err, "");
}

// Ctrl-C in the middle of a long run: the run stops at the next column, removes its
// grid files and the tool exits with 3.
TEST(QuadrelCli, InterruptedRunRemovesItsFiles) {
    testutil::TempDir dir;
    testutil::TempDir capture;
    // 3000 x 3700 cells of DKN 100 m as MIF: several seconds of writing.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string errFile = capture / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        RedirectInputFromNull();
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        Exec({"--grid", "dkn", "--size", "100m", "--area", "Denmark only (without Bornholm)",
              "--format", "mif", "--output", dir.path().string()});
    }
    close(out[1]);
    // The extent is printed before the run begins; then interrupt.
    std::string text;
    char buffer[256];
    while (text.find("Cells Y: 3700\n") == std::string::npos) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    kill(pid, SIGINT);
    text += ReadAll(out[0]);
    close(out[0]);
    EXPECT_EQ(WaitFor(pid), 3);
    EXPECT_EQ(text.find("Done"), std::string::npos) << text;
    EXPECT_EQ(testutil::ReadFileBytes(errFile), "quadrel-cli: error: Interrupted\n");
    EXPECT_TRUE(FilesIn(dir.path()).empty());
}

} // namespace
