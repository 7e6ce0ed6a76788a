// The window's "Cells" menu: shown by grid system, its items set the grid state
// that "GO !" hands to the run, and its check marks follow the state.

#include "app_test_env.h"
#include "status_readouts.h"
#include "status_texts.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::WindowFixture;

namespace {

QAction* Item(TForm1& f, const char* Name) {
    QAction* a = f.findChild<QAction*>(QString::fromLatin1(Name));
    EXPECT_NE(a, nullptr) << Name;
    return a;
}

QMenu* CellsMenu(TForm1& f) {
    QMenu* m = f.findChild<QMenu*>(QStringLiteral("Cells1"));
    EXPECT_NE(m, nullptr);
    return m;
}

const char* const CodeItems[] = {"NoCellCode1", "EEACellCode1", "INSPIRECellCode1",
                                 "INSPIREShortCellCode1"};

TEST(CellsMenu, ShownForAGridSystemWithTheCodesForEuroGridOnly) {
    WindowFixture w;
    TForm1& f = w.Form();
    QMenu* cells = CellsMenu(f);
    EXPECT_EQ(cells->title(), "Cells");
    // It stands before "GO !" on the menu bar.
    const QList<QAction*> bar = f.menuBar()->actions();
    EXPECT_EQ(bar.indexOf(cells->menuAction()) + 1, bar.indexOf(f.Go1));

    const struct {
        std::vector<QAction*> Steps;
        bool Shown, Codes;
    } cases[] = {
        {{}, false, false},
        {{f.DKN1}, true, false},
        {{f.EuroGrid1}, true, true},
        {{f.EuroGrid1, f.Close1}, false, false},
        {{f.EuroGrid1, f.DKN1}, true, false},
    };
    for (const auto& c : cases) {
        for (QAction* a : c.Steps)
            a->trigger();
        // Alt+C while it is shown.
        EXPECT_EQ(cells->title(), c.Shown ? "&Cells" : "Cells");
        EXPECT_EQ(cells->menuAction()->isVisible(), c.Shown);
        for (const char* name : CodeItems)
            EXPECT_EQ(Item(f, name)->isVisible(), c.Codes) << name;
        EXPECT_TRUE(Item(f, "ParentCells1")->isVisible());
        EXPECT_TRUE(Item(f, "CentrePoints1")->isVisible());
    }
}

// The items set the state and keep it across grid systems; "GO !" runs with it.
TEST(CellsMenu, ItemsSetWhatTheRunWrites) {
    TGridState ran;
    WindowFixture w(false, [&](TForm1Setup& s) {
        s.Run = [&ran](const TGridState& State, TRunUserInterface&) { ran = State; };
    });
    TForm1& f = w.Form();
    f.EuroGrid1->trigger();
    EXPECT_TRUE(Item(f, "NoCellCode1")->isChecked());
    EXPECT_FALSE(Item(f, "ParentCells1")->isChecked());
    EXPECT_FALSE(Item(f, "CentrePoints1")->isChecked());

    const TCellCodeStyle styles[] = {TCellCodeStyle::None, TCellCodeStyle::EEA,
                                     TCellCodeStyle::Inspire, TCellCodeStyle::InspireShort};
    for (size_t k : {1, 3, 2, 0, 1}) {
        Item(f, CodeItems[k])->trigger();
        EXPECT_EQ(w.state.CellCode, styles[k]);
        for (size_t other = 0; other < 4; ++other)
            EXPECT_EQ(Item(f, CodeItems[other])->isChecked(), other == k); // a radio group
    }
    Item(f, "ParentCells1")->trigger();
    Item(f, "CentrePoints1")->trigger();
    EXPECT_TRUE(w.state.ParentCells);
    EXPECT_TRUE(w.state.CentrePoints);
    Item(f, "CentrePoints1")->trigger();
    EXPECT_FALSE(w.state.CentrePoints);
    EXPECT_FALSE(Item(f, "CentrePoints1")->isChecked());

    // A change of grid system keeps the choices.
    f.DKN1->trigger();
    f.Bornholm1->trigger();
    EXPECT_TRUE(Item(f, "ParentCells1")->isChecked());
    f.Go1->trigger();
    EXPECT_EQ(ran.GridKind, gkDKN);
    EXPECT_TRUE(ran.ParentCells);
    EXPECT_FALSE(ran.CentrePoints);
    EXPECT_EQ(ran.CellCode, TCellCodeStyle::EEA); // kept for EuroGrid, unused by DKN
}

// The size read-out follows the choices: points make a smaller grid, fields a larger.
TEST(CellsMenu, TheSizeReadoutFollows) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.Denmarkonly1->trigger();
    std::vector<std::string> shown;
    for (const char* item : {"CentrePoints1", "ParentCells1"}) {
        shown.push_back(f.SizePanel->text().toStdString());
        Item(f, item)->trigger();
        EXPECT_EQ(f.SizePanel->text().toStdString(), RunSizeText(w.state).Text);
        EXPECT_EQ(f.Go1->toolTip(), f.SizePanel->text());
    }
    shown.push_back(f.SizePanel->text().toStdString());
    EXPECT_EQ(shown[0].rfind("170200 cells, about ", 0), 0u);
    EXPECT_NE(shown[1], shown[0]); // points: smaller
    EXPECT_NE(shown[2], shown[1]); // parent fields: larger
}

// The cursor read-out names the EuroGrid cell under the pointer in the chosen style.
TEST(CellsMenu, TheCursorReadoutNamesTheCellInItsStyle) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.EuroGrid1->trigger();
    auto readout = [&] {
        QWidget* pane = f.GraphicViewport1;
        const QPointF pos(300, 200);
        QMouseEvent e(QEvent::MouseMove, pos, pane->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(pane, &e);
        return f.CursorPanel->text().toStdString();
    };
    EXPECT_NE(readout().find("Cell: "), std::string::npos);
    EXPECT_EQ(readout().find("Cell: 10kmE"), std::string::npos);
    Item(f, "EEACellCode1")->trigger();
    EXPECT_NE(readout().find("Cell: 10kmE"), std::string::npos) << readout();
    Item(f, "INSPIRECellCode1")->trigger();
    EXPECT_NE(readout().find("Cell: CRS3035RES10000mN"), std::string::npos) << readout();
}

// Set elsewhere (as a test or a later command may), the state shows in the check marks
// after the next command.
TEST(CellsMenu, CheckMarksFollowTheState) {
    WindowFixture w;
    TForm1& f = w.Form();
    w.state.CellCode = TCellCodeStyle::Inspire;
    w.state.CentrePoints = true;
    f.EuroGrid1->trigger();
    EXPECT_TRUE(Item(f, "INSPIRECellCode1")->isChecked());
    EXPECT_TRUE(Item(f, "CentrePoints1")->isChecked());
    EXPECT_FALSE(Item(f, "ParentCells1")->isChecked());
}

} // namespace
