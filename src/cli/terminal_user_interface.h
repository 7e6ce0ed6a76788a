#pragma once
// The generation run's user on a terminal: the folder comes from --output, the
// Yes/No question is answered by --yes, by the user at a terminal, or else taken
// as No; "Done" goes to standard output, the messages of a check that refused the
// run, the progress bar and the questions go to standard error, the bar only when
// that is a terminal (or as plain lines for a log, with --progress).

#include "errors.h"
#include "output_folder.h"
#include "progress_lines.h"
#include "run_user_interface.h"

#include <csignal>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace quadrel::cli {

// The user asked the tool to stop (Ctrl-C, SIGTERM).
class EInterrupted : public Exception {
public:
    EInterrupted() : Exception("Interrupted") {}
};

struct TTerminalSettings {
    std::string Folder;         // --output
    bool AssumeYes = false;     // --yes
    bool CanAsk = false;        // standard input is a terminal that can answer
    bool ShowProgress = false;  // standard error is a terminal
    int Width = 60;             // characters of the bar itself
    bool ProgressLines = false; // --progress without a terminal: lines for a log
    bool Quiet = false;         // --quiet: nothing but what explains a failure
};

class TTerminalUserInterface : public TRunUserInterface {
public:
    // Interrupted, when given, is polled once per column and after a question; a
    // non-zero value stops the run with EInterrupted.
    TTerminalUserInterface(TTerminalSettings Settings, std::istream& In, std::ostream& Out,
                           std::ostream& Err,
                           const volatile std::sig_atomic_t* Interrupted = nullptr);

    // Creates the folder (with its parents) when it does not exist, as a GIS tool's
    // output folder is; raises EInOutError when that fails or the path is no folder.
    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override;
    bool AskYesNo(const std::string& Text) override;
    void ShowMessage(const std::string& Text) override;
    void SetProgressMax(int32_t Max) override;
    void SetProgressPosition(int32_t Position) override;
    void SetBusyCursor() override {}
    void RestoreCursor() override {}
    void ProcessMessages() override;

    // After a run that was refused or failed: removes the output folder again when
    // ChooseFolder made it and nothing is in it (see TOutputFolder).
    void RemoveCreatedFolder();
    // Why the run was refused: the messages of its checks, or the question answered
    // No; empty when none was refused.
    const std::vector<std::string>& Refusal() const { return FRefusal; }

private:
    void CheckInterrupted() const;
    void DrawBar(int32_t Position);

    TTerminalSettings FSettings;
    std::istream& FIn;
    std::ostream& FOut;
    std::ostream& FErr;
    const volatile std::sig_atomic_t* FInterrupted;
    TOutputFolder FFolder;
    TProgressLines FLines;
    std::vector<std::string> FRefusal;
    int32_t FMax = 0;
    int FDrawnPercent = -1; // -1: no bar on the line
    int FDrawnFill = -1;
};

} // namespace quadrel::cli
