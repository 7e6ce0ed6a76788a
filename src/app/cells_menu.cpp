#include "cells_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace quadrel {

namespace {

struct TCodeItem {
    TCellCodeStyle Style;
    const char* Name;
    const char* Caption;
    const char* Hint;
};

constexpr TCodeItem CodeItems[] = {
    {TCellCodeStyle::None, "NoCellCode1", "No cell code", "The cells' origins only"},
    {TCellCodeStyle::EEA, "EEACellCode1", "EEA cell code (CELLCODE)",
     "The EEA reference grid's code, e.g. 1kmE4321N3210"},
    {TCellCodeStyle::Inspire, "INSPIRECellCode1", "INSPIRE cell code (GRD_ID)",
     "The INSPIRE code, e.g. CRS3035RES1000mN3210000E4321000"},
    {TCellCodeStyle::InspireShort, "INSPIREShortCellCode1", "INSPIRE short cell code (GRD_ID)",
     "The short INSPIRE code of the statistical grids, e.g. 1kmN3210E4321"},
};

QAction* NewItem(QMenu* Menu, const char* Name, const char* Caption, const char* Hint) {
    auto* a = new QAction(QString::fromUtf8(Caption), Menu);
    a->setObjectName(QString::fromLatin1(Name));
    a->setToolTip(QString::fromUtf8(Hint));
    a->setCheckable(true);
    Menu->addAction(a);
    return a;
}

} // namespace

TCellsMenu::TCellsMenu(QWidget* Window, TGridState& State, TCommand Command)
    : FState(State), FMenu(new QMenu(QStringLiteral("Cells"), Window)),
      FCodes(new QActionGroup(FMenu)) {
    FMenu->setObjectName(QStringLiteral("Cells1"));
    FMenu->setToolTipsVisible(true);
    for (const TCodeItem& item : CodeItems) {
        QAction* a = NewItem(FMenu, item.Name, item.Caption, item.Hint);
        a->setData(static_cast<int>(item.Style));
        FCodes->addAction(a);
        QObject::connect(a, &QAction::triggered, FMenu, [this, Command, style = item.Style] {
            Command([this, style] { FState.CellCode = style; });
        });
    }
    FCodesEnd = FMenu->addSeparator();
    FParents = NewItem(FMenu, "ParentCells1", "Parent cells",
                       "One field more per larger standard cell that holds the cell");
    FPoints = NewItem(FMenu, "CentrePoints1", "Centre points",
                      "Each cell as a point at its centre instead of a square");
    QObject::connect(FParents, &QAction::triggered, FMenu, [this, Command](bool On) {
        Command([this, On] { FState.ParentCells = On; });
    });
    QObject::connect(FPoints, &QAction::triggered, FMenu, [this, Command](bool On) {
        Command([this, On] { FState.CentrePoints = On; });
    });
    ShowFor(gkNone);
    Sync();
}

void TCellsMenu::ShowFor(TGridKind Kind) {
    FMenu->menuAction()->setVisible(Kind != gkNone);
    for (QAction* a : FCodes->actions())
        a->setVisible(Kind == gkEuroGrid);
    FCodesEnd->setVisible(Kind == gkEuroGrid);
}

void TCellsMenu::Sync() {
    if (QAction* a = CodeItem(FState.CellCode))
        a->setChecked(true);
    FParents->setChecked(FState.ParentCells);
    FPoints->setChecked(FState.CentrePoints);
}

QAction* TCellsMenu::CodeItem(TCellCodeStyle Style) const {
    for (QAction* a : FCodes->actions())
        if (a->data().toInt() == static_cast<int>(Style))
            return a;
    return nullptr;
}

} // namespace quadrel
