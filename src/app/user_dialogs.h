#pragma once
// The dialogs through which the window speaks to its user: plain messages, Yes/No
// questions, the folder chooser, the report of an error and modal boxes. The
// program shows them with Qt (TQtDialogs); tests put a scripted implementation in
// their place, so no test waits for a real message box.

#include <cstdint>
#include <memory>
#include <string>

class QDialog;
class QMessageBox;
class QWidget;

namespace quadrel {

// What a run that ended with "Done" wrote.
struct TDoneReport {
    std::string MainFile; // the full path of the grid's main file (".shp", ".mif", ...)
    std::string Folder;   // the folder it lies in
    int64_t Cells = 0;
};

class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;

    // A plain message with an OK button; returns once the user has seen it.
    virtual void ShowMessage(const std::string& Text) = 0;
    // A question with the answers Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& Text) = 0;
    // The folder chooser with this Caption, opened at StartFolder when it exists.
    // False when the user cancels; otherwise true with the chosen folder.
    virtual bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                              std::string& Folder) = 0;
    // The report of an error that ended a command: its message with an OK button.
    virtual void ShowError(const std::string& Text) = 0;
    // Shows a dialog modally and returns when it is closed.
    virtual void ShowModal(QDialog& Dialog) = 0;
    // The "Done" at the end of a run, with what it wrote; a plain "Done" unless the
    // dialogs can say more.
    virtual void ShowDone(const TDoneReport& Report);
};

// The dialogs as Qt shows them: QMessageBox, QFileDialog, QDialog::exec, all
// owned by Parent (may be null) and titled "Quadrel".
class TQtDialogs : public TUserDialogs {
public:
    explicit TQtDialogs(QWidget* Parent = nullptr) : FParent(Parent) {}
    void SetParent(QWidget* Parent) { FParent = Parent; }

    void ShowMessage(const std::string& Text) override;
    bool AskYesNo(const std::string& Text) override;
    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override;
    void ShowError(const std::string& Text) override;
    void ShowModal(QDialog& Dialog) override;
    // "Done", the main file's path and the number of cells, with OK and "Open
    // folder", which opens the folder in the desktop's file manager.
    void ShowDone(const TDoneReport& Report) override;

private:
    QWidget* FParent;
};

// The box ShowDone shows, made but not shown.
std::unique_ptr<QMessageBox> MakeDoneBox(const TDoneReport& Report, QWidget* Parent = nullptr);

} // namespace quadrel
