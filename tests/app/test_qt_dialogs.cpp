// The dialogs as the program shows them (real Qt message boxes and folder chooser,
// answered by a timer as a user would) and the run's Qt user interface.

#include "app_test_env.h"
#include "qt_run_user_interface.h"
#include "temp_dir.h"
#include "user_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace quadrel;

namespace {

// What a message box showed.
struct ModalSeen {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    bool Seen = false;
};

// Runs Answer on the next modal dialog as soon as it shows (looking for it for at
// most two seconds).
void AnswerNextModal(std::function<void(QWidget*)> Answer) {
    auto* timer = new QTimer(qApp); // goes with the application at the latest
    auto tries = std::make_shared<int>(400);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, Answer, tries] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w && --*tries > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (w)
            Answer(w);
    });
    timer->start(5);
}

TEST(QtDialogs, MessageBoxesAndTheirAnswers) {
    TQtDialogs dialogs;
    struct Case {
        const char* Name;
        std::function<bool()> Show; // returns the answer, true where there is none
        QMessageBox::StandardButton Click;
        bool Expected;
        QMessageBox::Icon Icon;
        const char* Text;
    } cases[] = {
        {"message",
         [&] {
             dialogs.ShowMessage("Done");
             return true;
         },
         QMessageBox::Ok, true, QMessageBox::Information, "Done"},
        {"error",
         [&] {
             dialogs.ShowError("Stream write error");
             return true;
         },
         QMessageBox::Ok, true, QMessageBox::Critical, "Stream write error"},
        {"yes", [&] { return dialogs.AskYesNo("Go on?\nReally?"); }, QMessageBox::Yes, true,
         QMessageBox::Question, "Go on?\nReally?"},
        {"no", [&] { return dialogs.AskYesNo("Go to website to download?"); }, QMessageBox::No,
         false, QMessageBox::Question, "Go to website to download?"},
    };
    for (const Case& c : cases) {
        auto seen = std::make_shared<ModalSeen>();
        AnswerNextModal([seen, &c](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr) << c.Name;
            seen->Seen = true;
            seen->Title = box->windowTitle();
            seen->Text = box->text();
            seen->Icon = box->icon();
            box->button(c.Click)->click();
        });
        EXPECT_EQ(c.Show(), c.Expected) << c.Name;
        ASSERT_TRUE(seen->Seen) << c.Name;
        EXPECT_EQ(seen->Title, "Quadrel") << c.Name;
        EXPECT_EQ(seen->Text, c.Text) << c.Name;
        EXPECT_EQ(seen->Icon, c.Icon) << c.Name;
    }
}

TEST(QtDialogs, FolderChooser) {
    testutil::TempDir dir;
    const QString start = QString::fromStdString(dir.path().string());
    TQtDialogs dialogs;
    for (bool accept : {true, false}) {
        QString caption, opened;
        AnswerNextModal([&, accept](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(d, nullptr);
            caption = d->windowTitle();
            opened = d->directory().absolutePath();
            EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
            accept ? static_cast<QDialog*>(d)->accept() : d->reject();
        });
        std::string folder = "unchanged";
        EXPECT_EQ(
            dialogs.ChooseFolder("Choose where to store the grid:", dir.path().string(), folder),
            accept);
        EXPECT_EQ(caption, "Choose where to store the grid:");
        EXPECT_EQ(opened, start);
        EXPECT_EQ(folder, accept ? dir.path().string() : "unchanged");
    }
}

TEST(QtRunUserInterface, ProgressBarAndCursor) {
    apptest::ScriptedDialogs dialogs;
    QProgressBar bar;
    {
        TQtRunUserInterface ui(dialogs, bar);
        ui.SetProgressMax(40);
        ui.SetProgressPosition(7);
        EXPECT_EQ(bar.maximum(), 40);
        EXPECT_EQ(bar.value(), 7);
        // Regression: a range of 0..0 made Qt show a "busy" animation for an empty grid.
        ui.SetProgressMax(0);
        EXPECT_EQ(bar.minimum(), 0);
        EXPECT_GT(bar.maximum(), 0);
        EXPECT_EQ(bar.value(), 0);

        ui.SetBusyCursor();
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.RestoreCursor();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ui.RestoreCursor(); // one too many does not take another's cursor away
        ui.SetBusyCursor();
        ui.SetBusyCursor();
        // The dialogs are the window's.
        std::string folder;
        dialogs.FolderToChoose = "/tmp";
        EXPECT_TRUE(ui.ChooseFolder("c", "", folder));
        EXPECT_EQ(folder, "/tmp");
        ui.ShowMessage("Done");
        EXPECT_EQ(dialogs.Messages, std::vector<std::string>{"Done"});
    }
    // Whatever ended the run, no busy cursor outlives it.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
