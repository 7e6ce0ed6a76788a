#pragma once
// The generation run's user as the desktop program has it: the folder chooser,
// questions and messages through the window's dialogs, the window's progress
// bar, the busy cursor over the application, and Qt's event loop.

#include "run_user_interface.h"
#include "user_dialogs.h"

class QProgressBar;

namespace quadrel {

class TQtRunUserInterface : public TRunUserInterface {
public:
    TQtRunUserInterface(TUserDialogs& Dialogs, QProgressBar& ProgressBar)
        : FDialogs(Dialogs), FProgressBar(ProgressBar) {}
    ~TQtRunUserInterface() override;

    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override;
    bool AskYesNo(const std::string& Text) override;
    void ShowMessage(const std::string& Text) override;
    void SetProgressMax(int32_t Max) override;
    void SetProgressPosition(int32_t Position) override;
    void SetBusyCursor() override;
    void RestoreCursor() override;
    void ProcessMessages() override;

    // Where the folder chooser opens when the run has no folder of its own yet (the
    // folder the program remembers from an earlier start).
    void SetFallbackStartFolder(std::string Folder) { FFallbackStartFolder = std::move(Folder); }
    // What the run writes into the chosen folder: the main file's name and the
    // number of cells. With it, "Done" becomes the dialogs' report of what was written.
    void SetDoneReport(std::string MainFileName, int64_t Cells);
    // The folder the user chose, once "Done" has been shown; empty otherwise.
    const std::string& DoneFolder() const { return FDoneFolder; }

private:
    TUserDialogs& FDialogs;
    QProgressBar& FProgressBar;
    int FCursorDepth = 0; // busy cursors set and not yet restored
    std::string FFallbackStartFolder;
    std::string FMainFileName;
    int64_t FCells = -1; // no report set
    std::string FChosenFolder;
    std::string FDoneFolder;
};

} // namespace quadrel
