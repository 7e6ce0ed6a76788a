// The main window under QTest: its start-up state, the menus by grid system, the
// format rules, the status bar, the map pane's clicks and layers, the map buttons,
// the layout on resize and the small commands.

#include "PGFtable.h"
#include "RasterTable.h"
#include "about.h"
#include "app_test_env.h"
#include "http_test_server.h"
#include "keyboard.h"
#include "uCommon.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::WindowFixture;
using plani::TFloatPoint;
using plani::TFloatRect;
using plani::TPoint;

namespace {

QAction* Item(TForm1& f, const char* Name) {
    QAction* a = f.findChild<QAction*>(QString::fromLatin1(Name));
    EXPECT_NE(a, nullptr) << Name;
    return a;
}

void Trigger(TForm1& f, const std::vector<const char*>& Names) {
    for (const char* n : Names)
        if (QAction* a = Item(f, n))
            a->trigger();
    WindowFixture::Settle();
}

// The menu bar as text: one line per entry, "Title: item | item(tag) | - | ...",
// each caption as it reads (without its mnemonic marker).
std::vector<std::string> MenuBarText(QMenuBar* bar) {
    std::vector<std::string> lines;
    for (QAction* top : bar->actions()) {
        std::string line = VisibleCaption(top->text()).toStdString();
        if (QMenu* m = top->menu()) {
            line += ":";
            const char* sep = " ";
            for (QAction* a : m->actions()) {
                line += sep;
                sep = " | ";
                if (a->isSeparator()) {
                    line += "-";
                    continue;
                }
                line += VisibleCaption(a->text()).toStdString();
                if (a->isCheckable())
                    line += "(" + std::to_string(a->data().toInt()) + ")";
            }
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Names(QMenu* m) {
    std::string s;
    for (QAction* a : m->actions())
        if (!a->isSeparator())
            s += a->objectName().toStdString() + " ";
    return s;
}

// --- Start-up ----------------------------------------------------------------------

TEST(Window, StartUpState) {
    WindowFixture w;
    TForm1& f = w.Form();
    EXPECT_EQ(f.windowTitle(), "Quadrel");
    EXPECT_EQ(f.ClientSize(), QSize(880, 588));
    EXPECT_EQ(w.state.GridKind, gkNone);
    EXPECT_EQ(w.state.OutputFormatTag, ftSHP);
    EXPECT_TRUE(f.SHP1->isChecked());
    EXPECT_FALSE(f.Fileformat1->menuAction()->isVisible());
    EXPECT_FALSE(f.EuroGridsize->menuAction()->isVisible());
    EXPECT_FALSE(f.DKNGridSize1->menuAction()->isVisible());
    EXPECT_FALSE(f.Go1->isEnabled());
    EXPECT_FALSE(f.TAB1->isEnabled()); // no TAB library in this fixture
    EXPECT_EQ(f.HelpF11->shortcut(), QKeySequence(Qt::Key_F1));

    // Status bar: six empty panels of width 50; an empty progress bar 17 pixels high.
    for (QLabel* p : f.StatusPanels) {
        EXPECT_TRUE(p->text().isEmpty());
        EXPECT_EQ(p->width(), 50);
        EXPECT_TRUE(p->isVisible());
    }
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(f.ProgressBar1->height(), 17);

    // Toolbar: five map buttons 23 x 22 with their hints; "Select area" is on.
    const char* hints[] = {"Zoom all", "Zoom in", "Zoom out", "Pan", "Select area"};
    const QList<QAction*> onBar = f.ToolBar1->actions();
    ASSERT_EQ(onBar.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(onBar[i]->objectName(), QStringLiteral("SpeedButton%1").arg(i + 1));
        EXPECT_EQ(onBar[i]->toolTip(), hints[i]);
        EXPECT_FALSE(onBar[i]->icon().isNull());
        EXPECT_EQ(f.ToolBar1->widgetForAction(onBar[i])->size(), QSize(23, 22));
    }
    EXPECT_TRUE(f.SpeedButtons[4]->isChecked());
    EXPECT_EQ(w.Viewport().Mode(), plani::vpmUserDefined);
}

TEST(Window, MenuBarAsDesigned) {
    WindowFixture w;
    TForm1& f = w.Form();
    const std::vector<std::string> expected = {
        "File: Check for updates | Exit",
        "Grid: DKN (Danske Kvadratnet) | EuroGrid | - | Close grid | - | Set area...",
        "File format: MapInfo MIF(0) | MapInfo TAB(2) | ESRI SHP(1) | ESRI SHP, 8+3 filename(4) "
        "| OGC GeoPackage(8) | GML 2.1.2(3)",
        "Grid size: 1 meter(1) | 10 meter(4) | 100 meter(7) | 1 km(10) | 10 km(13) | 100 km(16) "
        "| 1000 km(19)",
        "Grid size: 100 meter (hektar)(1) | 250 meter(2) | 1 km (basis)(3) | 10 km "
        "(stednavne)(4) | 100 km (oversigt)(5) | - | 500 meter (not standard)(6) | 2 km (not "
        "standard)(8) | 5 km (not standard)(7) | - | All | Denmark only | Denmark only (without "
        "Bornholm) | Bornholm",
        "Cells: No cell code(0) | EEA cell code (CELLCODE)(1) | INSPIRE cell code (GRD_ID)(2) | "
        "INSPIRE short cell code (GRD_ID)(3) | - | Parent cells(0) | Centre points(0)",
        "GO !",
        "Help: Help (F1) | About",
    };
    EXPECT_EQ(MenuBarText(f.menuBar()), expected);
    EXPECT_EQ(Names(f.File1), "Updatesavailable1 Exit1 ");
    EXPECT_EQ(Names(f.Grid1), "DKN1 EuroGrid1 Close1 SetArea1 ");
    EXPECT_EQ(Names(f.Fileformat1), "MIF1 TAB1 SHP1 SHP831 GPKG1 GML2121 ");
    EXPECT_EQ(Names(f.EuroGridsize), "N1meter1 N10meter1 N100meter1 N1kilometer1 N10kilometer1 "
                                     "N100kilometer1 N1000kilometer1 ");
    EXPECT_EQ(Names(f.DKNGridSize1),
              "N100meter2 N250meter1 N1km1 N10km1 N100km1 N500meter1 N2kmnostandard1 "
              "N5kmikkestandard1 All1 Denmarkonly1 DenmarkonlywithoutBornholm1 Bornholm1 ");
    EXPECT_EQ(Names(f.Help1), "HelpF11 About1 ");
    // "GO !" is a command on the menu bar itself.
    EXPECT_EQ(f.Go1->menu(), nullptr);
    EXPECT_TRUE(f.menuBar()->actions().contains(f.Go1));
}

// --- Menus by grid system ----------------------------------------------------------

struct VisibilityCase {
    const char* Name;
    bool Tab; // the TAB library could be bound
    std::vector<const char*> Steps;
    TGridKind Kind;
    bool EuroSizes, DKNSizes, TabShown, TabEnabled, Go;
};

void PrintTo(const VisibilityCase& c, std::ostream* os) {
    *os << c.Name;
}

class MenusByGridSystem : public ::testing::TestWithParam<VisibilityCase> {};

INSTANTIATE_TEST_SUITE_P(
    Window, MenusByGridSystem,
    ::testing::Values(
        VisibilityCase{"NoGrid", true, {}, gkNone, false, false, false, false, false},
        VisibilityCase{
            "EuroGrid", true, {"EuroGrid1"}, gkEuroGrid, true, false, false, true, false},
        VisibilityCase{
            "DKNWithoutTabLibrary", false, {"DKN1"}, gkDKN, false, true, true, false, false},
        VisibilityCase{"DKNWithTabLibrary", true, {"DKN1"}, gkDKN, false, true, true, true, false},
        VisibilityCase{
            "DKNWithPreset", true, {"DKN1", "Denmarkonly1"}, gkDKN, false, true, true, true, true},
        VisibilityCase{"ClosedAfterDKN",
                       true,
                       {"DKN1", "Denmarkonly1", "Close1"},
                       gkNone,
                       false,
                       false,
                       false,
                       true,
                       false},
        // The kept corners are shown at once in the new system, so "GO !" stays on.
        VisibilityCase{"EuroGridAfterDKNPreset",
                       true,
                       {"DKN1", "Bornholm1", "EuroGrid1"},
                       gkEuroGrid,
                       true,
                       false,
                       false,
                       true,
                       true},
        VisibilityCase{"DKNAfterEuroGrid",
                       false,
                       {"EuroGrid1", "DKN1"},
                       gkDKN,
                       false,
                       true,
                       true,
                       false,
                       false},
        // Hidden under EuroGrid, TAB comes back enabled under DKN.
        VisibilityCase{"DKNAfterEuroGridWithTabLibrary",
                       true,
                       {"EuroGrid1", "DKN1"},
                       gkDKN,
                       false,
                       true,
                       true,
                       true,
                       false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(MenusByGridSystem, VisibleAndEnabled) {
    const VisibilityCase& c = GetParam();
    WindowFixture w(c.Tab);
    TForm1& f = w.Form();
    Trigger(f, c.Steps);
    EXPECT_EQ(w.state.GridKind, c.Kind);
    EXPECT_EQ(f.Fileformat1->menuAction()->isVisible(), c.Kind != gkNone);
    EXPECT_EQ(f.EuroGridsize->menuAction()->isVisible(), c.EuroSizes);
    EXPECT_EQ(f.DKNGridSize1->menuAction()->isVisible(), c.DKNSizes);
    EXPECT_EQ(f.Go1->isEnabled(), c.Go);
    if (c.Kind != gkNone) {
        // Qt counts a hidden item as disabled, so "enabled" matters where it shows.
        if (c.TabShown) {
            EXPECT_EQ(f.TAB1->isEnabled(), c.TabEnabled);
        }
        EXPECT_TRUE(f.MIF1->isVisible());
        EXPECT_TRUE(f.SHP1->isVisible());
        EXPECT_TRUE(f.SHP831->isVisible());
        EXPECT_TRUE(f.GPKG1->isVisible());
        EXPECT_EQ(f.TAB1->isVisible(), c.TabShown);
        EXPECT_FALSE(f.GML2121->isVisible()); // never offered
    }
    // The rest of the bar is always there.
    for (QMenu* m : {f.File1, f.Grid1, f.Help1})
        EXPECT_TRUE(m->menuAction()->isVisible());
    EXPECT_TRUE(f.Go1->isVisible());
}

// The handlers keep the check marks with the grid state when called directly too.
TEST(Window, CheckMarksFollowTheGridState) {
    WindowFixture w(true);
    TForm1& f = w.Form();
    f.DKN1Click();
    EXPECT_TRUE(f.SizeItem(gkDKN, 3)->isChecked()); // "1 km (basis)"
    f.MIF1Click(f.TAB1);
    f.EuroGrid1Click();
    EXPECT_TRUE(f.SizeItem(gkEuroGrid, 13)->isChecked()); // "10 km"
    EXPECT_TRUE(f.MIF1->isChecked());                     // TAB fell back to MIF
    f.N1meter1Click(f.SizeItem(gkEuroGrid, 1));
    EXPECT_TRUE(f.SizeItem(gkEuroGrid, 1)->isChecked());
    EXPECT_EQ(w.state.CellSize, 1);
    // The DKN menu keeps its own check mark meanwhile.
    EXPECT_TRUE(f.SizeItem(gkDKN, 3)->isChecked());
}

// --- Format rules ------------------------------------------------------------------

struct FormatCase {
    const char* Name;
    bool Tab;
    const char* First;  // grid system item
    const char* Format; // format item chosen under it
    const char* Second; // grid system chosen next
    int32_t Expected;   // OutputFormatTag afterwards
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.Name;
}

class FormatRules : public ::testing::TestWithParam<FormatCase> {};

INSTANTIATE_TEST_SUITE_P(
    Window, FormatRules,
    ::testing::Values(
        FormatCase{"TabBecomesMifUnderEuroGrid", true, "DKN1", "TAB1", "EuroGrid1", ftMIF},
        FormatCase{"ShpStays", true, "DKN1", "SHP1", "EuroGrid1", ftSHP},
        FormatCase{"Shp83Stays", false, "EuroGrid1", "SHP831", "DKN1", ftSHP83},
        FormatCase{"MifStays", false, "DKN1", "MIF1", "EuroGrid1", ftMIF},
        FormatCase{"GeoPackageStaysUnderEuroGrid", false, "DKN1", "GPKG1", "EuroGrid1", ftGPKG},
        FormatCase{"GeoPackageStaysUnderDKN", false, "EuroGrid1", "GPKG1", "DKN1", ftGPKG},
        FormatCase{"TabStaysUnderDKN", true, "DKN1", "TAB1", "DKN1", ftTAB},
        // The item is disabled without its library and cannot be chosen.
        FormatCase{"TabNeverChosenWithoutLibrary", false, "DKN1", "TAB1", "DKN1", ftSHP}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(FormatRules, FormatAfterSwitchingSystems) {
    const FormatCase& c = GetParam();
    WindowFixture w(c.Tab);
    TForm1& f = w.Form();
    Trigger(f, {c.First, c.Format, c.Second});
    EXPECT_EQ(w.state.OutputFormatTag, c.Expected);
    EXPECT_TRUE(f.FormatItem(c.Expected)->isChecked());
    EXPECT_TRUE(f.FormatItem(c.Expected)->isVisible());
}

// --- Sizes, presets and the status bar ---------------------------------------------

struct PanelCase {
    const char* Name;
    std::vector<const char*> Steps;
    std::vector<std::string> Panels;
    int32_t CellSize;
};

void PrintTo(const PanelCase& c, std::ostream* os) {
    *os << c.Name;
}

class StatusPanels : public ::testing::TestWithParam<PanelCase> {};

INSTANTIATE_TEST_SUITE_P(
    Window, StatusPanels,
    ::testing::Values(PanelCase{"DenmarkOnlyIn1km",
                                {"DKN1", "Denmarkonly1"},
                                {"X1: 440000", "Y1: 6040000", "X2: 900000", "Y2: 6410000",
                                 "Cells X: 460", "Cells Y: 370"},
                                1000},
                      PanelCase{"BornholmThen10km",
                                {"DKN1", "Bornholm1", "N10km1"},
                                {"X1: 860000", "Y1: 6100000", "X2: 900000", "Y2: 6150000",
                                 "Cells X: 4", "Cells Y: 5"},
                                10000},
                      PanelCase{"AllIn100km",
                                {"DKN1", "N100km1", "All1"},
                                {"X1: 100000", "Y1: 6000000", "X2: 1000000", "Y2: 6500000",
                                 "Cells X: 9", "Cells Y: 5"},
                                100000},
                      PanelCase{"WithoutBornholmIn250m",
                                {"DKN1", "N250meter1", "DenmarkonlywithoutBornholm1"},
                                {"X1: 440000", "Y1: 6040000", "X2: 740000", "Y2: 6410000",
                                 "Cells X: 1200", "Cells Y: 1480"},
                                250},
                      PanelCase{"NonStandard2km",
                                {"DKN1", "Bornholm1", "N2kmnostandard1"},
                                {"X1: 860000", "Y1: 6100000", "X2: 900000", "Y2: 6150000",
                                 "Cells X: 20", "Cells Y: 25"},
                                2000},
                      // EuroGrid snaps the kept corners in its own 10 km, then 100 km cells.
                      PanelCase{"EuroGridKeepsTheCorners",
                                {"DKN1", "Denmarkonly1", "EuroGrid1"},
                                {"X1: 440000", "Y1: 6040000", "X2: 900000", "Y2: 6410000",
                                 "Cells X: 46", "Cells Y: 37"},
                                10000},
                      PanelCase{"EuroGrid100km",
                                {"DKN1", "Denmarkonly1", "EuroGrid1", "N100kilometer1"},
                                {"X1: 400000", "Y1: 6000000", "X2: 900000", "Y2: 6500000",
                                 "Cells X: 5", "Cells Y: 5"},
                                100000}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(StatusPanels, TextsAndWidths) {
    const PanelCase& c = GetParam();
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, c.Steps);
    EXPECT_EQ(w.Panels(), c.Panels);
    EXPECT_EQ(w.state.CellSize, c.CellSize);
    EXPECT_TRUE(f.Go1->isEnabled());
    // Each panel is as wide as its text plus 10 pixels.
    for (QLabel* p : f.StatusPanels)
        EXPECT_EQ(p->width(), p->fontMetrics().horizontalAdvance(p->text()) + 10)
            << p->text().toStdString();
    // The chosen size item carries the check mark.
    EXPECT_TRUE(f.SizeItem(w.state.GridKind, w.state.SizeTag)->isChecked());
    // The rectangle in the pane is the snapped extent.
    ASSERT_EQ(f.PGFTable1->ObjectCount(), 1);
    const TFloatRect e = f.PGFTable1->Extents();
    EXPECT_EQ(e.Left, w.state.GridExtent.X1);
    EXPECT_EQ(e.Right, w.state.GridExtent.X2);
    EXPECT_EQ(e.Bottom, w.state.GridExtent.Y1);
    EXPECT_EQ(e.Top, w.state.GridExtent.Y2);
}

// --- The map pane ------------------------------------------------------------------

TEST(MapPane, LayersAsDesigned) {
    WindowFixture w;
    TForm1& f = w.Form();
    plani::TLayerList& layers = w.Viewport().Layers();
    ASSERT_EQ(layers.Count(), 3);
    EXPECT_EQ(layers.GetLayerItem(0)->GraphicTable(), f.PGFTable1.get());
    EXPECT_EQ(layers.GetLayerItem(1)->GraphicTable(), f.RasterTable1.get());
    EXPECT_EQ(layers.GetLayerItem(2)->GraphicTable(), f.PGFTable2.get());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(layers.GetLayerItem(i)->LayerState().Visible()) << i;
    EXPECT_TRUE(layers.GetLayerItem(0)->LayerState().Editable());
    EXPECT_FALSE(layers.GetLayerItem(1)->LayerState().Selectable());
    EXPECT_FALSE(layers.GetLayerItem(2)->LayerState().Selectable());

    EXPECT_FALSE(f.RasterTable1->Active());
    EXPECT_EQ(f.RasterTable1->Description(), "Graphic Table");
    EXPECT_EQ(f.RasterTable1->MX2(), 1053);
    EXPECT_EQ(f.RasterTable1->MY2(), 835);
    EXPECT_TRUE(f.PGFTable1->Active());
    EXPECT_TRUE(f.PGFTable1->RamFile());
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 0);
    EXPECT_FALSE(f.PGFTable2->Active());

    EXPECT_EQ(w.Viewport().SelectColor(), 255u);
    EXPECT_EQ(w.Viewport().BackgroundColor(), 0xFFFFFFu);
    EXPECT_DOUBLE_EQ(w.Viewport().Display().ReqCentreX(), 4283850.299195001);
    EXPECT_DOUBLE_EQ(w.Viewport().Display().ReqCentreY(), 4063239.52112);
}

TEST(MapPane, BackgroundOfEachGridSystem) {
    WindowFixture w;
    TForm1& f = w.Form();
    for (const auto& [item, file] : {std::pair{"DKN1", "dkn.bmp"}, {"EuroGrid1", "eurogrid.bmp"}}) {
        Trigger(f, {item});
        EXPECT_TRUE(f.RasterTable1->Active()) << item;
        EXPECT_EQ(f.RasterTable1->DiskLocation(), DataFile(file));
        EXPECT_TRUE(f.RasterTable1->RefPointsLoaded()) << "world file beside " << file;
        // Zoomed to the map: the view fits the map's extents on one axis.
        const TFloatRect r = f.RasterTable1->Extents();
        const TFloatRect v = w.Viewport().Display().Actual();
        EXPECT_LE(v.Left, r.Left + 1e-6);
        EXPECT_GE(v.Right, r.Right - 1e-6);
        EXPECT_GE(v.Top, r.Top - 1e-6);
        EXPECT_LE(v.Bottom, r.Bottom + 1e-6);
        const bool fitsWidth =
            std::abs((v.Right - v.Left) - (r.Right - r.Left)) < 1e-6 * (r.Right - r.Left);
        const bool fitsHeight =
            std::abs((v.Top - v.Bottom) - (r.Top - r.Bottom)) < 1e-6 * (r.Top - r.Bottom);
        EXPECT_TRUE(fitsWidth || fitsHeight);
        // The map is drawn: the centre of the pane is not the white background.
        const QImage& img = w.Viewport().ScreenBM();
        EXPECT_NE(img.pixel(img.width() / 2, img.height() / 2), qRgb(255, 255, 255));
    }
}

TEST(MapPane, TwoClicksWithDifferentButtonsSetTheCornersAndDrawTheRectangle) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1"});
    const QPoint a(250, 150), b(600, 380);
    const TFloatPoint wa = w.Viewport().ScreenToCoOrd(TPoint{a.x(), a.y()});
    const TFloatPoint wb = w.Viewport().ScreenToCoOrd(TPoint{b.x(), b.y()});

    w.Click(a, Qt::LeftButton);
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{wa.X, wa.Y}));
    EXPECT_FALSE(w.state.ExtentShown);
    EXPECT_FALSE(f.Go1->isEnabled());
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 0);

    w.Click(b, Qt::RightButton);
    EXPECT_EQ(w.state.SecondCorner, (TCornerPoint{wb.X, wb.Y}));
    EXPECT_TRUE(w.state.ExtentShown);
    EXPECT_TRUE(f.Go1->isEnabled());
    EXPECT_EQ(w.state.GridExtent, SnapExtent(w.state.FirstCorner, w.state.SecondCorner, 1000));
    const auto texts = StatusTexts(w.state.GridExtent);
    EXPECT_EQ(w.Panels(), std::vector<std::string>(texts.begin(), texts.end()));
    ASSERT_EQ(f.PGFTable1->ObjectCount(), 1);

    // The rectangle is drawn in red over the map, on all four sides.
    const TGridExtent& e = w.state.GridExtent;
    const double mx = (e.X1 + e.X2) / 2, my = (e.Y1 + e.Y2) / 2;
    for (TFloatPoint side : {TFloatPoint{e.X1, my}, TFloatPoint{e.X2, my}, TFloatPoint{mx, e.Y1},
                             TFloatPoint{mx, e.Y2}}) {
        const TPoint p = w.Viewport().CoOrdToScreen(side);
        EXPECT_TRUE(w.RedNear({p.X, p.Y})) << p.X << "," << p.Y;
    }
    const TPoint inside = w.Viewport().CoOrdToScreen(TFloatPoint{mx, my});
    EXPECT_FALSE(w.RedNear({inside.X, inside.Y}));

    // A middle click also moves the second corner; the old rectangle goes.
    const TPoint oldLeft = w.Viewport().CoOrdToScreen(TFloatPoint{e.X1, my});
    w.Click({120, 100}, Qt::LeftButton);
    w.Click({300, 200}, Qt::MiddleButton);
    const TFloatPoint wm = w.Viewport().ScreenToCoOrd(TPoint{300, 200});
    EXPECT_EQ(w.state.SecondCorner, (TCornerPoint{wm.X, wm.Y}));
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 1);
    EXPECT_FALSE(w.RedNear({oldLeft.X, oldLeft.Y}));
}

TEST(MapPane, TwoLeftClicksMoveOnlyTheFirstCorner) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1"});
    w.Click({200, 200});
    w.Click({500, 300});
    const TFloatPoint second = w.Viewport().ScreenToCoOrd(TPoint{500, 300});
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{second.X, second.Y}));
    EXPECT_EQ(w.state.SecondCorner.X, 0.0);
    EXPECT_FALSE(f.Go1->isEnabled());
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 0);
    for (QLabel* p : f.StatusPanels)
        EXPECT_TRUE(p->text().isEmpty());
}

TEST(MapPane, ClicksInZoomAndPanModesDoNotMoveTheCorners) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1", "Denmarkonly1"});
    const TCornerPoint first = w.state.FirstCorner, second = w.state.SecondCorner;
    const struct {
        int Button;
        plani::TViewportMode Mode;
    } modes[] = {{1, plani::vpmZoomIn}, {2, plani::vpmZoomOut}, {3, plani::vpmPan}};
    for (const auto& m : modes) {
        f.SpeedButtons[m.Button]->trigger();
        EXPECT_EQ(w.Viewport().Mode(), m.Mode);
        EXPECT_TRUE(f.SpeedButtons[m.Button]->isChecked());
        w.Click({300, 200}, Qt::LeftButton);
        w.Click({400, 250}, Qt::RightButton);
        EXPECT_EQ(w.state.FirstCorner, first) << m.Button;
        EXPECT_EQ(w.state.SecondCorner, second) << m.Button;
    }
    EXPECT_NE(w.Viewport().cursor().shape(), Qt::CrossCursor);
    // Back in "Select area", clicks set corners again, under a cross-hair.
    f.SpeedButtons[4]->trigger();
    EXPECT_EQ(w.Viewport().Mode(), plani::vpmUserDefined);
    EXPECT_EQ(w.Viewport().cursor().shape(), Qt::CrossCursor);
    const TFloatPoint p = w.Viewport().ScreenToCoOrd(TPoint{300, 200});
    w.Click({300, 200});
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{p.X, p.Y}));
}

TEST(MapPane, ClicksWithoutAGridAreIgnored) {
    WindowFixture w;
    w.Click({300, 200}, Qt::LeftButton);
    w.Click({400, 250}, Qt::RightButton);
    EXPECT_EQ(w.state.FirstCorner, TCornerPoint{});
    EXPECT_EQ(w.state.SecondCorner, TCornerPoint{});
    EXPECT_EQ(w.Form().PGFTable1->ObjectCount(), 0);
}

TEST(MapPane, CloseGridKeepsTheCornersAndClearsThePane) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1", "N10km1", "Denmarkonly1", "SHP831", "Close1"});
    EXPECT_EQ(w.state.GridKind, gkNone);
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{440000, 6040000}));
    EXPECT_EQ(w.state.SecondCorner, (TCornerPoint{900000, 6410000}));
    EXPECT_EQ(w.state.OutputFormatTag, ftSHP83);
    EXPECT_TRUE(f.SizeItem(gkDKN, 4)->isChecked());
    EXPECT_FALSE(f.RasterTable1->Active());
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 0);
    EXPECT_FALSE(f.PGFTable2->Active());
    EXPECT_FALSE(f.Go1->isEnabled());
    EXPECT_FALSE(f.Fileformat1->menuAction()->isVisible());
    EXPECT_FALSE(f.DKNGridSize1->menuAction()->isVisible());
    // An empty white pane.
    QImage img = w.Viewport().ScreenBM();
    ASSERT_FALSE(img.isNull());
    QImage white(img.size(), img.format());
    white.fill(Qt::white);
    EXPECT_EQ(img, white);
    // Clicks are ignored now.
    EXPECT_EQ(w.Viewport().cursor().shape(), Qt::ArrowCursor);
    w.Click({300, 200});
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{440000, 6040000}));

    // The same grid system again shows the kept corners at once, in its default size.
    Trigger(f, {"DKN1"});
    EXPECT_TRUE(f.Go1->isEnabled());
    EXPECT_EQ(w.state.CellSize, 1000);
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 1);
    EXPECT_EQ(w.Panels()[4], "Cells X: 460");
}

TEST(MapPane, ZoomAllShowsTheWholeMapAgain) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1"});
    const TFloatRect whole = w.Viewport().Display().Actual();
    f.SpeedButtons[1]->trigger(); // zoom in
    w.Click({440, 260});
    const TFloatRect zoomed = w.Viewport().Display().Actual();
    EXPECT_LT(zoomed.Right - zoomed.Left, whole.Right - whole.Left);
    f.SpeedButtons[0]->trigger(); // zoom all
    WindowFixture::Settle();
    const TFloatRect again = w.Viewport().Display().Actual();
    EXPECT_NEAR(again.Left, whole.Left, 1e-6);
    EXPECT_NEAR(again.Right, whole.Right, 1e-6);
    EXPECT_NEAR(again.Top, whole.Top, 1e-6);
    EXPECT_NEAR(again.Bottom, whole.Bottom, 1e-6);
    // Zoom all is a command, not a mode: zoom-in stays on.
    EXPECT_EQ(w.Viewport().Mode(), plani::vpmZoomIn);
}

TEST(MapPane, ResizingKeepsThePaneBetweenToolbarAndProgressBar) {
    WindowFixture w;
    TForm1& f = w.Form();
    Trigger(f, {"DKN1", "Denmarkonly1"});
    for (QSize size : {QSize(1000, 700), QSize(500, 360), QSize(880, 640)}) {
        f.resize(size);
        WindowFixture::Settle();
        const QWidget* client = f.centralWidget();
        const QRect vp = f.GraphicViewport1->geometry();
        const QRect pb = f.ProgressBar1->geometry();
        EXPECT_EQ(vp.topLeft(), QPoint(0, 0));
        EXPECT_EQ(vp.width(), client->width());
        EXPECT_EQ(pb.width(), client->width());
        EXPECT_EQ(pb.height(), 17);
        EXPECT_EQ(pb.top(), vp.bottom() + 1); // directly below the map pane
        EXPECT_EQ(pb.bottom(), client->height() - 1);
        EXPECT_EQ(client->width(), f.width());
        EXPECT_GE(client->geometry().top(), f.ToolBar1->geometry().bottom());
        EXPECT_LE(client->geometry().bottom(), f.StatusBar1->geometry().top());
        EXPECT_EQ(f.StatusBar1->geometry().bottom(), f.height() - 1);
        // The picture follows the new size.
        EXPECT_EQ(f.GraphicViewport1->ScreenBM().size(), vp.size());
    }
}

// --- Errors ------------------------------------------------------------------------

TEST(Window, AnErrorOfACommandIsReportedAndLeavesNoHalfChosenGrid) {
    WindowFixture w;
    TForm1& f = w.Form();
    // Corners so far apart that their 10 km cells cannot be counted in 32 bits.
    w.state.FirstCorner = {1, 1};
    w.state.SecondCorner = {1e14, 1};
    Trigger(f, {"EuroGrid1"});
    ASSERT_EQ(w.dialogs.Errors.size(), 1u);
    EXPECT_NE(w.dialogs.Errors[0].find("too large"), std::string::npos) << w.dialogs.Errors[0];
    EXPECT_EQ(w.state.GridKind, gkNone);
    EXPECT_FALSE(f.RasterTable1->Active());
    EXPECT_FALSE(f.Fileformat1->menuAction()->isVisible());
    EXPECT_FALSE(f.EuroGridsize->menuAction()->isVisible());
    EXPECT_FALSE(f.Go1->isEnabled());
}

// --- Small commands ----------------------------------------------------------------

TEST(Window, HelpOpensTheHelpPageFromMenuAndF1) {
    WindowFixture w;
    apptest::OpenedUrls opened;
    w.Form().HelpF11->trigger();
    QTest::keyClick(&w.Form(), Qt::Key_F1);
    ASSERT_EQ(opened.Urls.size(), 2u);
    for (const QUrl& u : opened.Urls) {
        EXPECT_TRUE(u.isLocalFile());
        EXPECT_EQ(u.toLocalFile().toStdString(), DataFile(HelpFileName));
    }
    EXPECT_TRUE(QFileInfo::exists(opened.Urls[0].toLocalFile()));
    EXPECT_TRUE(w.dialogs.Seen.empty());
}

TEST(Window, AboutShowsTheAboutBoxModally) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.About1->trigger();
    ASSERT_EQ(w.dialogs.Seen, std::vector<std::string>{"modal About"});
    EXPECT_NE(dynamic_cast<TForm2*>(w.dialogs.LastModal), nullptr);
    // The program's about box, when it has handed one over.
    TForm2 box(&f);
    f.SetAboutBox(&box);
    f.About1->trigger();
    EXPECT_EQ(w.dialogs.LastModal, &box);
}

TEST(Window, ExitClosesTheWindow) {
    WindowFixture w;
    w.Form().Exit1->trigger();
    EXPECT_FALSE(w.Form().isVisible());
    EXPECT_TRUE(w.dialogs.Seen.empty()); // nothing asked
}

TEST(Window, CheckForUpdatesAsksTheServer) {
    apptest::HttpTestServer server(200, "1.03");
    WindowFixture w(false, [&](TForm1Setup& s) { s.UpdateServer = server.Url(); });
    w.Form().Updatesavailable1->trigger();
    EXPECT_EQ(w.dialogs.Messages, std::vector<std::string>{"No updates available"});
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"GET /versions/quadrel.txt HTTP/1.1"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
