#pragma once
// The window's commands for an area of interest, attached to the main window:
//   - "Denmark land", a fifth preset at the end of the DKN "Grid size" menu: the
//     grid is cut to the cells of Danish land, its extent set to the land's;
//   - "Limit to area from file..." and "No area limit" in the "Grid" menu: the
//     polygons of a vector file, with a buffer, or none;
//   - the area's outline in the map pane over the background map; the status bar's
//     read-out of what "GO !" would write names the area, its buffer and the cells
//     within it (status_texts.h).
// The area is kept like the corners: "Close grid" hides it, and choosing a grid
// system reads it again in that system's metres.

#include "area_reader.h"

#include <QObject>
#include <memory>
#include <optional>
#include <string>

class QAction;

namespace quadrel {

class TAreaFileDialog;
class TAreaOutline;
class TForm1;

class TAreaCommands : public QObject {
public:
    // Adds the items, the outline layer and the panel to Form, which owns the
    // result. Dialog asks for area files (Qt's dialogs when null); it must outlive
    // the window.
    explicit TAreaCommands(TForm1& Form, TAreaFileDialog* Dialog = nullptr);
    ~TAreaCommands() override;

    QAction* Denmarkland1 = nullptr;
    QAction* Limittoarea1 = nullptr;
    QAction* Noarealimit1 = nullptr;
    TAreaOutline& Outline() { return *FOutline; }

    void Denmarkland1Click();
    void Limittoarea1Click();
    void Noarealimit1Click();

private:
    // Where the area comes from, to read it again for another grid system.
    struct TSource {
        const TBuiltInArea* BuiltIn = nullptr;
        TAreaFile File;
    };

    // Runs a command as the window does: not during a run, errors in a message box.
    void Command(void (TAreaCommands::*Body)());
    // Reads Source for the current grid system and cuts the grid to it, its extent
    // the area's.
    void Choose(const TSource& Source);
    // After a grid system or "Close grid" was chosen.
    void GridChanged();
    void ShowArea();
    void EnableItems();

    TForm1& FForm;
    std::unique_ptr<TAreaFileDialog> FOwnDialog;
    TAreaFileDialog* FDialog;
    std::unique_ptr<TAreaOutline> FOutline;
    std::optional<TSource> FSource;
    std::string FFolder; // where the file dialog opens
};

} // namespace quadrel
