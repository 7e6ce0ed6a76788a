#include "keyboard.h"

#include "Unit1.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace quadrel {

namespace {

// Each menu or item by its component name, with its mnemonic marked. An item whose
// caption no longer reads the same without the marker is left alone.
struct TMnemonic {
    const char* Name;
    const char* Marked;
};
constexpr TMnemonic Mnemonics[] = {
    {"File1", "&File"},
    {"Updatesavailable1", "Check for &updates"},
    {"Exit1", "E&xit"},
    {"Grid1", "&Grid"},
    {"DKN1", "&DKN (Danske Kvadratnet)"},
    {"EuroGrid1", "&EuroGrid"},
    {"Close1", "&Close grid"},
    {"SetArea1", "Set &area..."},
    {"Fileformat1", "File fo&rmat"},
    {"MIF1", "MapInfo &MIF"},
    {"TAB1", "MapInfo &TAB"},
    {"SHP1", "ESRI &SHP"},
    {"SHP831", "ESRI SHP, &8+3 filename"},
    {"GML2121", "&GML 2.1.2"},
    {"EuroGridsize", "Grid &size"},
    {"DKNGridSize1", "Grid &size"},
    {"All1", "&All"},
    {"Denmarkonly1", "Denmark &only"},
    {"DenmarkonlywithoutBornholm1", "Denmark only (&without Bornholm)"},
    {"Bornholm1", "&Bornholm"},
    {"Cells1", "&Cells"},
    {"NoCellCode1", "&No cell code"},
    {"EEACellCode1", "&EEA cell code (CELLCODE)"},
    {"INSPIRECellCode1", "&INSPIRE cell code (GRD_ID)"},
    {"INSPIREShortCellCode1", "INSPIRE s&hort cell code (GRD_ID)"},
    {"ParentCells1", "&Parent cells"},
    {"CentrePoints1", "&Centre points"},
    {"Go1", "G&O !"},
    {"Help1", "&Help"},
    {"HelpF11", "&Help (F1)"},
    {"About1", "&About"},
};

struct TShortcut {
    const char* Name;
    QList<QKeySequence> Keys;
};

QList<TShortcut> Shortcuts() {
    return {
        {"Go1", {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}},
        {"Close1", {QKeySequence(Qt::CTRL | Qt::Key_W)}},
        {"Exit1", {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
        {"SpeedButton1", {QKeySequence(Qt::Key_Home)}},
        {"SpeedButton2", {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)}},
        {"SpeedButton3", {QKeySequence(Qt::Key_Minus)}},
        {"SpeedButton4", {QKeySequence(Qt::Key_P)}},
        // Escape leaves any map mode for "Select area", as in every map program.
        {"SpeedButton5", {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_S)}},
    };
}

QAction* ActionNamed(TForm1& Form, const char* Name) {
    const QString name = QString::fromLatin1(Name);
    if (auto* menu = Form.findChild<QMenu*>(name))
        return menu->menuAction();
    return Form.findChild<QAction*>(name);
}

} // namespace

QString VisibleCaption(const QString& Caption) {
    QString shown;
    for (qsizetype i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == QLatin1Char('&') && i + 1 < Caption.size())
            ++i; // "&x" shows x, "&&" shows &
        shown += Caption[i];
    }
    return shown;
}

void SetUpKeyboard(TForm1& Form) {
    for (const TMnemonic& m : Mnemonics) {
        QAction* a = ActionNamed(Form, m.Name);
        const QString marked = QString::fromLatin1(m.Marked);
        if (!a || a->text() != VisibleCaption(marked))
            continue;
        if (!a->menu()) {
            a->setText(marked);
            continue;
        }
        // A hidden menu keeps its letter too, and the two "Grid size" menus share
        // theirs: a menu carries its mnemonic only while it is shown.
        QMenu* menu = a->menu();
        auto follow = [menu, marked] {
            menu->setTitle(menu->menuAction()->isVisible() ? marked : VisibleCaption(marked));
        };
        follow();
        QObject::connect(a, &QAction::visibleChanged, menu, follow);
    }
    for (const TShortcut& s : Shortcuts())
        if (QAction* a = ActionNamed(Form, s.Name)) {
            a->setShortcuts(s.Keys);
            a->setShortcutContext(Qt::WindowShortcut);
        }
}

} // namespace quadrel
