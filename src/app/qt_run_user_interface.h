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

private:
    TUserDialogs& FDialogs;
    QProgressBar& FProgressBar;
    int FCursorDepth = 0; // busy cursors set and not yet restored
};

} // namespace quadrel
