#include "app_test_env.h"

#include "qt_app_environment.h"

#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace apptest {

namespace {

// No test reads or writes the user's own settings: settings made without a file of
// their own go to a folder of the test program's.
struct PrivateSettings : ::testing::Environment {
    void SetUp() override {
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope,
                               QString::fromStdString(folder.path().string()));
    }
    testutil::TempDir folder;
};
[[maybe_unused]] auto* const kSettings = ::testing::AddGlobalTestEnvironment(new PrivateSettings);

// The toolkit's messages are collected, for a window fixture to check.
[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new testutil::QtApplicationEnvironment(
        "test_app",
        [](const std::string& text, plani::TMessageKind) { ToolkitMessages().push_back(text); }));

} // namespace

std::vector<std::string>& ToolkitMessages() {
    static std::vector<std::string> messages;
    return messages;
}

WindowFixture::WindowFixture(bool TabAvailable, std::function<void(quadrel::TForm1Setup&)> Adjust) {
    ToolkitMessages().clear();
    quadrel::TForm1Setup setup;
    setup.State = &state;
    setup.Dialogs = &dialogs;
    setup.TabAvailable = TabAvailable;
    setup.SettingsFile = settingsDir / "quadrel.ini";
    if (Adjust)
        Adjust(setup);
    form = std::make_unique<quadrel::TForm1>(std::move(setup));
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Settle();
}

WindowFixture::~WindowFixture() {
    EXPECT_TRUE(ToolkitMessages().empty())
        << "unexpected toolkit message: " << ToolkitMessages().front();
}

std::vector<std::string> WindowFixture::Panels() const {
    std::vector<std::string> out;
    for (QLabel* p : form->StatusPanels)
        out.push_back(p->text().toStdString());
    return out;
}

void WindowFixture::Click(QPoint Pos, Qt::MouseButton Button) {
    QTest::mouseClick(form->GraphicViewport1, Button, Qt::NoModifier, Pos);
    Settle();
}

void WindowFixture::Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

bool WindowFixture::RedNear(QPoint Pos) const {
    const QImage& img = form->GraphicViewport1->ScreenBM();
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p = Pos + QPoint(dx, dy);
            if (img.valid(p) && img.pixel(p) == qRgb(255, 0, 0))
                return true;
        }
    return false;
}

} // namespace apptest
