#pragma once
// Stand-ins for the window's dialogs and the desktop's open action: the dialogs
// answer from a script and record what the user would have seen, and the opener
// records the addresses instead of starting a browser.

#include "uCommon.h"
#include "user_dialogs.h"

#include <QDialog>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

class ScriptedDialogs : public quadrel::TUserDialogs {
public:
    // The script.
    bool ChooseAFolder = true;  // false: the user cancels the folder chooser
    std::string FolderToChoose; // what the user picks
    bool AnswerYes = true;      // the answer to every Yes/No question
    // Runs inside the folder chooser, while the caller waits for the user.
    std::function<void()> WhileChoosingFolder;
    // Runs inside ShowModal: what the user does in the dialog (e.g. type and press OK).
    std::function<void(QDialog&)> WhileModal;

    // What the user saw, in order: "message <text>", "question <text>",
    // "folder <caption> | <start>", "error <text>", "modal <window title>".
    std::vector<std::string> Seen;
    std::vector<std::string> Messages; // the texts of plain messages only
    std::vector<std::string> Errors;   // the texts of error reports only
    // The reports of "Done" (each also seen as the message "Done").
    std::vector<quadrel::TDoneReport> DoneReports;

    void ShowMessage(const std::string& Text) override {
        Seen.push_back("message " + Text);
        Messages.push_back(Text);
    }
    bool AskYesNo(const std::string& Text) override {
        Seen.push_back("question " + Text);
        return AnswerYes;
    }
    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override {
        Seen.push_back("folder " + Caption + " | " + StartFolder);
        if (WhileChoosingFolder)
            WhileChoosingFolder();
        if (ChooseAFolder)
            Folder = FolderToChoose;
        return ChooseAFolder;
    }
    void ShowError(const std::string& Text) override {
        Seen.push_back("error " + Text);
        Errors.push_back(Text);
    }
    void ShowModal(QDialog& Dialog) override {
        Seen.push_back("modal " + Dialog.windowTitle().toStdString());
        LastModal = &Dialog;
        if (WhileModal)
            WhileModal(Dialog);
    }
    void ShowDone(const quadrel::TDoneReport& Report) override {
        ShowMessage("Done");
        DoneReports.push_back(Report);
    }
    QDialog* LastModal = nullptr;
};

// Records what ShellRun would open while it lives.
class OpenedUrls {
public:
    OpenedUrls() {
        fPrevious = quadrel::SetShellOpener([this](const QUrl& u) { Urls.push_back(u); });
    }
    ~OpenedUrls() { quadrel::SetShellOpener(std::move(fPrevious)); }
    OpenedUrls(const OpenedUrls&) = delete;
    OpenedUrls& operator=(const OpenedUrls&) = delete;
    std::vector<QUrl> Urls;

private:
    quadrel::TShellOpener fPrevious;
};

} // namespace apptest
