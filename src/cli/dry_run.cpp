#include "dry_run.h"

#include "area_cells.h"
#include "cli_main.h"
#include "generation_run.h"
#include "output_folder.h"
#include "run_preview.h"

#include <optional>

namespace quadrel::cli {

namespace {

// The report's lines that need no folder.
void PrintEstimate(const TRunPreview& Preview, const TGridState& State, const TCliOptions& Options,
                   std::ostream& Out) {
    const TRunFormat& format = *Preview.Format.Effective;
    const TRunEstimates& estimates = Preview.Estimates;
    Out << "Format: " << format.Caption << "\n"
        << "Files: "
        << DisplayPath(Options.Output, State.FilePrefix + std::string(format.Extension)) << "\n"
        << "Cells: " << CandidateCells(State.GridExtent) << "\n";
    if (const std::string within = AreaCellsText(State, estimates.Cells); !within.empty())
        Out << within << "\n";
    Out << "Size estimate: " << estimates.Second << " bytes";
    if (estimates.Second >= 1000)
        Out << " (" << HumanSize(estimates.Second) << ")";
    Out << "\n";
}

// The question the run asks about a folder off the local disk; a dry run answers it
// as --yes would and otherwise takes it as No, as the run does without a terminal.
bool AnswerNotLocalQuestion(const TCliOptions& Options, std::ostream& Err) {
    if (Options.Yes) {
        if (!Options.Quiet)
            Err << NotLocalQuestion << "\nYes (--yes)\n";
        return true;
    }
    Err << NotLocalQuestion << "\nNo (a dry run asks nothing; give --yes to answer Yes)\n";
    return false;
}

} // namespace

int DryRun(const TCliOptions& Options, const TGridState& State, TCliReporter& Reporter,
           std::ostream& Err, const TDryRunSettings& Settings) {
    std::ostream& out = Reporter.Status();
    // The reasons of a refusal belong to the report; without its lines they go to
    // standard error, as a real run's do.
    std::ostream& reasons = Reporter.PrintsStatus() ? out : Err;
    const TRunPreview formatOnly = PreviewRun(State);
    PrintEstimate(formatOnly, State, Options, out);

    if (Options.Output.empty()) {
        if (Settings.StderrIsTerminal && !Options.Quiet)
            Err << "quadrel-cli: notice: without --output the folder's checks (local disk, file "
                   "system, free space) were not made\n";
    } else {
        const TFolderProbe probe = ProbeOutputFolder(Options.Output);
        if (!probe.Problem.empty()) {
            Err << "quadrel-cli: error: " << probe.Problem << "\n";
            return Reporter.Finish(esRunFailed, {probe.Problem});
        }
        const std::string folder = probe.Existing + '/';
        Reporter.Report().FolderChecked = true;
        if (Settings.FileSystem->DriveType(folder) != dtFixed &&
            !AnswerNotLocalQuestion(Options, Err))
            return Reporter.Finish(esRefused, {std::string(NotLocalQuestion) + " No"});
        const TRunPreview preview = PreviewRun(State, Settings.FileSystem, folder);
        if (!preview.Refusal) {
            const int64_t free = Settings.FileSystem->DiskFree(folder);
            out << "Folder checks: passed (" << Settings.FileSystem->FileSystemName(folder) << ", "
                << HumanSize(free) << " free)\n";
            return Reporter.Finish(esDone);
        }
        for (const std::string& text : preview.Refusal->Texts)
            reasons << text << "\n";
        return Reporter.Finish(esRefused, preview.Refusal->Texts);
    }

    if (formatOnly.Refusal) {
        for (const std::string& text : formatOnly.Refusal->Texts)
            reasons << text << "\n";
        return Reporter.Finish(esRefused, formatOnly.Refusal->Texts);
    }
    return Reporter.Finish(esDone);
}

} // namespace quadrel::cli
