#pragma once
// The generation run's only way to its user. The desktop program implements it
// with Qt dialogs, quadrel-cli with terminal prompts, flags and a progress bar on
// stderr, the tests with a scripted fake; the run itself knows none of them.
//
// A run talks to it in this order: ChooseFolder; AskYesNo when the folder is not
// on a local file system; ProcessMessages; ShowMessage for each reason that
// refuses the run (then it ends); SetBusyCursor; SetProgressMax(CellsX);
// SetProgressPosition(i + 1) and ProcessMessages after column i; SetProgressPosition(0);
// RestoreCursor; ShowMessage("Done"). When an error ends the run, SetProgressPosition(0)
// and RestoreCursor still come, and the error then reaches the caller.
// Every call comes from the thread that started the run.

#include <cstdint>
#include <string>

namespace quadrel {

class TRunUserInterface {
public:
    virtual ~TRunUserInterface() = default;

    // The folder dialog with this Caption ("Choose where to store the grid:"),
    // folders only, opened at StartFolder when that folder exists (StartFolder is the
    // folder of the previous run, empty for the first). Returns false when the user
    // cancels; otherwise true, with the chosen folder in Folder.
    virtual bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                              std::string& Folder) = 0;

    // A question with the answers Yes and No; true for Yes. Lines are separated by
    // '\n' ("It is MUCH faster to store on a local harddisk.\nDo you want to continue?").
    virtual bool AskYesNo(const std::string& Text) = 0;

    // A plain message with an OK button; returns once the user has seen it. Several
    // messages are shown one after the other, never merged.
    virtual void ShowMessage(const std::string& Text) = 0;

    // The progress bar runs from 0 to Max (the number of cell columns, which may be
    // 0). The run sets the position after every column, so an implementation that
    // draws on a terminal should redraw only on a visible change.
    virtual void SetProgressMax(int32_t Max) = 0;
    virtual void SetProgressPosition(int32_t Position) = 0;

    // The busy (hourglass) cursor over the window while the grid is written, and back.
    // RestoreCursor must not throw: it also runs while an error unwinds the run.
    virtual void SetBusyCursor() = 0;
    virtual void RestoreCursor() = 0;

    // Lets pending window events run once (repaint, progress bar); a no-op where
    // there is no event loop.
    virtual void ProcessMessages() = 0;
};

// Shows the busy cursor for its lifetime, so that the cursor comes back however
// the run ends.
class TBusyCursor {
public:
    explicit TBusyCursor(TRunUserInterface& UI) : FUI(UI) { FUI.SetBusyCursor(); }
    ~TBusyCursor() { FUI.RestoreCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TRunUserInterface& FUI;
};

} // namespace quadrel
