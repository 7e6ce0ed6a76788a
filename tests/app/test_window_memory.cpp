// What the window says after "GO !" and remembers between starts: the "Done" box
// with the main file, the number of cells and "Open folder"; the last output folder
// and the window's size and position, kept in the window's settings.

#include "app_test_env.h"
#include "generation_run.h"
#include "temp_dir.h"
#include "uCommon.h"
#include "user_dialogs.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::WindowFixture;
namespace fs = std::filesystem;

namespace {

// A window of its own run (so that no other test's folder is remembered by the
// run) over the settings in File.
std::unique_ptr<WindowFixture> WindowWith(TGenerationRun& Run, const std::string& File) {
    return std::make_unique<WindowFixture>(false, [&Run, File](TForm1Setup& s) {
        s.Run = [&Run](const TGridState& State, TRunUserInterface& UI) { Run.Execute(State, UI); };
        s.SettingsFile = File;
    });
}

TEST(Done, SaysWhatWasWrittenAndWhere) {
    testutil::TempDir out, settings;
    TGenerationRun run;
    auto w = WindowWith(run, settings / "quadrel.ini");
    TForm1& f = w->Form();
    f.DKN1->trigger();
    f.Bornholm1->trigger();
    f.MIF1->trigger();
    w->dialogs.FolderToChoose = out.path().string();
    f.Go1->trigger();
    EXPECT_EQ(w->dialogs.Messages, std::vector<std::string>{"Done"});
    ASSERT_EQ(w->dialogs.DoneReports.size(), 1u);
    const TDoneReport& r = w->dialogs.DoneReports[0];
    EXPECT_EQ(r.MainFile, (out.path() / "DKN_1km_euref89.mif").string());
    EXPECT_TRUE(fs::is_regular_file(r.MainFile));
    EXPECT_EQ(r.Folder, out.path().string());
    EXPECT_EQ(r.Cells, 40 * 50);

    // A run that does not end with "Done" reports nothing more.
    w->dialogs.ChooseAFolder = false;
    f.Go1->trigger();
    EXPECT_EQ(w->dialogs.DoneReports.size(), 1u);
}

TEST(Done, TheBoxNamesTheFileAndOpensTheFolder) {
    apptest::OpenedUrls opened;
    const TDoneReport report{"/data/grids/DKN_1km_euref89.shp", "/data/grids/", 170200};
    std::unique_ptr<QMessageBox> box = MakeDoneBox(report);
    EXPECT_EQ(box->windowTitle(), "Quadrel");
    EXPECT_EQ(box->text(), "Done");
    EXPECT_EQ(box->informativeText(), "170200 cells written to\n/data/grids/DKN_1km_euref89.shp");
    auto* open = box->findChild<QPushButton*>(QStringLiteral("OpenFolderButton"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), "Open &folder");
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    // Wide enough for its title, which a box holding only "Done" cuts, and for the
    // path on one line.
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) * 4);
    const auto* info = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(info, nullptr);
    EXPECT_GE(info->width(),
              info->fontMetrics().horizontalAdvance(QString::fromStdString(report.MainFile)));
    open->click();
    ASSERT_EQ(opened.Urls.size(), 1u);
    EXPECT_EQ(opened.Urls[0], QUrl::fromLocalFile("/data/grids/"));
    EXPECT_EQ(MakeDoneBox({"/x/a.mif", "/x/", 1})->informativeText(),
              "1 cell written to\n/x/a.mif");
}

// The folder dialog opens where the user last saved, also after a new start; a run
// that wrote nothing does not change it.
TEST(Remembered, LastOutputFolder) {
    testutil::TempDir out, settings;
    const std::string file = settings / "quadrel.ini";
    {
        TGenerationRun run;
        auto w = WindowWith(run, file);
        w->form->DKN1->trigger();
        w->form->Bornholm1->trigger();
        w->dialogs.FolderToChoose = out.path().string();
        w->form->Go1->trigger();
        ASSERT_EQ(w->dialogs.Messages, std::vector<std::string>{"Done"});
    }
    for (int start = 0; start < 2; ++start) {
        TGenerationRun run; // a new start of the program: the run knows no folder
        auto w = WindowWith(run, file);
        w->form->DKN1->trigger();
        w->form->Bornholm1->trigger();
        w->dialogs.ChooseAFolder = false;
        w->form->Go1->trigger();
        EXPECT_EQ(w->dialogs.Seen,
                  std::vector<std::string>{"folder Choose where to store the grid: | " +
                                           out.path().string()});
    }
    // Another window's settings know nothing of it.
    TGenerationRun run;
    auto other = WindowWith(run, settings / "other.ini");
    other->form->DKN1->trigger();
    other->form->Bornholm1->trigger();
    other->dialogs.ChooseAFolder = false;
    other->form->Go1->trigger();
    EXPECT_EQ(other->dialogs.Seen,
              std::vector<std::string>{"folder Choose where to store the grid: | "});
}

TEST(Remembered, WindowSizeAndPosition) {
    testutil::TempDir settings;
    const std::string file = settings / "quadrel.ini";
    TGenerationRun run;
    {
        auto w = WindowWith(run, file);
        w->form->resize(1000, 700);
        WindowFixture::Settle();
        w->form->close();
    }
    auto again = WindowWith(run, file);
    EXPECT_EQ(again->form->size(), QSize(1000, 700));
    // Nothing else is kept: the grid state starts as designed.
    EXPECT_EQ(again->state.GridKind, gkNone);
    EXPECT_FALSE(again->form->Fileformat1->menuAction()->isVisible());
}

} // namespace
