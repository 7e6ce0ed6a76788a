// "GO !" from the window: the generation run through the window's dialogs,
// progress bar and cursor, with the window's commands blocked while it runs, and
// the report of an error that ends a run.

#include "app_test_env.h"
#include "errors.h"
#include "failing_shapefile_writer.h"
#include "generation_run.h"
#include "output_lock.h"
#include "pwnet_giswriter.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace quadrel;
using apptest::WindowFixture;
namespace fs = std::filesystem;

namespace {

// The grid of every run here: DKN 1 km cells over Bornholm, 40 columns of 50 cells.
const char* const Prefix = "DKN_1km_euref89";
constexpr int Columns = 40, Cells = 40 * 50;

void ChooseBornholm(TForm1& f) {
    f.DKN1->trigger();
    f.Bornholm1->trigger();
    ASSERT_TRUE(f.Go1->isEnabled());
}

// What the window looks like while the run lets events through: sampled by a timer
// that fires whenever the run processes pending events.
struct DuringTheRun {
    int HighestProgress = 0;
    int ProgressMax = 0;
    bool BusyCursor = false;
    int Samples = 0;
};

TEST(Go, WritesTheGridAndReportsDone) {
    testutil::TempDir dir;
    WindowFixture w;
    TForm1& f = w.Form();
    ChooseBornholm(f);
    w.dialogs.FolderToChoose = dir.path().string();

    DuringTheRun seen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++seen.Samples;
        seen.HighestProgress = std::max(seen.HighestProgress, f.ProgressBar1->value());
        seen.ProgressMax = f.ProgressBar1->maximum();
        if (const QCursor* c = QApplication::overrideCursor())
            seen.BusyCursor = seen.BusyCursor || c->shape() == Qt::WaitCursor;
    });
    sampler.start(0);
    f.Go1->trigger();
    sampler.stop();

    EXPECT_EQ(w.dialogs.Seen, (std::vector<std::string>{"folder Choose where to store the grid: | ",
                                                        "message Done"}));
    EXPECT_TRUE(w.dialogs.Errors.empty());
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".avl"})
        EXPECT_TRUE(fs::is_regular_file(dir.path() / (std::string(Prefix) + ext))) << ext;
    // One record per cell: the index holds a 100-byte header and 8 bytes per record.
    EXPECT_EQ(fs::file_size(dir.path() / (std::string(Prefix) + ".shx")), 100u + 8u * Cells);

    // The progress bar ran to the number of columns under the busy cursor, and is
    // empty again; the cursor is back.
    EXPECT_GT(seen.Samples, 0);
    EXPECT_EQ(seen.ProgressMax, Columns);
    EXPECT_GT(seen.HighestProgress, 0);
    EXPECT_TRUE(seen.BusyCursor);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(f.RunUnderWay());
    EXPECT_TRUE(f.Go1->isEnabled());

    // The next run's folder chooser starts at the folder of this one.
    w.dialogs.ChooseAFolder = false;
    f.Go1->trigger();
    EXPECT_EQ(w.dialogs.Seen.back(),
              "folder Choose where to store the grid: | " + dir.path().string() + "/");
}

// "OGC GeoPackage" writes one GeoPackage file and nothing beside it.
TEST(Go, GeoPackageItemWritesAGeoPackage) {
    testutil::TempDir dir;
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.GPKG1->trigger();
    ChooseBornholm(f);
    w.dialogs.FolderToChoose = dir.path().string();
    f.Go1->trigger();
    EXPECT_EQ(w.dialogs.Messages, std::vector<std::string>{"Done"});
    EXPECT_EQ(testutil::FilesIn(dir.path()), std::set<std::string>{std::string(Prefix) + ".gpkg"});
    // an SQLite database whose application id says GeoPackage
    const std::string bytes = testutil::ReadFileBytes(dir.path() / (std::string(Prefix) + ".gpkg"));
    ASSERT_GT(bytes.size(), 72u);
    EXPECT_EQ(bytes.substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(bytes.substr(68, 4), "GPKG");
}

TEST(Go, CommandsAreBlockedWhileARunIsUnderWay) {
    testutil::TempDir dir;
    TGenerationRun run;
    WindowFixture w(/*TabAvailable=*/true, [&](TForm1Setup& s) {
        s.Run = [&run](const TGridState& State, TRunUserInterface& UI) { run.Execute(State, UI); };
    });
    TForm1& f = w.Form();
    ChooseBornholm(f);
    w.dialogs.FolderToChoose = dir.path().string();
    const TGridState before = w.state;
    bool checked = false;
    w.dialogs.WhileChoosingFolder = [&] {
        checked = true;
        EXPECT_TRUE(f.RunUnderWay());
        EXPECT_FALSE(f.menuBar()->isEnabled());
        EXPECT_FALSE(f.ToolBar1->isEnabled());
        // Nothing changes the grid under the run, and no second run starts inside it.
        for (QAction* a : {f.EuroGrid1, f.Close1, f.MIF1, f.SizeItem(gkDKN, 4), f.All1, f.Go1})
            a->trigger();
        w.Click({200, 150}, Qt::LeftButton);
        w.Click({400, 300}, Qt::RightButton);
        EXPECT_EQ(w.state.GridKind, gkDKN);
        EXPECT_EQ(w.state.OutputFormatTag, before.OutputFormatTag);
        EXPECT_EQ(w.state.SizeTag, before.SizeTag);
        EXPECT_EQ(w.state.FirstCorner, before.FirstCorner);
        EXPECT_EQ(w.state.SecondCorner, before.SecondCorner);
        // The window cannot be closed under the run either.
        f.close();
        EXPECT_TRUE(f.isVisible());
    };
    f.Go1->trigger();
    ASSERT_TRUE(checked);
    EXPECT_EQ(std::count_if(w.dialogs.Seen.begin(), w.dialogs.Seen.end(),
                            [](const std::string& s) { return s.rfind("folder ", 0) == 0; }),
              1);
    EXPECT_EQ(w.dialogs.Messages, std::vector<std::string>{"Done"});
    // Afterwards every command is back as it was.
    EXPECT_FALSE(f.RunUnderWay());
    EXPECT_TRUE(f.menuBar()->isEnabled());
    EXPECT_TRUE(f.ToolBar1->isEnabled());
    EXPECT_TRUE(f.Go1->isEnabled());
    EXPECT_TRUE(f.TAB1->isEnabled());
    EXPECT_TRUE(f.EuroGrid1->isEnabled());
    f.EuroGrid1->trigger();
    EXPECT_EQ(w.state.GridKind, gkEuroGrid);
}

TEST(Go, CancellingTheFolderChooserWritesNothing) {
    testutil::TempDir dir;
    WindowFixture w;
    TForm1& f = w.Form();
    ChooseBornholm(f);
    w.dialogs.ChooseAFolder = false;
    w.dialogs.FolderToChoose = dir.path().string();
    f.Go1->trigger();
    EXPECT_EQ(w.dialogs.Seen.size(), 1u);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_TRUE(f.Go1->isEnabled());
    EXPECT_FALSE(f.RunUnderWay());
}

// A local disk with room for anything, wherever the folder lies (so that the
// unwritable stand-in folder of root, /sys, gets as far as creating files).
class RoomyLocalDisk : public TFileSystemQueries {
public:
    TDriveType DriveType(const std::string&) const override { return dtFixed; }
    std::string FileSystemName(const std::string&) const override { return "ext4"; }
    int64_t DiskFree(const std::string&) const override { return int64_t{1} << 40; }
};

struct RunErrorCase {
    const char* Name;
    int32_t Format;
    bool Unwritable;  // the chosen folder refuses new files
    bool FailingDisk; // the writer's disk fills up after 1234 cells
    const char* MessageStart;
};

void PrintTo(const RunErrorCase& c, std::ostream* os) {
    *os << c.Name;
}

class GoErrors : public ::testing::TestWithParam<RunErrorCase> {};

INSTANTIATE_TEST_SUITE_P(Go, GoErrors,
                         ::testing::Values(RunErrorCase{"DiskFillsUpMidRun", ftSHP, false, true,
                                                        "Stream write error"},
                                           RunErrorCase{"GridFileCannotBeCreated", ftMIF, true,
                                                        false, "Cannot create file"},
                                           RunErrorCase{"SideFileCannotBeWritten", ftSHP, true,
                                                        false, "Cannot create file \""}),
                         [](const auto& info) { return std::string(info.param.Name); });

// An error that ends a run is shown in a message box; no grid file stays behind,
// "Done" is not shown, and the window is ready for the next command.
TEST_P(GoErrors, IsShownAndLeavesNoGridFiles) {
    const RunErrorCase& c = GetParam();
    testutil::TempDir dir;
    RoomyLocalDisk disk;
    TGenerationRun run(disk, [&](pwnet::TGISFormat format) {
        if (c.FailingDisk)
            return std::unique_ptr<pwnet::TGISWrite>(
                std::make_unique<testutil::FailingShapefileWriter>(1234));
        return pwnet::TGISWrite::GetGISObject(format);
    });
    WindowFixture w(false, [&](TForm1Setup& s) {
        s.Run = [&run](const TGridState& State, TRunUserInterface& UI) { run.Execute(State, UI); };
    });
    TForm1& f = w.Form();
    ChooseBornholm(f);
    f.FormatItem(c.Format)->trigger();
    const std::string folder = c.Unwritable ? testutil::UnwritableFolder(dir) : dir.path().string();
    w.dialogs.FolderToChoose = folder;
    f.Go1->trigger();

    ASSERT_EQ(w.dialogs.Errors.size(), 1u);
    EXPECT_EQ(w.dialogs.Errors[0].rfind(c.MessageStart, 0), 0u) << w.dialogs.Errors[0];
    EXPECT_TRUE(w.dialogs.Messages.empty()) << "no Done";
    EXPECT_EQ(w.dialogs.Seen.back(), "error " + w.dialogs.Errors[0]);
    for (const char* ext : {".shp", ".shx", ".dbf", ".mif", ".mid"})
        EXPECT_FALSE(fs::exists(fs::path(folder) / (std::string(Prefix) + ext))) << ext;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_FALSE(f.RunUnderWay());
    EXPECT_TRUE(f.menuBar()->isEnabled());
    EXPECT_TRUE(f.Go1->isEnabled());
}

// Another run (another window, quadrel-cli) is writing the same grid into the folder:
// the window says so in a message, writes nothing and is ready for the next command.
TEST(Go, AnotherRunOfTheSameGridIsReported) {
    testutil::TempDir dir;
    const pwnet::TOutputLock other((dir.path() / Prefix).string());
    ASSERT_EQ(other.Status(), pwnet::TOutputLock::lsHeld);
    WindowFixture w;
    TForm1& f = w.Form();
    ChooseBornholm(f);
    w.dialogs.FolderToChoose = dir.path().string();
    f.Go1->trigger();
    EXPECT_EQ(w.dialogs.Seen, (std::vector<std::string>{
                                  "folder Choose where to store the grid: | ",
                                  "message " + BusyMessage(dir.path().string() + "/", Prefix)}));
    EXPECT_TRUE(w.dialogs.Errors.empty());
    EXPECT_EQ(testutil::FilesIn(dir.path()),
              std::set<std::string>{".DKN_1km_euref89.quadrel-lock"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(f.Go1->isEnabled());
}

} // namespace
