// The built quadrel-cli in scripts and pipelines: the new options as a table of
// command lines with their exit statuses, the --json report read back with a JSON
// parser, --quiet and --progress, the folder a refused run takes away, dry runs
// that check the folder, the signals that stop a run and a stdout closed early.

#include "cli_runner.h"
#include "run_formats.h"
#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using clitest::Exec;
using clitest::ReadAll;
using clitest::RedirectInputFromNull;
using clitest::Result;
using clitest::RunCli;
using clitest::Stderr;
using clitest::WaitFor;
using testutil::FilesIn;

const std::vector<std::string> SixCellsArgs{"--grid", "dkn", "--corners",
                                            "440000,6200000,443000,6202000"};
const std::string SixCells = "X1: 440000\nY1: 6200000\nX2: 443000\nY2: 6202000\n"
                             "Cells X: 3\nCells Y: 2\n";

std::vector<std::string> With(std::vector<std::string> Args,
                              std::initializer_list<std::string> More) {
    Args.insert(Args.end(), More);
    return Args;
}

// --- The command line as a table --------------------------------------------------------

TEST(QuadrelCliScripting, CommandLines) {
    testutil::TempDir dir;
    const bool gpkg = quadrel::FindRunFormatByName("gpkg") != nullptr;
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string OutStart; // the start of standard output
        std::string ErrStart; // the start of standard error (its first line, for a usage error)
    } cases[] = {
        {{"--version"}, 0, "quadrel-cli (Quadrel) 1.03\n", ""},
        {{"--version", "--bogus"}, 0, "quadrel-cli (Quadrel) 1.03\n", ""},
        {With(SixCellsArgs, {"-q", "-o", dir / "quiet"}), 0, "", ""},
        {With(SixCellsArgs, {"-yqo", dir / "bundled"}), 0, "", ""},
        {With(SixCellsArgs, {"--name", "six", "-o", dir / "named"}), 0,
         SixCells + "Done\n6 cells written to " + (dir / "named") + "/six.shp\n",
         "quadrel-cli: created folder " + (dir / "named") + "\n"},
        {With(SixCellsArgs, {"-f", "ESRI Shapefile", "-n"}), 0, SixCells + "Format: ESRI SHP\n",
         ""},
        {With(SixCellsArgs, {"-f", "MapInfo File", "-n"}), 0,
         SixCells + (quadrel::ResolveRunFormat(quadrel::ftTAB).FellBack() ? "Format: MapInfo MIF"
                                                                          : "Format: MapInfo TAB"),
         ""},
        {{"-g", "dkn", "-s", "10km", "--bbox-lonlat", "14.6,54.9,15.2,55.35", "-n"},
         0,
         "X1: 850000\nY1: 6090000\nX2: 900000\nY2: 6160000\nCells X: 5\nCells Y: 7\n",
         ""},
        // Refused by a check: exit 1 with the reason.
        {{"-g", "dkn", "-s", "100m", "-a", "All", "-n", "-o", dir.path().string()}, 1, "X1: ", ""},
        {{"-g", "dkn", "-s", "100m", "-a", "All", "-q", "-n"},
         1,
         "",
         "SHP format can not handle >2 GB as output\n"},
        // Usage errors: exit 2, nothing on standard output.
        {With(SixCellsArgs, {"-o", "x", "--name", "sub/six"}), 2, "",
         "quadrel-cli: --name is the base name of the files and cannot hold a folder separator"},
        {With(SixCellsArgs, {"-o", "x", "--name", "ninechars", "-f", "shp83"}), 2, "",
         "quadrel-cli: --name \"ninechars\" is longer than the 8 characters of shp83's file "
         "names\n"},
        {With(SixCellsArgs, {"-o", "x", "-q", "--progress"}), 2, "",
         "quadrel-cli: give either --quiet or --progress, not both\n"},
        {{"-g", "dkn", "-a", "All", "--bbox-lonlat", "8,54.5,15.2,57.8", "-o", "x"},
         2,
         "",
         "quadrel-cli: give either --area or --bbox-lonlat, not both\n"},
        {{"-g", "dkn", "--bbox-lonlat", "15.2,54.5,8,57.8", "-o", "x"},
         2,
         "",
         "quadrel-cli: --bbox-lonlat: W must be less than E, and S less than N\n"},
        {With(SixCellsArgs, {"-o", "x", "-z"}), 2, "", "quadrel-cli: unknown option \"-z\"\n"},
        {With(SixCellsArgs, {"-n", "-f", "GPKG"}), gpkg ? 0 : 2, gpkg ? SixCells : "",
         gpkg ? "" : "quadrel-cli: format \"GPKG\" (GeoPackage) is not in this build\n"},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& a : c.Args)
            trace += a + " ";
        SCOPED_TRACE(trace);
        const Result r = RunCli(c.Args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_EQ(r.Out.rfind(c.OutStart, 0), 0u) << r.Out;
        if (c.OutStart.empty()) {
            EXPECT_EQ(r.Out, "");
        }
        EXPECT_EQ(r.Err.rfind(c.ErrStart, 0), 0u) << r.Err;
        if (c.ErrStart.empty()) {
            EXPECT_EQ(r.Err, "");
        }
        if (c.Status == 2) {
            EXPECT_NE(r.Err.find("\nTry 'quadrel-cli --help'"), std::string::npos);
        }
    }
    EXPECT_FALSE(fs::exists("x"));
    EXPECT_TRUE(fs::exists(dir / "quiet/DKN_1km_euref89.shp"));
    EXPECT_TRUE(fs::exists(dir / "bundled/DKN_1km_euref89.shp"));
    EXPECT_EQ(FilesIn(dir / "named"), (std::set<std::string>{"six.avl", "six.prj", "six.cpg",
                                                             "six.shp", "six.shx", "six.dbf"}));
}

// --- --json ------------------------------------------------------------------------------

json ParseReport(const Result& r) {
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 1) << r.Out;
    try {
        return json::parse(r.Out);
    } catch (const json::exception& e) {
        ADD_FAILURE() << e.what() << "\n" << r.Out;
        return json::object();
    }
}

// The files of a report, each as name -> bytes; every path is the folder's.
std::map<std::string, int64_t> ReportedFiles(const json& Report, const std::string& Folder) {
    std::map<std::string, int64_t> files;
    for (const json& f : Report.at("files")) {
        EXPECT_EQ(f.at("path").get<std::string>(), Folder + "/" + f.at("name").get<std::string>());
        files[f.at("name").get<std::string>()] = f.at("bytes").get<int64_t>();
    }
    return files;
}

std::map<std::string, int64_t> SizesOf(const std::string& Folder,
                                       const std::set<std::string>& Names) {
    std::map<std::string, int64_t> sizes;
    for (const std::string& n : Names)
        sizes[n] = static_cast<int64_t>(fs::file_size(Folder + "/" + n));
    return sizes;
}

TEST(QuadrelCliScripting, JsonReportOfAWrittenGrid) {
    testutil::TempDir dir;
    const std::string folder = dir / "grid";
    const Result r = RunCli(With(SixCellsArgs, {"--json", "-o", folder}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "quadrel-cli: created folder " + folder + "\n");
    const json j = ParseReport(r);
    EXPECT_EQ(j.at("grid"), "dkn");
    EXPECT_EQ(j.at("epsg"), 25832);
    EXPECT_EQ(j.at("size"), "1km");
    EXPECT_EQ(j.at("cell_size"), 1000);
    EXPECT_EQ(j.at("format"), "shp");
    EXPECT_EQ(j.at("requested_format"), "shp");
    EXPECT_EQ(j.at("name"), "DKN_1km_euref89");
    EXPECT_EQ(j.at("folder"), folder);
    EXPECT_EQ(j.at("extent"), json::parse(R"({"x1":440000,"y1":6200000,"x2":443000,
                                              "y2":6202000})"));
    EXPECT_TRUE(j.at("extent").at("x1").is_number_integer());
    EXPECT_EQ(j.at("cells"), json::parse(R"({"x":3,"y":2,"total":6})"));
    EXPECT_EQ(j.at("size_estimate"), 6 * 206);
    EXPECT_EQ(j.at("dry_run"), false);
    EXPECT_FALSE(j.contains("folder_checked"));
    EXPECT_EQ(ReportedFiles(j, folder), SizesOf(folder, FilesIn(folder)));
    EXPECT_EQ(j.at("files").at(0).at("name"), "DKN_1km_euref89.shp");
    EXPECT_EQ(j.at("files").at(0).at("bytes"), 100 + 6 * 136);
    EXPECT_GE(j.at("elapsed_seconds").get<double>(), 0.0);
    EXPECT_LT(j.at("elapsed_seconds").get<double>(), 60.0);
    EXPECT_EQ(j.at("outcome"), "done");
    EXPECT_TRUE(j.at("message").is_null());
    EXPECT_EQ(j.at("exit_status"), 0);
}

// Refused, failed and dry runs: the outcome, its message and exactly the files this
// run wrote (a refused shapefile run has written its side files; an earlier grid's
// files of the same names are not this run's).
TEST(QuadrelCliScripting, JsonReportOfEveryOutcome) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    { std::ofstream(dir / "DKN_100m_euref89.shp") << "an earlier grid"; }
    { std::ofstream(dir / "plain-file") << "x"; }
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        int Status;
        const char* Outcome;
        std::string Message; // its start; empty: null
        std::set<std::string> Files;
        const char* FolderChecked; // dry runs only
    } cases[] = {
        {"refused",
         {"-g", "dkn", "-s", "100m", "-a", "All", "-o", folder},
         1,
         "refused",
         "SHP format can not handle >2 GB as output",
         {"DKN_100m_euref89.avl", "DKN_100m_euref89.prj"},
         nullptr},
        {"refused, two messages",
         {"-g", "eurogrid", "-s", "1m", "-c", "4300000,3500000,4700000,3800000", "-f", "mif", "-o",
          folder},
         1,
         "refused",
         "There is not enough space on your harddisk\nYou can try with SHP or TAB format - they "
         "are more compact",
         {},
         nullptr},
        {"error",
         With(SixCellsArgs, {"-o", dir / "plain-file"}),
         3,
         "error",
         "Cannot write into " + (dir / "plain-file") + ": it is not a folder",
         {},
         nullptr},
        {"dry run", With(SixCellsArgs, {"-n"}), 0, "done", "", {}, "false"},
        {"dry run with a folder",
         With(SixCellsArgs, {"-n", "-o", folder}),
         0,
         "done",
         "",
         {},
         "true"},
        {"dry run, refused",
         {"-g", "dkn", "-s", "100m", "-a", "All", "-n"},
         1,
         "refused",
         "SHP format can not handle >2 GB as output",
         {},
         "false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> args = c.Args;
        args.push_back("--json");
        const Result r = RunCli(args);
        EXPECT_EQ(r.Status, c.Status);
        const json j = ParseReport(r);
        EXPECT_EQ(j.value("outcome", ""), c.Outcome);
        EXPECT_EQ(j.value("exit_status", -1), c.Status);
        if (c.Message.empty()) {
            EXPECT_TRUE(j.at("message").is_null());
        } else {
            EXPECT_EQ(j.at("message").get<std::string>().rfind(c.Message, 0), 0u) << j.dump();
        }
        std::set<std::string> names;
        for (const auto& [name, bytes] : ReportedFiles(j, folder)) {
            names.insert(name);
            EXPECT_EQ(bytes, static_cast<int64_t>(fs::file_size(dir / name)));
        }
        EXPECT_EQ(names, c.Files);
        EXPECT_EQ(j.at("dry_run"), c.FolderChecked != nullptr);
        if (c.FolderChecked) {
            EXPECT_EQ(j.at("folder_checked").dump(), c.FolderChecked);
        }
    }
    EXPECT_EQ(testutil::ReadFileBytes(dir / "DKN_100m_euref89.shp"), "an earlier grid");

    // A usage error has no report: a script learns of it from the exit status.
    const Result usage = RunCli({"-g", "dkn", "--json"});
    EXPECT_EQ(usage.Status, 2);
    EXPECT_EQ(usage.Out, "");
}

// The report's files are what each format writes, as the folder holds them: every
// format of the run's table, so that a format added later is checked too.
TEST(QuadrelCliScripting, JsonListsTheFilesOfEveryFormat) {
    for (const quadrel::TRunFormat& f : quadrel::RunFormats()) {
        SCOPED_TRACE(f.Name);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        const Result r = RunCli({"-g", "dkn", "-s", "10km", "-a", "Bornholm", "-f",
                                 std::string(f.Name), "-o", folder, "--json"});
        ASSERT_EQ(r.Status, 0) << r.Err;
        const json j = ParseReport(r);
        EXPECT_EQ(ReportedFiles(j, folder), SizesOf(folder, FilesIn(folder)));
        EXPECT_EQ(j.at("requested_format"), f.Name);
    }
}

// --- Quiet, progress -----------------------------------------------------------------

TEST(QuadrelCliScripting, QuietAndProgress) {
    testutil::TempDir dir;
    const Result quiet = RunCli(With(SixCellsArgs, {"--quiet", "-o", dir / "q"}));
    EXPECT_EQ(quiet.Status, 0);
    EXPECT_EQ(quiet.Out, "");
    EXPECT_EQ(quiet.Err, ""); // not even "created folder"
    EXPECT_EQ(fs::file_size(dir / "q/DKN_1km_euref89.shp"), 100u + 6 * 136);

    // Refused under --quiet: the reasons only, on standard error.
    const Result refused =
        RunCli({"-g", "dkn", "-s", "100m", "-a", "All", "-q", "-o", dir.path().string()});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Out, "");
    EXPECT_EQ(refused.Err, "SHP format can not handle >2 GB as output\n");

    // --progress into a log file: lines, and stdout as without it.
    const Result logged = RunCli(With(SixCellsArgs, {"--progress", "-o", dir / "p"}));
    EXPECT_EQ(logged.Status, 0);
    EXPECT_EQ(logged.Out,
              SixCells + "Done\n6 cells written to " + (dir / "p") + "/DKN_1km_euref89.shp\n");
    EXPECT_EQ(logged.Err, "quadrel-cli: created folder " + (dir / "p") +
                              "\nquadrel-cli: progress 0% (0 of 3 columns)\n"
                              "quadrel-cli: progress 100% (3 of 3 columns)\n");

    // On a terminal the bar as ever; --quiet takes it away.
    const Result bar =
        RunCli(With(SixCellsArgs, {"--progress", "-o", dir / "p"}), Stderr::Terminal);
    EXPECT_NE(bar.Err.find("] 100% of 3 columns"), std::string::npos) << bar.Err;
    EXPECT_EQ(bar.Err.find("quadrel-cli: progress"), std::string::npos) << bar.Err;
    const Result quietBar = RunCli(With(SixCellsArgs, {"-q", "-o", dir / "p"}), Stderr::Terminal);
    EXPECT_EQ(quietBar.Status, 0);
    EXPECT_EQ(quietBar.Err, "");
}

// --- The folder of a refused run -------------------------------------------------------

TEST(QuadrelCliScripting, ARefusedRunTakesAwayTheFolderItMade) {
    testutil::TempDir dir;
    fs::create_directory(dir / "there");
    const std::vector<std::string> tooBigForTheDisk{
        "-g", "eurogrid", "-s", "1m", "-c", "4300000,3500000,4700000,3800000", "-f", "mif"};
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::string Folder;
        bool Kept;
        std::string Err;
    } cases[] = {
        {"made, nothing written", With(tooBigForTheDisk, {"-o", dir / "new/deeper"}), dir / "new",
         false,
         "quadrel-cli: created folder " + (dir / "new/deeper") +
             "\nThere is not enough space on your harddisk\n"
             "You can try with SHP or TAB format - they are more compact\n"
             "quadrel-cli: removed folder " +
             (dir / "new/deeper") + " again\n"},
        {"there before", With(tooBigForTheDisk, {"-o", dir / "there"}), dir / "there", true,
         "There is not enough space on your harddisk\n"
         "You can try with SHP or TAB format - they are more compact\n"},
        // The shapefile's side files come before the checks: the folder holds them.
        {"side files written",
         {"-g", "dkn", "-s", "100m", "-a", "All", "-o", dir / "shp"},
         dir / "shp",
         true,
         "quadrel-cli: created folder " + (dir / "shp") +
             "\nSHP format can not handle >2 GB as output\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const Result r = RunCli(c.Args);
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err, c.Err);
        EXPECT_EQ(fs::exists(c.Folder), c.Kept);
    }
    EXPECT_EQ(FilesIn(dir / "shp"),
              (std::set<std::string>{"DKN_100m_euref89.avl", "DKN_100m_euref89.prj"}));
}

// --- Dry runs ------------------------------------------------------------------------

// With --output a dry run finds what the run would: here a disk too small for 14.9
// TB; without it only the format's own limits are known, and a terminal is told so.
TEST(QuadrelCliScripting, DryRunChecksTheFolderOnlyWithOutput) {
    testutil::TempDir dir;
    const std::vector<std::string> huge{
        "-g", "eurogrid", "-s", "1m", "-c", "4300000,3500000,4700000,3800000", "-f", "mif", "-n"};
    const Result withFolder = RunCli(With(huge, {"-o", dir / "new"}));
    EXPECT_EQ(withFolder.Status, 1);
    EXPECT_TRUE(withFolder.Out.ends_with("Size estimate: 14880000000000 bytes (14.9 TB)\n"
                                         "There is not enough space on your harddisk\n"
                                         "You can try with SHP or TAB format - they are more "
                                         "compact\n"))
        << withFolder.Out;
    EXPECT_FALSE(fs::exists(dir / "new"));

    const Result without = RunCli(huge, Stderr::Terminal);
    EXPECT_EQ(without.Status, 0);
    EXPECT_NE(without.Err.find("quadrel-cli: notice: without --output the folder's checks (local "
                               "disk, file system, free space) were not made"),
              std::string::npos)
        << without.Err;

    const Result fits = RunCli(With(SixCellsArgs, {"-n", "-o", dir / "new"}));
    EXPECT_EQ(fits.Status, 0);
    EXPECT_NE(fits.Out.find("\nFolder checks: passed ("), std::string::npos) << fits.Out;

    { std::ofstream(dir / "file") << "x"; }
    const Result notAFolder = RunCli(With(SixCellsArgs, {"-n", "-o", dir / "file/sub"}));
    EXPECT_EQ(notAFolder.Status, 3);
    EXPECT_EQ(notAFolder.Err, "quadrel-cli: error: Cannot create folder " + (dir / "file/sub") +
                                  ": Not a directory\n");
    EXPECT_FALSE(fs::exists(dir / "new"));
}

// --- Signals and pipes ---------------------------------------------------------------

// A closed terminal (SIGHUP) and SIGTERM stop the run as Ctrl-C does: at the next
// column, its grid files and the folder it made removed, exit 3.
TEST(QuadrelCliScripting, HangUpAndTerminateStopTheRunAndRemoveItsFiles) {
    for (const int signal : {SIGHUP, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        testutil::TempDir dir, capture;
        const std::string folder = dir / "made";
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
            // 3000 x 3700 cells of DKN 100 m as MIF: several seconds of writing.
            Exec({"-g", "dkn", "-s", "100m", "-a", "Denmark only (without Bornholm)", "-f", "mif",
                  "-o", folder});
        }
        close(out[1]);
        std::string text;
        char buffer[256];
        while (text.find("Cells Y: 3700\n") == std::string::npos) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        kill(pid, signal);
        text += ReadAll(out[0]);
        close(out[0]);
        EXPECT_EQ(WaitFor(pid), 3);
        EXPECT_EQ(text.find("Done"), std::string::npos) << text;
        EXPECT_EQ(testutil::ReadFileBytes(errFile), "quadrel-cli: created folder " + folder +
                                                        "\nquadrel-cli: error: Interrupted\n"
                                                        "quadrel-cli: removed folder " +
                                                        folder + " again\n");
        EXPECT_FALSE(fs::exists(folder));
    }
}

// quadrel-cli | head -1: the reader is gone before the run ends; the grid is written
// all the same and the run exits 0 (no SIGPIPE, no failure for the lost lines).
TEST(QuadrelCliScripting, AStdoutClosedEarlyDoesNotStopTheRun) {
    testutil::TempDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    close(out[0]); // no reader at all: every write to stdout fails
    const pid_t pid = fork();
    if (pid == 0) {
        RedirectInputFromNull();
        dup2(out[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        Exec({"-g", "dkn", "-s", "100m", "-a", "Bornholm", "-f", "mif", "-o", dir.path().string()});
    }
    close(out[1]);
    EXPECT_EQ(WaitFor(pid), 0);
    // 400 x 500 cells: one attribute line each in the .mid.
    const std::string mid = testutil::ReadFileBytes(dir / "DKN_100m_euref89.mid");
    EXPECT_EQ(std::count(mid.begin(), mid.end(), '\n'), 200000);
}

} // namespace
