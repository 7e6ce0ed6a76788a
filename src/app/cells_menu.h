#pragma once
// The window's "Cells" menu: what each cell carries and how it is drawn. The code
// style of EuroGrid cells (none, EEA, INSPIRE, INSPIRE short: a radio group, shown
// under EuroGrid only), "Parent cells" and "Centre points" (checkable items). The
// items only set the grid state; the run reads it at "GO !".

#include "grid_state.h"

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace quadrel {

class TCellsMenu {
public:
    // Runs an item's body the way the window runs its commands (blocked during a run,
    // errors reported).
    using TCommand = std::function<void(const std::function<void()>&)>;

    // The menu "Cells1", hidden, with Window owning it and its items.
    TCellsMenu(QWidget* Window, TGridState& State, TCommand Command);

    QMenu* Menu() const { return FMenu; }
    // Shown for a grid system, hidden without one; the code styles only for EuroGrid.
    void ShowFor(TGridKind Kind);
    // The check marks from the grid state.
    void Sync();

    // The item of a code style, "Parent cells", "Centre points".
    QAction* CodeItem(TCellCodeStyle Style) const;
    QAction* ParentCells() const { return FParents; }
    QAction* CentrePoints() const { return FPoints; }

private:
    TGridState& FState;
    QMenu* FMenu;
    QActionGroup* FCodes;
    QAction* FCodesEnd; // the separator after the code styles
    QAction* FParents;
    QAction* FPoints;
};

} // namespace quadrel
