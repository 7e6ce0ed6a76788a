#include "cli_main.h"

#include "area_cells.h"
#include "cli_cells.h"
#include "cli_options.h"
#include "cli_report.h"
#include "dry_run.h"
#include "generation_run.h"
#include "grid_files.h"
#include "terminal_user_interface.h"

#include <chrono>
#include <string>

namespace quadrel::cli {

int RunQuadrelCli(std::span<const std::string_view> Args, std::istream& In, std::ostream& Out,
                  std::ostream& Err, const TProcessFacts& Facts) {
    const auto started = std::chrono::steady_clock::now();
    TCliOptions options;
    TGridState state;
    TCliChoice choice{};
    try {
        options = ParseCommandLine(Args);
        if (options.Help) {
            Out << HelpText();
            return esDone;
        }
        if (options.Version) {
            Out << VersionText();
            return esDone;
        }
        if (options.HasCellAt) {
            PrintCellsAt(options, Out);
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

    TCliReporter reporter(options, state, choice, Out, started);
    std::ostream& status = reporter.Status();
    if (const std::string notice = FormatNotice(choice); !notice.empty() && !options.Quiet)
        Err << "quadrel-cli: notice: " << notice << "\n";
    for (const std::string& notice : choice.AreaNotices)
        if (!options.Quiet)
            Err << "quadrel-cli: notice: " << notice << "\n";
    for (const std::string& text : StatusTexts(state.GridExtent))
        status << text << "\n";
    if (const std::string within = AreaCellsText(state, CellsToWrite(state)); !within.empty())
        status << within << "\n";
    status << std::flush;
    if (options.DryRun)
        return DryRun(options, state, reporter, Err, {Facts.StderrIsTerminal});

    TTerminalSettings settings;
    settings.Folder = options.Output;
    settings.AssumeYes = options.Yes;
    settings.CanAsk = Facts.StdinIsTerminal;
    settings.ShowProgress = Facts.StderrIsTerminal && !options.Quiet;
    settings.ProgressLines = options.Progress && !Facts.StderrIsTerminal;
    settings.Quiet = options.Quiet;
    TTerminalUserInterface ui(settings, In, status, Err, Facts.Interrupted);
    const TGridFileWatch files(
        options.Output, GridFileNames(*choice.Format.Effective, state.GridKind, state.FilePrefix));
    TGenerationRun run;
    try {
        const TRunResult result = run.Execute(state, ui);
        reporter.Report().Files = files.Written();
        if (result.Outcome != TRunOutcome::Done) {
            ui.RemoveCreatedFolder();
            return reporter.Finish(esRefused, ui.Refusal());
        }
        status << result.Estimates.Cells << " cells written to "
               << DisplayPath(options.Output,
                              state.FilePrefix + std::string(result.Format->Extension))
               << "\n";
        return reporter.Finish(esDone);
    } catch (const std::exception& e) {
        Err << "quadrel-cli: error: " << e.what() << "\n";
        ui.RemoveCreatedFolder();
        reporter.Report().Files = files.Written();
        return reporter.Finish(esRunFailed, {e.what()});
    }
}

} // namespace quadrel::cli
