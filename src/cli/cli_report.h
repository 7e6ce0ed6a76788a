#pragma once
// What quadrel-cli tells a script: the status lines on standard output, or with
// --json one JSON object at the end instead (the grid, its extent and cells, the
// files written with their sizes, the time taken and how the run ended); nothing
// on standard output with --quiet.

#include "cli_options.h"
#include "grid_files.h"
#include "grid_state.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quadrel::cli {

struct TCliReport {
    // The grid asked for.
    std::string Grid; // "dkn" or "eurogrid"
    int32_t Epsg = 0;
    std::string Size; // the size label, "1km"
    int32_t CellSize = 0;
    std::string Format;          // the --format name of what is written
    std::string RequestedFormat; // differs when the format fell back to MIF/MID
    std::string Name;            // the base name of the files
    std::string Folder;          // --output as given; empty for a dry run without it
    TGridExtent Extent;
    int64_t Cells = 0; // the cells to write: the extent's, the listed ones or those within the area
    int64_t SizeEstimate = 0; // bytes, as the free-space check reckons them
    std::string Area;         // the area the grid is cut to; empty without one
    bool DryRun = false;
    bool FolderChecked = false; // a dry run with --output made the folder's checks
    // How it ended.
    std::vector<TWrittenFile> Files;
    double ElapsedSeconds = 0;
    int ExitStatus = 0;  // done (0), refused (1) or error (3)
    std::string Message; // the reason of a refusal or an error
};

// The JSON text of Report, one object on one line.
std::string JsonReport(const TCliReport& Report);

// The report of one run, and where its status lines go.
class TCliReporter {
public:
    TCliReporter(const TCliOptions& Options, const TGridState& State, const TCliChoice& Choice,
                 std::ostream& Out, std::chrono::steady_clock::time_point Started);
    TCliReporter(const TCliReporter&) = delete;
    TCliReporter& operator=(const TCliReporter&) = delete;

    // Where the status lines go: standard output, or nowhere with --quiet or --json.
    std::ostream& Status() { return FPrintsStatus ? FOut : FNowhere; }
    bool PrintsStatus() const { return FPrintsStatus; }
    TCliReport& Report() { return FReport; }

    // Ends the report with the exit status and the reason (several lines are joined
    // with line breaks); with --json prints it. Returns ExitStatus.
    int Finish(int ExitStatus, const std::vector<std::string>& Reason = {});

private:
    TCliReport FReport;
    std::ostream& FOut;
    std::ostream FNowhere{nullptr}; // a stream without a buffer writes nothing
    bool FJson;
    bool FPrintsStatus;
    std::chrono::steady_clock::time_point FStarted;
};

} // namespace quadrel::cli
