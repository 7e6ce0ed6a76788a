// The generation run cut to an area against the same run of a rectangle: DKN 100 m
// cells over the W3 extent (440000..740000 x 6040000..6410000, 11.1 million
// candidate cells) cut to the built-in "Denmark land", and a rectangle of the same
// number of cells (those within the land) without an area, both to SHP. The area's
// run includes reading Denmark land with GDAL (the module is loaded in that run),
// counting the cells for the estimates and walking the row intervals of every
// column. Prints both times, the time per cell and their ratio (aim: at most 1.5),
// and the processor time of each, which a busy machine disturbs less.
//
// Each case runs in a child process of its own; the two cases take turns, and the
// medians are compared, so that a busy machine slows both alike.
//
//   bench_area_clip [--runs K] [--dir FOLDER]

#include "area_cells.h"
#include "area_reader.h"
#include "generation_run.h"
#include "measure.h"
#include "silent_user.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quadrel;

namespace {

constexpr double W3West = 440000, W3South = 6040000, W3East = 740000, W3North = 6410000;

TGridState W3Grid() {
    TGridState s;
    s.ChooseGridKind(gkDKN);
    s.ChooseFormat(ftSHP);
    s.ChooseSize(FindSizeByLabel(gkDKN, "100m")->Tag);
    s.SetCorners({W3West, W3South}, {W3East, W3North});
    return s;
}

void CutToDenmarkLand(TGridState& State) {
    LimitToArea(State, ReadBuiltInArea(*FindBuiltInArea("Denmark land"), 25832));
}

void Run(const TGridState& State, const std::string& Folder) {
    benchutil::SilentUser user(Folder);
    TGenerationRun run;
    if (run.Execute(State, user).Outcome != TRunOutcome::Done) {
        std::fprintf(stderr, "the run was refused\n");
        std::exit(1);
    }
}

// The cells of W3 within Denmark land, counted in a child, so that this process
// never loads GDAL and the area's runs pay for loading it.
int64_t CellsWithinInChild() {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        TGridState s = W3Grid();
        CutToDenmarkLand(s);
        const int64_t cells = CellsToWrite(s);
        _exit(write(fds[1], &cells, sizeof cells) == sizeof cells ? 0 : 1);
    }
    close(fds[1]);
    int64_t cells = 0;
    const bool got = read(fds[0], &cells, sizeof cells) == sizeof cells;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    if (!got) {
        std::fprintf(stderr, "counting the cells within Denmark land failed\n");
        std::exit(1);
    }
    return cells;
}

// User plus system time of the children reaped so far.
double ChildrenCpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(r.ru_utime) + seconds(r.ru_stime);
}

// One case in a child: its wall time (benchutil's) and its processor time.
struct Timed {
    benchutil::Result Result;
    double Cpu;
};
Timed RunTimed(const char* Name, const std::function<void()>& Work, const std::string& Folder) {
    const double before = ChildrenCpuSeconds();
    benchutil::Result r = benchutil::RunInChild(Name, Work, Folder);
    return {r, ChildrenCpuSeconds() - before};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--dir")
            dir = argv[i + 1];
    }
    const benchutil::OutputFolder folder(dir, "bench-area");

    const int64_t within = CellsWithinInChild();
    // The rectangle: the rows of W3, as many columns as make the same number of cells.
    const int64_t rows = static_cast<int64_t>((W3North - W3South) / 100);
    const int64_t columns = (within + rows / 2) / rows;
    const int64_t rectangle = rows * columns;

    std::printf("DKN 100 m to SHP; W3 = %.0f..%.0f x %.0f..%.0f, 11100000 candidate cells.\n"
                "Median of %d runs each, the two cases taking turns, each in its own process.\n\n",
                W3West, W3East, W3South, W3North, runs);
    std::vector<double> cut, plain, cutCpu, plainCpu;
    Timed cutRun{}, plainRun{};
    for (int k = 0; k < runs; ++k) {
        plainRun = RunTimed(
            "rectangle",
            [&] {
                TGridState s = W3Grid();
                s.SetCorners({W3West, W3South}, {W3West + 100.0 * columns, W3North});
                Run(s, folder.path());
            },
            folder.path());
        cutRun = RunTimed(
            "W3 cut to Denmark land",
            [&] {
                TGridState s = W3Grid();
                CutToDenmarkLand(s);
                Run(s, folder.path());
            },
            folder.path());
        plain.push_back(plainRun.Result.seconds);
        cut.push_back(cutRun.Result.seconds);
        plainCpu.push_back(plainRun.Cpu);
        cutCpu.push_back(cutRun.Cpu);
    }
    auto row = [](const char* Name, int64_t Cells, double Seconds, double Cpu,
                  const benchutil::Result& R) {
        std::printf("%-24s %10lld %9.3f %9.1f %9.3f %8.1f %8.1f\n", Name,
                    static_cast<long long>(Cells), Seconds,
                    Seconds / static_cast<double>(Cells) * 1e9, Cpu,
                    static_cast<double>(R.bytes) / 1e6, static_cast<double>(R.peakKiB) / 1024);
    };
    std::printf("%-24s %10s %9s %9s %9s %8s %8s\n", "case", "cells", "seconds", "ns/cell", "cpu s",
                "MB out", "peak MB");
    row("W3 cut to Denmark land", within, Median(cut), Median(cutCpu), cutRun.Result);
    row("rectangle, no area", rectangle, Median(plain), Median(plainCpu), plainRun.Result);
    const double perCell = (Median(cut) / static_cast<double>(within)) /
                           (Median(plain) / static_cast<double>(rectangle));
    const double perCellCpu = (Median(cutCpu) / static_cast<double>(within)) /
                              (Median(plainCpu) / static_cast<double>(rectangle));
    std::printf("\nratio per cell, cut / rectangle: %.2f in time (aim: at most 1.50), %.2f in "
                "processor time\n",
                perCell, perCellCpu);
    return 0;
}
