// The window's commands for an area of interest under QTest: the "Denmark land"
// preset, "Limit to area from file..." and "No area limit", the outline in the map
// pane, the status bar's read-out of the cells within, and the area across grid
// systems and runs.

#include "PGFtable.h"
#include "app_test_env.h"
#include "area.h"
#include "area_cells.h"
#include "area_commands.h"
#include "area_file_dialog.h"
#include "area_outline.h"
#include "status_readouts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quadrel;
using apptest::WindowFixture;

namespace {

const std::string StudyArea = QUADREL_APP_AREA_FILE;

// The user's answers to the area dialog.
struct ScriptedAreaDialog : TAreaFileDialog {
    bool Choose = true;
    std::string Path = StudyArea;
    double Buffer = 0;
    std::vector<std::string> StartFolders;

    bool ChooseArea(const std::string& StartFolder, std::string& ChosenPath,
                    double& ChosenBuffer) override {
        StartFolders.push_back(StartFolder);
        if (Choose) {
            ChosenPath = Path;
            ChosenBuffer = Buffer;
        }
        return Choose;
    }
};

// A window with the area commands attached, as the program has it.
struct AreaWindow {
    ScriptedAreaDialog dialog;
    std::vector<TGridState> runs; // the states "GO !" ran
    WindowFixture w{false, [this](TForm1Setup& s) {
                        s.Run = [this](const TGridState& State, TRunUserInterface&) {
                            runs.push_back(State);
                        };
                    }};
    TAreaCommands* area = new TAreaCommands(w.Form(), &dialog);

    TForm1& Form() { return w.Form(); }
    void Trigger(std::initializer_list<QAction*> Items) {
        for (QAction* a : Items)
            a->trigger();
        WindowFixture::Settle();
    }
    int OutlineRings() { return area->Outline().Table().ObjectCount(); }
    // What the status bar says "GO !" would write.
    std::string Size() { return w.form->SizePanel->text().toStdString(); }
    // Whether the map pane shows the outline's dark green somewhere.
    bool OutlineDrawn() const {
        const QImage& img = w.form->GraphicViewport1->ScreenBM();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == qRgb(0, 100, 0))
                    return true;
        return false;
    }
};

std::string Names(QMenu* m) {
    std::string s;
    for (QAction* a : m->actions())
        s += (a->isSeparator() ? std::string("-") : a->objectName().toStdString()) + " ";
    return s;
}

TEST(AreaWindow, ItemsInTheMenus) {
    AreaWindow a;
    EXPECT_EQ(Names(a.Form().Grid1),
              "DKN1 EuroGrid1 - Close1 - SetArea1 Limittoarea1 Noarealimit1 ");
    EXPECT_EQ(a.area->Limittoarea1->text(), "&Limit to area from file...");
    EXPECT_EQ(a.area->Noarealimit1->text(), "&No area limit");
    const QList<QAction*> sizes = a.Form().DKNGridSize1->actions();
    EXPECT_EQ(sizes.back(), a.area->Denmarkland1);
    EXPECT_EQ(sizes.back()->text(), "Denmark &land");
    EXPECT_EQ(sizes[sizes.size() - 2], a.Form().Bornholm1);
    // A file's area needs a grid system to be read into; clearing needs an area.
    EXPECT_FALSE(a.area->Limittoarea1->isEnabled());
    EXPECT_FALSE(a.area->Noarealimit1->isEnabled());
    a.Trigger({a.Form().DKN1});
    EXPECT_TRUE(a.area->Limittoarea1->isEnabled());
    EXPECT_FALSE(a.area->Noarealimit1->isEnabled());
    EXPECT_EQ(a.Size().find("within"), std::string::npos);
}

TEST(AreaWindow, DenmarkLand) {
    AreaWindow a;
    a.Trigger({a.Form().DKN1, a.area->Denmarkland1});
    const TGridState& s = a.w.state;
    ASSERT_NE(s.Area, nullptr);
    EXPECT_EQ(s.Area->Description(), "Denmark land");
    EXPECT_EQ(a.w.Panels(),
              (std::vector<std::string>{"X1: 441000", "Y1: 6049000", "X2: 894000", "Y2: 6402000",
                                        "Cells X: 453", "Cells Y: 353"}));
    EXPECT_EQ(
        a.Size().rfind(std::to_string(CellsToWrite(s)) + " cells within Denmark land, about ", 0),
        0u)
        << a.Size();
    EXPECT_GT(a.OutlineRings(), 200); // the islands
    EXPECT_TRUE(a.OutlineDrawn());
    EXPECT_TRUE(a.Form().Go1->isEnabled());
    EXPECT_TRUE(a.area->Noarealimit1->isEnabled());

    // A size change keeps the area; "GO !" runs the grid cut to it.
    a.Trigger({a.Form().SizeItem(gkDKN, 4)});
    EXPECT_EQ(
        a.Size().rfind(std::to_string(CellsToWrite(s)) + " cells within Denmark land, about ", 0),
        0u)
        << a.Size();
    a.Trigger({a.Form().Go1});
    ASSERT_EQ(a.runs.size(), 1u);
    EXPECT_EQ(a.runs[0].Area, s.Area);

    a.Trigger({a.area->Noarealimit1});
    EXPECT_EQ(s.Area, nullptr);
    EXPECT_EQ(a.OutlineRings(), 0);
    EXPECT_FALSE(a.OutlineDrawn());
    EXPECT_EQ(a.Size().find("within"), std::string::npos) << a.Size();
    EXPECT_FALSE(a.area->Noarealimit1->isEnabled());
    EXPECT_EQ(a.w.Panels()[4], "Cells X: 46"); // the extent stays
}

TEST(AreaWindow, AreaFromAFile) {
    AreaWindow a;
    a.dialog.Buffer = 500;
    a.Trigger({a.Form().DKN1, a.area->Limittoarea1});
    const TGridState& s = a.w.state;
    ASSERT_NE(s.Area, nullptr);
    EXPECT_EQ(s.Area->Description(), "study_area.geojson with a 500 m buffer");
    EXPECT_EQ(a.Size().rfind(std::to_string(CellsToWrite(s)) +
                                 " cells within study_area.geojson with a 500 m buffer, about ",
                             0),
              0u)
        << a.Size();
    EXPECT_EQ(a.w.dialogs.Messages,
              std::vector<std::string>{"1 point or line of layer \"study_area\" is ignored: "
                                       "only polygons make an area"});
    EXPECT_EQ(a.OutlineRings(), 2); // the outer ring and the hole, both 500 m nearer
    EXPECT_TRUE(a.OutlineDrawn());

    // The next dialog opens where the file was; a cancelled one changes nothing.
    a.dialog.Choose = false;
    a.Trigger({a.area->Limittoarea1});
    ASSERT_EQ(a.dialog.StartFolders.size(), 2u);
    EXPECT_EQ(a.dialog.StartFolders[1], std::filesystem::path(StudyArea).parent_path().string());
    EXPECT_EQ(s.Area->Description(), "study_area.geojson with a 500 m buffer");

    // A file that cannot be read is reported; the area stays.
    a.dialog.Choose = true;
    a.dialog.Path = "/nonexistent/parks.shp";
    a.Trigger({a.area->Limittoarea1});
    EXPECT_EQ(a.w.dialogs.Errors,
              std::vector<std::string>{"Cannot open the area file \"/nonexistent/parks.shp\": "
                                       "no such file"});
    EXPECT_EQ(s.Area->Description(), "study_area.geojson with a 500 m buffer");
}

// The area is kept like the corners: "Close grid" hides it, another grid system
// reads it again in its own metres.
TEST(AreaWindow, AcrossGridSystems) {
    AreaWindow a;
    a.Trigger({a.Form().DKN1, a.area->Limittoarea1});
    const TGridState& s = a.w.state;
    ASSERT_EQ(s.Area->Epsg, 25832);
    a.Trigger({a.Form().Close1});
    EXPECT_EQ(a.OutlineRings(), 0);
    EXPECT_EQ(a.Size(), "");
    EXPECT_FALSE(a.area->Limittoarea1->isEnabled());
    a.Trigger({a.Form().EuroGrid1});
    ASSERT_NE(s.Area, nullptr);
    EXPECT_EQ(s.Area->Epsg, 3035);
    EXPECT_GT(a.OutlineRings(), 0);
    EXPECT_NE(a.Size().find(" cells within study_area.geojson, about "), std::string::npos);
    // EuroGrid's 10 km cells over the area's LAEA bounds.
    const auto west = static_cast<long long>(s.Area->Bounds().xmin) / 10000 * 10000;
    EXPECT_EQ(a.w.Panels()[0], "X1: " + std::to_string(west));
    EXPECT_GT(west, 4000000);
    a.Trigger({a.Form().DKN1});
    EXPECT_EQ(s.Area->Epsg, 25832);
    EXPECT_EQ(a.w.Panels()[0], "X1: 593000");
}

} // namespace
