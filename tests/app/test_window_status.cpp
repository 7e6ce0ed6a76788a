// The status bar after the six extent panels, under QTest: the position under the
// pointer, what "GO !" would write, the notice about corners from another grid
// system; what "Close grid" clears; and the smallest window the panels fit.

#include "PGFtable.h"
#include "RasterTable.h"
#include "app_test_env.h"
#include "cursor_readout.h"
#include "run_preview.h"
#include "status_readouts.h"
#include "status_texts.h"
#include "temp_dir.h"
#include "uCommon.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <fstream>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::WindowFixture;
using plani::TFloatPoint;
using plani::TPoint;

namespace {

void Trigger(TForm1& f, const char* Name) {
    QAction* a = f.findChild<QAction*>(QString::fromLatin1(Name));
    ASSERT_NE(a, nullptr) << Name;
    a->trigger();
}

int LeftInStatusBar(TForm1& f, const QWidget* w) {
    return w->mapTo(f.StatusBar1, QPoint(0, 0)).x();
}

std::string Text(const QLabel* l) {
    return l->text().toStdString();
}

// The pointer moved to Pos over the map pane.
void MoveTo(WindowFixture& w, QPoint Pos) {
    QWidget* pane = w.form->GraphicViewport1;
    QMouseEvent e(QEvent::MouseMove, QPointF(Pos), pane->mapToGlobal(QPointF(Pos)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pane, &e);
}

TEST(CursorPanel, ShowsThePositionUnderThePointer) {
    WindowFixture w;
    TForm1& f = w.Form();
    MoveTo(w, {300, 200});
    EXPECT_EQ(Text(f.CursorPanel), ""); // no grid open
    f.DKN1->trigger();
    Trigger(f, "N10km1");
    TCursorReadout readout;
    for (QPoint pos : {QPoint(300, 200), QPoint(640, 90), QPoint(0, 0)}) {
        MoveTo(w, pos);
        const TFloatPoint p = w.Viewport().ScreenToCoOrd(TPoint{pos.x(), pos.y()});
        EXPECT_EQ(Text(f.CursorPanel), readout.Text(w.state, p.X, p.Y));
        EXPECT_EQ(Text(f.CursorPanel).rfind("X: ", 0), 0u);
        EXPECT_NE(Text(f.CursorPanel).find("Cell: 10km_"), std::string::npos)
            << Text(f.CursorPanel);
    }
    // The six panels keep their texts and order; the read-out comes after them.
    for (QLabel* panel : f.StatusPanels)
        EXPECT_LT(panel->geometry().right(), LeftInStatusBar(f, f.CursorPanel));

    // Leaving the pane clears it, and so does closing the grid.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.GraphicViewport1, &leave);
    EXPECT_EQ(Text(f.CursorPanel), "");
    MoveTo(w, {300, 200});
    EXPECT_NE(Text(f.CursorPanel), "");
    f.Close1->trigger();
    EXPECT_EQ(Text(f.CursorPanel), "");
    MoveTo(w, {310, 210});
    EXPECT_EQ(Text(f.CursorPanel), "");
}

// The number of cells and the size estimate before "GO !", in the status bar and
// as GO !'s tool tip, follow every change of area, size and format; a refusal of
// the run is said in words, in red.
TEST(SizePanel, FollowsTheGridAndWarnsBeforeARefusal) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    EXPECT_EQ(Text(f.SizePanel), ""); // no area yet
    f.Denmarkonly1->trigger();
    const std::string shp = RunSizeText(w.state).Text;
    EXPECT_EQ(Text(f.SizePanel), shp);
    EXPECT_EQ(Text(f.SizePanel).rfind("170200 cells, about ", 0), 0u);
    EXPECT_EQ(f.Go1->toolTip().toStdString(), shp);
    EXPECT_FALSE(f.SizePanel->Warning());

    // Hovering over "GO !" shows it too (Qt's menu bar shows no tool tips by itself).
    QMenuBar* bar = f.menuBar();
    const QPoint go = bar->actionGeometry(f.Go1).center();
    QHelpEvent hover(QEvent::ToolTip, go, bar->mapToGlobal(go));
    QApplication::sendEvent(bar, &hover);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().toStdString(), shp);
    QToolTip::hideText();

    f.MIF1->trigger(); // another format, another estimate
    EXPECT_EQ(Text(f.SizePanel), RunSizeText(w.state).Text);
    EXPECT_NE(Text(f.SizePanel), shp);

    f.SHP1->trigger();
    Trigger(f, "N100meter2");
    f.All1->trigger(); // 100 m cells over all of DKN: more than SHP's 2 GB
    EXPECT_TRUE(f.SizePanel->Warning()) << Text(f.SizePanel);
    EXPECT_NE(Text(f.SizePanel).find("SHP format can not handle >2 GB as output"),
              std::string::npos)
        << Text(f.SizePanel);
    EXPECT_TRUE(f.Go1->isEnabled()); // the run itself says so again, as it always did

    w.Click({300, 200}, Qt::LeftButton); // a click changes the area
    EXPECT_EQ(Text(f.SizePanel), RunSizeText(w.state).Text);
    f.Close1->trigger();
    EXPECT_EQ(Text(f.SizePanel), "");
    EXPECT_EQ(f.Go1->toolTip(), "GO !"); // Qt's default: the caption
}

// "Close grid" leaves no text about the grid it closed; the panels are as at start.
TEST(StatusBar, CloseGridClearsWhatItLeftStale) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.Denmarkonly1->trigger();
    f.EuroGrid1->trigger(); // with a notice
    ASSERT_NE(Text(f.NoticePanel), "");
    f.Close1->trigger();
    for (QLabel* p : f.StatusPanels) {
        EXPECT_EQ(Text(p), "");
        EXPECT_EQ(p->width(), 50);
    }
    for (QLabel* l : {static_cast<QLabel*>(f.CursorPanel), static_cast<QLabel*>(f.NoticePanel),
                      static_cast<QLabel*>(f.SizePanel)})
        EXPECT_EQ(Text(l), "") << l->objectName().toStdString();
    // The corners are kept, as always: the next grid system shows them again.
    f.DKN1->trigger();
    EXPECT_EQ(w.Panels()[0], "X1: 440000");
}

TEST(NoticePanel, CornersOutsideTheNewSystemsMap) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.Denmarkonly1->trigger();
    EXPECT_EQ(Text(f.NoticePanel), "");
    f.EuroGrid1->trigger(); // DKN's metres are far off the EuroGrid map
    EXPECT_EQ(Text(f.NoticePanel),
              "The kept corners lie outside the EuroGrid map: they may be another grid system's "
              "metres");
    EXPECT_TRUE(f.NoticePanel->Warning());
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{440000, 6040000})); // kept
    EXPECT_EQ(w.Panels()[0], "X1: 440000");
    // A new area on the map ends the notice.
    w.Click({400, 250}, Qt::LeftButton);
    w.Click({500, 300}, Qt::RightButton);
    EXPECT_EQ(Text(f.NoticePanel), "");
    // Corners on the EuroGrid map are on no DKN map either.
    f.DKN1->trigger();
    EXPECT_NE(Text(f.NoticePanel).find("outside the DKN map"), std::string::npos);
    f.Bornholm1->trigger();
    EXPECT_EQ(Text(f.NoticePanel), "");
    f.DKN1->trigger(); // the same system again: the corners are on its map
    EXPECT_EQ(Text(f.NoticePanel), "");
}

// However small the window is made, the six panels keep their widths side by side,
// even with the widest texts they are likely to hold; the other areas give way.
TEST(StatusBar, PanelsNeverOverlap) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.EuroGrid1->trigger();
    Trigger(f, "N1meter1");
    // EuroGrid in metres over a wide area: seven-digit coordinates and counts.
    w.state.SetCorners({2000001, 1000001}, {7999999, 5999999});
    WindowFixture::Settle();
    for (QSize size : {QSize(200, 150), QSize(600, 400), QSize(880, 640)}) {
        f.resize(size);
        WindowFixture::Settle();
        EXPECT_GE(f.width(), size.width() > f.minimumWidth() ? size.width() : f.minimumWidth());
        int right = -1;
        for (QLabel* p : f.StatusPanels) {
            const QRect g = p->geometry();
            EXPECT_GT(g.left(), right) << Text(p);
            EXPECT_EQ(g.width(), p->fontMetrics().horizontalAdvance(p->text()) + 10) << Text(p);
            EXPECT_LE(g.right(), f.StatusBar1->width()) << Text(p);
            right = g.right();
        }
        EXPECT_GE(LeftInStatusBar(f, f.CursorPanel), right);
        // The map pane keeps some height.
        EXPECT_GE(f.GraphicViewport1->height(), 100);
    }
    // The design's size is above the minimum.
    EXPECT_LE(f.minimumWidth(), 880);
}

} // namespace

namespace {

// A background map that cannot be placed or read is refused with a message naming
// its file, instead of a blank pane; the grid opens without it all the same.
TEST(BackgroundMap, BrokenGeoreferencingOrBitmapIsReported) {
    const std::string dkn = DataFile("dkn.bmp");
    const std::string bitmap = testutil::ReadFileBytes(dkn);
    const struct {
        const char* Name;
        const char* WorldFile; // beside the bitmap, or none
        size_t Cut;            // bytes cut from the bitmap's end
        bool MapShown;         // the design's control points place it instead
        const char* Message;   // the start of what the user is told
    } cases[] = {
        {"vanishing pixel size", "4.9e-324\n0\n0\n-800\n100400\n6499600\n", 0, true,
         "Error while loading world file "},
        {"map beyond 1e9 m", "800\n0\n0\n-800\n100400\n6.5e9\n", 0, true,
         "Error while loading world file "},
        {"truncated bitmap", "800\n0\n0\n-800\n100400\n6499600\n", 1000, false,
         "The background map "},
    };
    for (const auto& c : cases) {
        testutil::TempDir maps;
        std::ofstream(maps / "dkn.bmp", std::ios::binary)
            << bitmap.substr(0, bitmap.size() - c.Cut);
        std::ofstream(maps / "dkn.bpw") << c.WorldFile;
        apptest::ToolkitMessages().clear();
        {
            WindowFixture w(false, [&](TForm1Setup& s) { s.MapFolder = maps.path().string(); });
            TForm1& f = w.Form();
            f.DKN1->trigger();
            std::vector<std::string> told = apptest::ToolkitMessages();
            told.insert(told.end(), w.dialogs.Errors.begin(), w.dialogs.Errors.end());
            ASSERT_EQ(told.size(), 1u) << c.Name;
            EXPECT_EQ(told[0].rfind(c.Message, 0), 0u) << told[0];
            const std::string file = c.Cut ? maps / "dkn.bmp" : maps / "dkn.bpw";
            EXPECT_NE(told[0].find(file), std::string::npos) << told[0];
            EXPECT_EQ(f.RasterTable1->Active(), c.MapShown) << c.Name;
            EXPECT_FALSE(f.RasterTable1->RefPointsLoaded()) << c.Name;
            // The grid is open and works without the map.
            EXPECT_EQ(w.state.GridKind, gkDKN);
            f.Denmarkonly1->trigger();
            EXPECT_TRUE(f.Go1->isEnabled());
            apptest::ToolkitMessages().clear();
        }
    }
}

} // namespace
