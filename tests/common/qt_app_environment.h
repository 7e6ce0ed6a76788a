#pragma once
// One application object for a whole Qt test program, made before its first test and
// destroyed after its last; meanwhile the map toolkit's message boxes go to a handler
// of the program's choosing. The platform plugin is chosen by QT_QPA_PLATFORM
// (offscreen) in the test's environment. For tests that link the map toolkit.

#include "PlaniMisc.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace testutil {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    QtApplicationEnvironment(std::string ProgramName, plani::TMessageHandler Handler)
        : name_(std::move(ProgramName)), handler_(std::move(Handler)) {}

    void SetUp() override {
        argv_[0] = name_.data();
        app_ = new QApplication(argc_, argv_);
        plani::SetMessageHandler(handler_);
    }
    void TearDown() override {
        plani::SetMessageHandler(nullptr);
        delete app_;
        app_ = nullptr;
    }

private:
    std::string name_;
    plani::TMessageHandler handler_;
    // QApplication keeps references to these for its whole life.
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    QApplication* app_ = nullptr;
};

} // namespace testutil
