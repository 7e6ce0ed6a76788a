#include "cli_report.h"

#include "area.h"
#include "cli_main.h"
#include "run_formats.h"
#include "run_preview.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace quadrel::cli {

namespace {

using nlohmann::ordered_json;

// Whole metres as integers, anything else as it is.
ordered_json Metres(double v) {
    if (std::nearbyint(v) == v && std::abs(v) < 9e15)
        return static_cast<int64_t>(v);
    return v;
}

const char* Outcome(int ExitStatus) {
    switch (ExitStatus) {
    case esDone:
        return "done";
    case esRefused:
        return "refused";
    default:
        return "error";
    }
}

} // namespace

std::string JsonReport(const TCliReport& r) {
    ordered_json files = ordered_json::array();
    for (const TWrittenFile& f : r.Files)
        files.push_back({{"name", f.Name}, {"path", f.Path}, {"bytes", f.Bytes}});
    const TGridExtent& e = r.Extent;
    ordered_json j = {
        {"grid", r.Grid},
        {"epsg", r.Epsg},
        {"size", r.Size},
        {"cell_size", r.CellSize},
        {"format", r.Format},
        {"requested_format", r.RequestedFormat},
        {"name", r.Name},
        {"folder", r.Folder},
        {"extent",
         {{"x1", Metres(e.X1)}, {"y1", Metres(e.Y1)}, {"x2", Metres(e.X2)}, {"y2", Metres(e.Y2)}}},
        {"cells", {{"x", e.CellsX}, {"y", e.CellsY}, {"total", r.Cells}}},
        {"size_estimate", r.SizeEstimate},
        {"dry_run", r.DryRun},
    };
    if (!r.Area.empty())
        j["area"] = r.Area; // the cells' total counts those within it
    if (r.DryRun)
        j["folder_checked"] = r.FolderChecked;
    j["files"] = std::move(files);
    j["elapsed_seconds"] = std::round(r.ElapsedSeconds * 1000) / 1000;
    j["outcome"] = Outcome(r.ExitStatus);
    j["message"] = r.Message.empty() ? ordered_json() : ordered_json(r.Message);
    j["exit_status"] = r.ExitStatus;
    // Invalid UTF-8 in a name the user typed is replaced rather than refused.
    return j.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

TCliReporter::TCliReporter(const TCliOptions& Options, const TGridState& State,
                           const TCliChoice& Choice, std::ostream& Out,
                           std::chrono::steady_clock::time_point Started)
    : FOut(Out), FJson(Options.Json), FPrintsStatus(!Options.Json && !Options.Quiet),
      FStarted(Started) {
    TCliReport& r = FReport;
    r.Grid = State.GridKind == gkDKN ? "dkn" : "eurogrid";
    r.Epsg = GridEpsg(State.GridKind);
    r.Size = State.Size() ? std::string(State.Size()->Label) : std::string();
    r.CellSize = State.CellSize;
    r.Format = std::string(Choice.Format.Effective->Name);
    r.RequestedFormat = std::string(Choice.Format.Requested->Name);
    r.Name = State.FilePrefix;
    r.Folder = Options.Output;
    r.Extent = State.GridExtent;
    // The estimates count the cells written: the extent's, the listed ones, or those
    // within the area.
    const TRunEstimates estimates = EstimateGrid(*Choice.Format.Effective, State);
    r.Cells = estimates.Cells;
    r.SizeEstimate = estimates.Second;
    if (State.Area)
        r.Area = State.Area->Description();
    r.DryRun = Options.DryRun;
}

int TCliReporter::Finish(int ExitStatus, const std::vector<std::string>& Reason) {
    FReport.ExitStatus = ExitStatus;
    FReport.Message.clear();
    for (const std::string& line : Reason)
        FReport.Message += (FReport.Message.empty() ? "" : "\n") + line;
    FReport.ElapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - FStarted).count();
    if (FJson)
        FOut << JsonReport(FReport) << "\n" << std::flush;
    return ExitStatus;
}

} // namespace quadrel::cli
