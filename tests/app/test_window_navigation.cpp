// Navigation and the keyboard, under QTest: the wheel zooms about the pointer and a
// middle-button drag pans in every map mode without touching the corners; Escape
// returns to "Select area"; the shortcuts and the menus' mnemonics.

#include "app_test_env.h"
#include "keyboard.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace quadrel;
using apptest::WindowFixture;
using plani::TFloatPoint;
using plani::TFloatRect;
using plani::TPoint;

namespace {

void SendWheel(QWidget* w, QPoint Pos, int Delta) {
    QWheelEvent e(QPointF(Pos), w->mapToGlobal(QPointF(Pos)), QPoint(), QPoint(0, Delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
    WindowFixture::Settle();
}

void SendMouse(QWidget* w, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button) {
    const Qt::MouseButtons held =
        Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
    QMouseEvent e(Type, QPointF(Pos), w->mapToGlobal(QPointF(Pos)),
                  Type == QEvent::MouseMove ? Qt::NoButton : Button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    WindowFixture::Settle();
}

// A window with DKN's "Denmark only" and the keyboard's focus.
struct DknWindow : WindowFixture {
    DknWindow() {
        form->DKN1->trigger();
        form->Denmarkonly1->trigger();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        Settle();
    }
};

TEST(MapNavigation, WheelZoomsAboutThePointerInEveryMode) {
    DknWindow w;
    TForm1& f = w.Form();
    const TCornerPoint first = w.state.FirstCorner, second = w.state.SecondCorner;
    const double whole = w.Viewport().Display().ActualWidth();
    for (int button : {4, 1, 2, 3}) { // Select area, Zoom in, Zoom out, Pan
        f.SpeedButtons[button]->trigger();
        const plani::TViewportMode mode = w.Viewport().Mode();
        for (const auto& [pos, delta] :
             {std::pair{QPoint(620, 380), 120}, {QPoint(150, 90), -120}}) {
            const double width = w.Viewport().Display().ActualWidth();
            const TFloatPoint under = w.Viewport().ScreenToCoOrd(TPoint{pos.x(), pos.y()});
            SendWheel(f.GraphicViewport1, pos, delta);
            const TFloatPoint after = w.Viewport().ScreenToCoOrd(TPoint{pos.x(), pos.y()});
            EXPECT_NEAR(after.X, under.X, 1e-6 * width) << button;
            EXPECT_NEAR(after.Y, under.Y, 1e-6 * width) << button;
            EXPECT_NEAR(w.Viewport().Display().ActualWidth(),
                        delta > 0 ? width / 1.25 : width * 1.25, 1e-6 * width);
        }
        EXPECT_EQ(w.Viewport().Mode(), mode);
    }
    EXPECT_NEAR(w.Viewport().Display().ActualWidth(), whole, 1e-6 * whole);
    EXPECT_EQ(w.state.FirstCorner, first);
    EXPECT_EQ(w.state.SecondCorner, second);
    // Closer than 10 m across the pane the wheel does not go.
    for (int i = 0; i < 80; ++i)
        SendWheel(f.GraphicViewport1, {440, 260}, 120);
    EXPECT_NEAR(w.Viewport().Display().ActualWidth(), 10, 1e-6);
}

TEST(MapNavigation, MiddleDragPansWithoutMovingACorner) {
    DknWindow w;
    TForm1& f = w.Form();
    const TCornerPoint first = w.state.FirstCorner, second = w.state.SecondCorner;
    for (int button : {4, 1, 3}) {
        f.SpeedButtons[button]->trigger();
        const TFloatPoint grabbed = w.Viewport().ScreenToCoOrd(TPoint{300, 200});
        QWidget* pane = f.GraphicViewport1;
        SendMouse(pane, QEvent::MouseButtonPress, {300, 200}, Qt::MiddleButton);
        SendMouse(pane, QEvent::MouseMove, {350, 220}, Qt::MiddleButton);
        SendMouse(pane, QEvent::MouseMove, {420, 260}, Qt::MiddleButton);
        SendMouse(pane, QEvent::MouseButtonRelease, {420, 260}, Qt::MiddleButton);
        // What was grabbed lies under the pointer now.
        const TPoint now = w.Viewport().CoOrdToScreen(grabbed);
        EXPECT_NEAR(now.X, 420, 1) << button;
        EXPECT_NEAR(now.Y, 260, 1) << button;
        EXPECT_EQ(w.state.FirstCorner, first);
        EXPECT_EQ(w.state.SecondCorner, second);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST(Keyboard, ShortcutsOfTheMapButtonsAndCommands) {
    DknWindow w;
    TForm1& f = w.Form();
    const struct {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        plani::TViewportMode Mode;
    } modes[] = {
        {Qt::Key_Plus, Qt::NoModifier, plani::vpmZoomIn},
        {Qt::Key_Escape, Qt::NoModifier, plani::vpmUserDefined},
        {Qt::Key_Minus, Qt::NoModifier, plani::vpmZoomOut},
        {Qt::Key_P, Qt::NoModifier, plani::vpmPan},
        {Qt::Key_S, Qt::NoModifier, plani::vpmUserDefined},
        {Qt::Key_Equal, Qt::NoModifier, plani::vpmZoomIn},
        {Qt::Key_Escape, Qt::NoModifier, plani::vpmUserDefined},
    };
    for (const auto& m : modes) {
        QTest::keyClick(&f, static_cast<Qt::Key>(m.Key), m.Modifiers);
        EXPECT_EQ(w.Viewport().Mode(), m.Mode) << m.Key;
        EXPECT_TRUE(f.SpeedButtons[m.Mode == plani::vpmUserDefined ? 4
                                   : m.Mode == plani::vpmZoomIn    ? 1
                                   : m.Mode == plani::vpmZoomOut   ? 2
                                                                   : 3]
                        ->isChecked());
    }
    EXPECT_EQ(w.Viewport().cursor().shape(), Qt::CrossCursor); // back to picking corners

    // Home: the whole map again.
    const TFloatRect whole = w.Viewport().Display().Actual();
    SendWheel(f.GraphicViewport1, {300, 200}, 360);
    QTest::keyClick(&f, Qt::Key_Home);
    EXPECT_NEAR(w.Viewport().Display().Actual().Left, whole.Left, 1e-6);
    EXPECT_NEAR(w.Viewport().Display().Actual().Right, whole.Right, 1e-6);

    // Ctrl+Return: GO ! (here the user cancels the folder chooser).
    w.dialogs.ChooseAFolder = false;
    QTest::keyClick(&f, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w.dialogs.Seen.size(), 1u);
    EXPECT_EQ(w.dialogs.Seen[0].rfind("folder Choose where to store the grid:", 0), 0u);
    // Ctrl+W: Close grid; Ctrl+Return then does nothing.
    QTest::keyClick(&f, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(w.state.GridKind, gkNone);
    QTest::keyClick(&f, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w.dialogs.Seen.size(), 1u);
    // Ctrl+Q: Exit.
    QTest::keyClick(&f, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(w.dialogs.Seen.size(), 1u); // nothing asked
}

// The visible text of every caption stays as it was; the mnemonic letters of one
// menu (and of the menu bar) differ from each other; a hidden menu has none.
TEST(Keyboard, MnemonicsWithoutChangingTheCaptions) {
    DknWindow w;
    TForm1& f = w.Form();
    auto letterOf = [](const QString& caption) {
        const qsizetype at = caption.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < caption.size() ? caption[at + 1].toLower() : QChar();
    };
    auto checkUnique = [&](const QList<QAction*>& items, const std::string& where) {
        std::set<QChar> seen;
        for (QAction* a : items) {
            const QChar c = letterOf(a->text());
            if (c.isNull())
                continue;
            EXPECT_TRUE(seen.insert(c).second) << where << ": " << a->text().toStdString();
        }
    };
    checkUnique(f.menuBar()->actions(), "menu bar");
    for (QMenu* m : f.menuBar()->findChildren<QMenu*>())
        checkUnique(m->actions(), m->objectName().toStdString());

    const struct {
        QAction* Action;
        const char* Caption;
    } marked[] = {
        {f.File1->menuAction(), "&File"},
        {f.Grid1->menuAction(), "&Grid"},
        {f.Fileformat1->menuAction(), "File fo&rmat"},
        {f.DKNGridSize1->menuAction(), "Grid &size"},
        {f.Go1, "G&O !"},
        {f.Help1->menuAction(), "&Help"},
        {f.Exit1, "E&xit"},
        {f.Close1, "&Close grid"},
        {f.SetArea1, "Set &area..."},
        {f.SHP831, "ESRI SHP, &8+3 filename"},
    };
    for (const auto& m : marked)
        EXPECT_EQ(m.Action->text().toStdString(), m.Caption);
    // The hidden "Grid size" of the other system, and the menus of no grid at all.
    EXPECT_EQ(f.EuroGridsize->title(), "Grid size");
    f.EuroGrid1->trigger();
    EXPECT_EQ(f.EuroGridsize->title(), "Grid &size");
    EXPECT_EQ(f.DKNGridSize1->title(), "Grid size");
    f.Close1->trigger();
    EXPECT_EQ(f.Fileformat1->title(), "File format");
    EXPECT_EQ(f.EuroGridsize->title(), "Grid size");
    EXPECT_EQ(VisibleCaption("ESRI SHP, &8+3 filename"), "ESRI SHP, 8+3 filename");
    EXPECT_EQ(VisibleCaption("Fish && &Chips"), "Fish & Chips");
    // The menus show the new shortcuts beside their items.
    EXPECT_EQ(f.Close1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(f.Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(f.HelpF11->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST(Keyboard, AltAndALetterOpensItsMenu) {
    DknWindow w;
    TForm1& f = w.Form();
    // Both "Grid size" menus bear Alt+S; the one of the open grid system opens.
    for (const auto& [key, menu] :
         {std::pair{Qt::Key_G, f.Grid1}, {Qt::Key_S, f.DKNGridSize1}, {Qt::Key_H, f.Help1}}) {
        QTest::keyClick(f.menuBar(), key, Qt::AltModifier);
        WindowFixture::Settle();
        EXPECT_EQ(QApplication::activePopupWidget(), menu) << menu->objectName().toStdString();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        WindowFixture::Settle();
    }
}

} // namespace
