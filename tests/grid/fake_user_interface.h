#pragma once
// A scripted stand-in for the run's user: answers the folder dialog and the Yes/No
// question from its script and records every call in order, so a test can check
// what the user saw.

#include "run_user_interface.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testutil {

class FakeUserInterface : public quadrel::TRunUserInterface {
public:
    // The script.
    bool ChooseAFolder = true;  // false: the user cancels the dialog
    std::string FolderToChoose; // the folder the user picks
    bool AnswerYes = true;
    // Runs inside every ProcessMessages call, as pending window events would (a
    // test may change the grid state there, or throw to end the run).
    std::function<void()> OnProcessMessages;

    // What happened, one entry per call: "ChooseFolder <caption> | <start>",
    // "AskYesNo <text>", "ShowMessage <text>", "ProgressMax <n>", "Progress <n>",
    // "BusyCursor", "RestoreCursor", "ProcessMessages".
    std::vector<std::string> Calls;
    // Just the texts of ShowMessage, in order.
    std::vector<std::string> Messages;
    int CursorDepth = 0;

    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override {
        Calls.push_back("ChooseFolder " + Caption + " | " + StartFolder);
        if (ChooseAFolder)
            Folder = FolderToChoose;
        return ChooseAFolder;
    }
    bool AskYesNo(const std::string& Text) override {
        Calls.push_back("AskYesNo " + Text);
        return AnswerYes;
    }
    void ShowMessage(const std::string& Text) override {
        Calls.push_back("ShowMessage " + Text);
        Messages.push_back(Text);
    }
    void SetProgressMax(int32_t Max) override {
        Calls.push_back("ProgressMax " + std::to_string(Max));
    }
    void SetProgressPosition(int32_t Position) override {
        Calls.push_back("Progress " + std::to_string(Position));
    }
    void SetBusyCursor() override {
        Calls.push_back("BusyCursor");
        ++CursorDepth;
    }
    void RestoreCursor() override {
        Calls.push_back("RestoreCursor");
        --CursorDepth;
    }
    void ProcessMessages() override {
        Calls.push_back("ProcessMessages");
        if (OnProcessMessages)
            OnProcessMessages();
    }
};

} // namespace testutil
