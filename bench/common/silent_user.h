#pragma once
// The generation run's user when nobody is there: the folder is given and every
// question is answered Yes. For benchmarks that link the grid core.

#include "run_user_interface.h"

#include <string>
#include <utility>

namespace benchutil {

class SilentUser : public quadrel::TRunUserInterface {
public:
    explicit SilentUser(std::string Folder) : FFolder(std::move(Folder)) {}
    bool ChooseFolder(const std::string&, const std::string&, std::string& Folder) override {
        Folder = FFolder;
        return true;
    }
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string&) override {}
    void SetProgressMax(int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void SetBusyCursor() override {}
    void RestoreCursor() override {}
    void ProcessMessages() override {}

private:
    std::string FFolder;
};

} // namespace benchutil
