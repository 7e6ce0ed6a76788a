#include "mapview_test_env.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace mvtest {

namespace {

void UnexpectedMessage(const std::string& text, plani::TMessageKind) {
    ADD_FAILURE() << "unexpected message box: " << text;
}

// One application object for the whole test program; the platform plugin is
// chosen by QT_QPA_PLATFORM (offscreen) in the test's environment.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_mapview";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        plani::SetMessageHandler(UnexpectedMessage);
    }
    void TearDown() override {
        plani::SetMessageHandler(nullptr);
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace

MessageRecorder::MessageRecorder() {
    fPrevious = plani::SetMessageHandler([this](const std::string& text, plani::TMessageKind kind) {
        Messages.emplace_back(text, kind);
    });
}

MessageRecorder::~MessageRecorder() {
    plani::SetMessageHandler(fPrevious);
}

bool TTestTable::DrawGraphic(const plani::TFloatRect& vp, QPainter& c, const plani::TRect& cr,
                             plani::TMemoryStream*, QWidget*, int, bool& Cancel) {
    ++draws;
    lastVp = vp;
    lastCr = cr;
    if (fill.alpha() != 0 && fActive) {
        plani::TWDTransform tr(vp, cr);
        plani::TRect r = tr.WorldToDevice(ext);
        c.fillRect(QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)), fill);
    }
    if (onDraw)
        onDraw(Cancel);
    return Cancel;
}

} // namespace mvtest
