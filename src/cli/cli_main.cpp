#include "cli_main.h"

#include "area_cells.h"
#include "cli_options.h"
#include "generation_run.h"
#include "run_preview.h"
#include "terminal_user_interface.h"

#include <cstdio>
#include <string>

namespace quadrel::cli {

namespace {

// Folder and file name for the user's eye: one separator between them.
std::string DisplayPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty())
        return Name;
    return Folder.back() == '/' ? Folder + Name : Folder + "/" + Name;
}

// --dry-run: the extent has been printed; add the format, the files, the cells and
// the size estimate. The format's own limits (its bounds, 2 GB) need no folder, so
// a dry run reports them as the run would.
int DryRun(const TCliOptions& Options, const TGridState& State, const TRunFormat& Format,
           std::ostream& Out) {
    const TRunPreview preview = PreviewRun(State);
    const TRunEstimates& estimates = preview.Estimates;
    Out << "Format: " << Format.Caption << "\n"
        << "Files: "
        << DisplayPath(Options.Output, State.FilePrefix + std::string(Format.Extension)) << "\n"
        << "Cells: " << CandidateCells(State.GridExtent) << "\n";
    if (const std::string within = AreaCellsText(State, estimates.Cells); !within.empty())
        Out << within << "\n";
    Out << "Size estimate: " << estimates.Second << " bytes";
    if (estimates.Second >= 1000)
        Out << " (" << HumanSize(estimates.Second) << ")";
    Out << "\n";
    if (preview.Refusal) {
        for (const std::string& text : preview.Refusal->Texts)
            Out << text << "\n";
        return esRefused;
    }
    return esDone;
}

} // namespace

int RunQuadrelCli(std::span<const std::string_view> Args, std::istream& In, std::ostream& Out,
                  std::ostream& Err, const TProcessFacts& Facts) {
    TCliOptions options;
    TGridState state;
    TCliChoice choice{};
    try {
        options = ParseCommandLine(Args);
        if (options.Help) {
            Out << HelpText();
            return esDone;
        }
        choice = ApplyToGridState(options, state);
    } catch (const EUsageError& e) {
        Err << "quadrel-cli: " << e.what() << "\nTry 'quadrel-cli --help' for more information.\n";
        return esUsage;
    } catch (const std::exception& e) {
        Err << "quadrel-cli: error: " << e.what() << "\n";
        return esRunFailed;
    }

    if (const std::string notice = FormatNotice(choice); !notice.empty())
        Err << "quadrel-cli: notice: " << notice << "\n";
    for (const std::string& notice : choice.AreaNotices)
        Err << "quadrel-cli: notice: " << notice << "\n";
    for (const std::string& text : StatusTexts(state.GridExtent))
        Out << text << "\n";
    if (const std::string within = AreaCellsText(state, CellsToWrite(state)); !within.empty())
        Out << within << "\n";
    Out << std::flush;
    const TRunFormat& format = *choice.Format.Effective;
    if (options.DryRun)
        return DryRun(options, state, format, Out);

    TTerminalSettings settings;
    settings.Folder = options.Output;
    settings.AssumeYes = options.Yes;
    settings.CanAsk = Facts.StdinIsTerminal;
    settings.ShowProgress = Facts.StderrIsTerminal;
    TTerminalUserInterface ui(settings, In, Out, Err, Facts.Interrupted);
    TGenerationRun run;
    try {
        const TRunResult result = run.Execute(state, ui);
        if (result.Outcome != TRunOutcome::Done)
            return esRefused;
        Out << result.Estimates.Cells << " cells written to "
            << DisplayPath(options.Output, state.FilePrefix + std::string(result.Format->Extension))
            << "\n";
        return esDone;
    } catch (const std::exception& e) {
        Err << "quadrel-cli: error: " << e.what() << "\n";
        return esRunFailed;
    }
}

} // namespace quadrel::cli
