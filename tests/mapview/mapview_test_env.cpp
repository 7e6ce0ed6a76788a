#include "mapview_test_env.h"

#include "qt_app_environment.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace mvtest {

namespace {

void UnexpectedMessage(const std::string& text, plani::TMessageKind) {
    ADD_FAILURE() << "unexpected message box: " << text;
}

// Outside a MessageRecorder any message box of the toolkit fails the running test.
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(
    new testutil::QtApplicationEnvironment("test_mapview", UnexpectedMessage));

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
