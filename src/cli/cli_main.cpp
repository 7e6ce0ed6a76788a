#include "cli_main.h"

#include "cli_cells.h"
#include "cli_options.h"
#include "generation_run.h"
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

// "212 bytes", "35.1 MB", "7.7 GB".
std::string HumanSize(int64_t Bytes) {
    const double b = static_cast<double>(Bytes);
    char text[48];
    if (Bytes < 1000)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(Bytes));
    else if (b < 1e6)
        std::snprintf(text, sizeof text, "%.1f kB", b / 1e3);
    else if (b < 1e9)
        std::snprintf(text, sizeof text, "%.1f MB", b / 1e6);
    else
        std::snprintf(text, sizeof text, "%.1f GB", b / 1e9);
    return text;
}

// --dry-run: the extent has been printed; add the format, the files, the cells and
// the size estimate. The format's own limits (its bounds, 2 GB) need no folder, so
// a dry run reports them as the run would.
int DryRun(const TCliOptions& Options, const TGridState& State, const TRunFormat& Format,
           std::ostream& Out) {
    const TRunEstimates estimates = EstimateRun(Format, State);
    Out << "Format: " << Format.Caption << "\n"
        << "Files: "
        << DisplayPath(Options.Output, State.FilePrefix + std::string(Format.Extension)) << "\n"
        << "Cells: " << estimates.Cells << "\n"
        << "Size estimate: " << estimates.Second << " bytes";
    if (estimates.Second >= 1000)
        Out << " (" << HumanSize(estimates.Second) << ")";
    Out << "\n";
    if (const std::string text = BoundsRefusal(Format, State.GridKind, State.GridExtent);
        !text.empty()) {
        Out << text << "\n";
        return esRefused;
    }
    if (const std::string_view text = SizeLimitRefusal(Format, estimates); !text.empty()) {
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

    if (const std::string notice = FormatNotice(choice); !notice.empty())
        Err << "quadrel-cli: notice: " << notice << "\n";
    for (const std::string& text : StatusTexts(state.GridExtent))
        Out << text << "\n";
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
