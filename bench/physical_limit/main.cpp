// How close quadrel-cli comes to the cost of writing its bytes: the real program,
// as a child process, writes DKN 100 m grids to SHP and to MIF, and in the same run
// a forked child writes exactly the same number of bytes into the same number of
// files with plain write() calls of 1 MiB. Both are whole processes measured by the
// kernel (CPU = user + system time from wait4; wall from fork to exit); the ratio
// run / plain is what the run costs beyond the disk's own work. GDAL's shapefile
// driver writes the 1,000,000-cell grid as the peer row. A second table measures
// quadrel-cli's start-up: --dry-run and 20-cell grids.
//
//   bench_physical_limit [--runs N] [--big-runs N] [--gdal-runs N] [--startup-runs N]
//                        [--no-big] [--no-gdal] [--dir FOLDER] [--cli PATH]
//
// The 11.1-million-cell grid writes about 1.8 GB: the output folder (a fresh one in
// the temporary folder unless --dir names one) must be on a local disk with room.
// Every output is deleted right after it has been measured.

#include "measure.h"
#include "process_cost.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

#ifndef QUADREL_CLI_PATH
#define QUADREL_CLI_PATH "quadrel-cli"
#endif

using namespace benchutil;

namespace {

constexpr size_t Chunk = 1 << 20;

struct Workload {
    const char* Name;
    double X1, Y1, X2, Y2; // DKN metres; 100 m cells
    int64_t Cells() const {
        return static_cast<int64_t>((X2 - X1) / 100) * static_cast<int64_t>((Y2 - Y1) / 100);
    }
    std::string Corners() const {
        char text[96];
        std::snprintf(text, sizeof text, "%.0f,%.0f,%.0f,%.0f", X1, Y1, X2, Y2);
        return text;
    }
};

constexpr Workload W2{"W2", 440000, 6040000, 540000, 6140000}; // 1,000,000 cells
constexpr Workload W3{"W3", 440000, 6040000, 740000, 6410000}; // 11,100,000 cells

struct Settings {
    int Runs = 5, BigRuns = 3, GdalRuns = 3, StartupRuns = 21;
    bool Big = true, Gdal = true;
    std::string Dir, Cli = QUADREL_CLI_PATH;
};

struct Row {
    std::string Workload, Case;
    int64_t Cells = 0;
    size_t Files = 0;
    uint64_t Bytes = 0;
    ProcessCost Cost;
};

Row MakeRow(const Workload& W, std::string Case, int64_t Cells, const std::vector<FileSize>& Files,
            const std::vector<ProcessCost>& Costs) {
    return {W.Name, std::move(Case), Cells, Files.size(), TotalBytes(Files), MedianCost(Costs)};
}

void PrintHeader() {
    std::printf("%-4s %-28s %9s %5s %8s %8s %8s %8s %8s %8s %7s %7s\n", "", "case", "cells",
                "files", "MB out", "CPU s", "user s", "sys s", "wall s", "peak MB", "CPU x",
                "wall x");
}

void PrintRow(const Row& r, const ProcessCost* Plain) {
    std::printf("%-4s %-28s %9lld %5zu %8.1f %8.3f %8.3f %8.3f %8.3f %8.1f", r.Workload.c_str(),
                r.Case.c_str(), static_cast<long long>(r.Cells), r.Files,
                static_cast<double>(r.Bytes) / 1e6, r.Cost.cpu(), r.Cost.user, r.Cost.sys,
                r.Cost.wall, static_cast<double>(r.Cost.peakKiB) / 1024);
    if (Plain)
        std::printf(" %7.2f %7.2f", r.Cost.cpu() / Plain->cpu(), r.Cost.wall / Plain->wall);
    std::printf("\n");
}

std::vector<std::string> CliArgs(const Settings& S, const std::vector<std::string>& Rest) {
    std::vector<std::string> args{S.Cli};
    args.insert(args.end(), Rest.begin(), Rest.end());
    return args;
}

// The run and the plain writes of its bytes, alternately, Runs times each; returns
// the plain writes' cost.
ProcessCost MeasureRun(const Settings& S, const Workload& W, const char* Format, double Target,
                       int Runs, const std::string& Folder, std::vector<std::string>& Verdicts) {
    const std::string runDir = Folder + "/run", plainDir = Folder + "/plain";
    std::filesystem::create_directories(plainDir);
    const std::vector<char> pattern(Chunk, 'x');
    std::vector<ProcessCost> run, plain;
    std::vector<FileSize> files;
    for (int i = 0; i < Runs; ++i) {
        run.push_back(
            RunProgram(CliArgs(S, {"--grid", "dkn", "--size", "100m", "--corners", W.Corners(),
                                   "--format", Format, "--output", runDir, "--yes"})));
        files = FilesIn(runDir);
        std::filesystem::remove_all(runDir);
        plain.push_back(
            RunForked("plain writes", [&] { WritePlainFiles(plainDir, files, pattern, Chunk); }));
        EmptyFolder(plainDir);
    }
    const Row r = MakeRow(W, std::string("quadrel-cli ") + Format, W.Cells(), files, run);
    const Row p = MakeRow(W, "plain write(), same bytes", 0, files, plain);
    PrintRow(r, &p.Cost);
    PrintRow(p, nullptr);
    const double ratio = r.Cost.cpu() / p.Cost.cpu();
    char verdict[160];
    std::snprintf(verdict, sizeof verdict,
                  "%s %-4s CPU %.2f x the plain writes (target <= %.0f): %s", W.Name, Format, ratio,
                  Target, ratio <= Target ? "met" : "NOT met");
    Verdicts.push_back(verdict);
    return p.Cost;
}

// GDAL's shapefile driver on the same cells, with the run's field and rings. The child
// is forked from this program, which has GDAL loaded already: its start-up is not
// counted, which favours GDAL.
void MeasureGdal(const Settings& S, const Workload& W, const std::string& Folder,
                 const ProcessCost& PlainOfRun) {
    const std::string dir = Folder + "/gdal";
    std::filesystem::create_directories(dir);
    const double size = 100;
    const auto rows = static_cast<int64_t>((W.Y2 - W.Y1) / size);
    const SquareGrid squares{W.X1, W.Y1, size, W.Cells(), rows};
    std::vector<ProcessCost> costs;
    std::vector<FileSize> files;
    for (int i = 0; i < S.GdalRuns; ++i) {
        costs.push_back(RunForked("GDAL", [&] {
            auto name = [](int64_t, int64_t, double x, double y, char(&Name)[64]) {
                std::snprintf(Name, sizeof Name, "100m_%ld_%ld", static_cast<long>(y) / 100,
                              static_cast<long>(x) / 100);
            };
            WriteSquaresWithGdal(squares, name, "ESRI Shapefile", dir + "/DKN_100m_euref89.shp",
                                 nullptr, "DKN_100m_euref89", "KN100mDK", 25832);
        }));
        files = FilesIn(dir);
        EmptyFolder(dir);
    }
    const Row g = MakeRow(W, "GDAL ESRI Shapefile (peer)", W.Cells(), files, costs);
    PrintRow(g, &PlainOfRun);
}

// Start-up: a dry run and 20-cell grids (DKN 10 km over Bornholm).
void MeasureStartup(const Settings& S, const std::string& Folder,
                    std::vector<std::string>& Verdicts) {
    const std::string dir = Folder + "/startup";
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        bool Target;
    };
    const std::vector<std::string> grid{"--grid", "dkn", "--size", "10km", "--area", "bornholm"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> a = grid;
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    const Case cases[] = {
        {"--dry-run, SHP", with({"--format", "shp", "--dry-run"}), true},
        {"--dry-run, MIF", with({"--format", "mif", "--dry-run"}), true},
        {"20 cells to SHP", with({"--format", "shp", "--output", dir}), true},
        {"20 cells to MIF", with({"--format", "mif", "--output", dir}), true},
        {"--dry-run, TAB (binds MITAB)", with({"--format", "tab", "--dry-run"}), false},
    };
    std::printf(
        "\nStart-up: quadrel-cli on DKN 10 km cells over Bornholm (20 cells); median of %d "
        "runs.\nTarget for the formats other than TAB: at most 10 ms CPU and 16 MB peak.\n\n",
        S.StartupRuns);
    std::printf("%-30s %8s %8s %8s %8s %8s\n", "case", "CPU ms", "user ms", "sys ms", "wall ms",
                "peak MB");
    for (const Case& c : cases) {
        std::vector<ProcessCost> costs;
        for (int i = 0; i < S.StartupRuns; ++i) {
            costs.push_back(RunProgram(CliArgs(S, c.Args)));
            std::filesystem::remove_all(dir);
        }
        const ProcessCost m = MedianCost(costs);
        const double mb = static_cast<double>(m.peakKiB) / 1024;
        std::printf("%-30s %8.2f %8.2f %8.2f %8.2f %8.1f\n", c.Name, m.cpu() * 1e3, m.user * 1e3,
                    m.sys * 1e3, m.wall * 1e3, mb);
        if (c.Target) {
            char verdict[160];
            const bool met = m.cpu() <= 0.010 && mb <= 16;
            std::snprintf(
                verdict, sizeof verdict,
                "start-up, %-16s %.2f ms CPU, %.1f MB peak (target <= 10 ms, <= 16 MB): %s", c.Name,
                m.cpu() * 1e3, mb, met ? "met" : "NOT met");
            Verdicts.push_back(verdict);
        }
    }
}

std::string FileSystemType(const std::string& Folder) {
    struct statfs s {};
    if (statfs(Folder.c_str(), &s) != 0)
        return "?";
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0xEF53:
        return "ext4";
    case 0x01021994:
        return "tmpfs";
    case 0x58465342:
        return "xfs";
    case 0x9123683E:
        return "btrfs";
    default: {
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(s.f_type));
        return hex;
    }
    }
}

Settings ParseArgs(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&] {
            if (!value) {
                std::fprintf(stderr, "%s needs a value\n", opt.c_str());
                std::exit(2);
            }
            ++i;
            return std::max(1, std::atoi(value));
        };
        if (opt == "--runs")
            s.Runs = number();
        else if (opt == "--big-runs")
            s.BigRuns = number();
        else if (opt == "--gdal-runs")
            s.GdalRuns = number();
        else if (opt == "--startup-runs")
            s.StartupRuns = number();
        else if (opt == "--no-big")
            s.Big = false;
        else if (opt == "--no-gdal")
            s.Gdal = false;
        else if (opt == "--dir" && value)
            s.Dir = argv[++i];
        else if (opt == "--cli" && value)
            s.Cli = argv[++i];
        else {
            std::fprintf(stderr, "unknown option %s\n", opt.c_str());
            std::exit(2);
        }
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const Settings s = ParseArgs(argc, argv);
    if (access(s.Cli.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "cannot run %s\n", s.Cli.c_str());
        return 1;
    }
    const OutputFolder folder(s.Dir, "bench-physical");
    std::printf("quadrel-cli: %s\noutput folder: %s (%s)\n\n", s.Cli.c_str(), folder.path().c_str(),
                FileSystemType(folder.path()).c_str());
    std::printf("DKN 100 m cells. Whole processes: CPU = user + system time, wall = fork to exit;\n"
                "median of %d runs (W3: %d, GDAL: %d). The plain row writes the same number of\n"
                "bytes into the same files with write() calls of 1 MiB; CPU x and wall x are\n"
                "against the plain row of the same workload and format.\n\n",
                s.Runs, s.BigRuns, s.GdalRuns);
    PrintHeader();
    std::vector<std::string> verdicts;
    const ProcessCost plainW2 = MeasureRun(s, W2, "shp", 2, s.Runs, folder.path(), verdicts);
    // The GDAL row is held against the plain writes of the run's shapefile.
    if (s.Gdal)
        MeasureGdal(s, W2, folder.path(), plainW2);
    MeasureRun(s, W2, "mif", 3, s.Runs, folder.path(), verdicts);
    if (s.Big) {
        MeasureRun(s, W3, "shp", 2, s.BigRuns, folder.path(), verdicts);
        MeasureRun(s, W3, "mif", 3, s.BigRuns, folder.path(), verdicts);
    }
    MeasureStartup(s, folder.path(), verdicts);
    std::printf("\n");
    for (const std::string& v : verdicts)
        std::printf("%s\n", v.c_str());
    return 0;
}
