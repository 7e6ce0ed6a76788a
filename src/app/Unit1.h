#pragma once
// The main window: menu bar, toolbar of map buttons, the map pane, progress bar
// and status bar. Its commands only translate what the user does into calls on
// the grid state and the map toolkit; the grid logic lives in the grid core.

#include "cursor_readout.h"
#include "grid_state.h"
#include "run_user_interface.h"
#include "user_dialogs.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QProgressBar;
class QStatusBar;
class QToolBar;

namespace plani {
class TGraphicViewport;
class TPGFTable;
class TRasterTable;
} // namespace plani

namespace quadrel {

class TCellsMenu;
class TElidedLabel;
class TForm2;
class TWindowSettings;

// What the window works with. Everything has the program's default; tests give
// their own grid state, scripted dialogs or a run of their own.
struct TForm1Setup {
    TGridState* State = nullptr;      // GridState() when null
    TUserDialogs* Dialogs = nullptr;  // Qt's message boxes and folder chooser when null
    std::optional<bool> TabAvailable; // whether the TAB writer's library could be bound
    std::string UpdateServer;         // the maker's server; the build's setting when empty
    // The generation run ("GO !"); the program's run (GenerationRun()) when empty.
    std::function<void(const TGridState&, TRunUserInterface&)> Run;
    // Where the window keeps what it remembers (an INI file); the user's settings
    // of the program when empty.
    std::string SettingsFile;
    // The folder of the background maps; the program's data folder when empty.
    std::string MapFolder;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TForm1Setup Setup = {}, QWidget* Parent = nullptr);
    ~TForm1() override;

    // The about box that "About" shows; the program creates it after the window.
    // Without one, "About" makes its own.
    void SetAboutBox(TForm2* AboutBox) { FAboutBox = AboutBox; }

    TGridState& State() const { return FState; }
    TUserDialogs& Dialogs() const { return *FDialogs; }
    // Whether "GO !" is running; the window's commands are blocked meanwhile.
    bool RunUnderWay() const { return FRunUnderWay; }
    // The size of the window without its menu bar (the design's client area).
    QSize ClientSize() const;

    // --- Components ---------------------------------------------------------------
    QToolBar* ToolBar1 = nullptr;
    plani::TGraphicViewport* GraphicViewport1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 6> StatusPanels{};
    // After the six panels: the position under the pointer, a notice, and what
    // "GO !" would write (cells, size, and why a check would refuse the run).
    TElidedLabel* CursorPanel = nullptr;
    TElidedLabel* NoticePanel = nullptr;
    TElidedLabel* SizePanel = nullptr;
    std::unique_ptr<plani::TRasterTable> RasterTable1;
    std::unique_ptr<plani::TPGFTable> PGFTable1; // the extent rectangle
    std::unique_ptr<plani::TPGFTable> PGFTable2; // disk-based, never opened

    QMenu* File1 = nullptr;
    QMenu* Grid1 = nullptr;
    QMenu* Fileformat1 = nullptr;
    QMenu* EuroGridsize = nullptr;
    QMenu* DKNGridSize1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Updatesavailable1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* DKN1 = nullptr;
    QAction* EuroGrid1 = nullptr;
    QAction* N1 = nullptr; // the separator before "Close grid"
    QAction* Close1 = nullptr;
    QAction* SetArea1 = nullptr; // "Set area...": the corners typed in
    QAction* MIF1 = nullptr;
    QAction* TAB1 = nullptr;
    QAction* SHP1 = nullptr;
    QAction* SHP831 = nullptr;
    QAction* GPKG1 = nullptr;
    QAction* GML2121 = nullptr;
    QAction* Go1 = nullptr;
    QAction* HelpF11 = nullptr;
    QAction* About1 = nullptr;
    QAction* All1 = nullptr;
    QAction* Denmarkonly1 = nullptr;
    QAction* DenmarkonlywithoutBornholm1 = nullptr;
    QAction* Bornholm1 = nullptr;
    std::array<QAction*, 5> SpeedButtons{}; // SpeedButton1 .. SpeedButton5

    // --- Handlers -----------------------------------------------------------------
    void FormCreate();
    void MIF1Click(QAction* Sender);
    void EuroGrid1Click();
    void DKN1Click();
    void Close1Click();
    void N1meter1Click(QAction* Sender);
    void All1Click();
    void Denmarkonly1Click();
    void DenmarkonlywithoutBornholm1Click();
    void Bornholm1Click();
    void SetArea1Click();
    void Go1Click();
    void Updatesavailable1Click();
    void HelpF11Click();
    void About1Click();
    void Exit1Click();
    void newrect();
    void FormResize();
    void GraphicViewport1MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                                   int Y);
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();

    // The format item with this Tag, the size item of a grid system with this Tag.
    QAction* FormatItem(int32_t Tag) const;
    QAction* SizeItem(TGridKind Kind, int32_t Tag) const;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateMapPane(QWidget* Client);
    void CreateStatusBar();
    // Runs a command; what it throws is reported in a message box (the default
    // error report of the program), and nothing runs while "GO !" is under way.
    void Command(const std::function<void()>& Body);
    // The check marks of the format item and of the grid system's size item from
    // the grid state.
    void SyncCheckMarks();
    void ChooseGridSystem(TGridKind Kind);
    void ChoosePreset(const char* Caption);
    void ShowBackground(TGridKind Kind);
    void ClearLayers();
    void EmptyExtentRectangle();
    void ReplaceExtentRectangle(const TGridExtent& Extent);
    // Sets the six status-bar panels from the snapped extent, each as wide as its text.
    void ShowStatusTexts(const TGridExtent& Extent);
    void ShowMenusFor(TGridKind Kind);
    // A cross-hair over the map pane while clicks there set corners.
    void UpdatePaneCursor();
    void SetCommandsBlocked(bool Blocked);
    // The status bar after a change of the grid: what "GO !" would write, and the
    // window's minimum size that keeps the six panels apart.
    void ShowRunSize();
    void ClearStatusTexts();
    void ShowCursorPosition(double X, double Y);
    void UpdateMinimumSize();
    void ShowCornersNotice();

    TGridState& FState;
    std::unique_ptr<TUserDialogs> FOwnDialogs;
    TUserDialogs* FDialogs;
    bool FTabAvailable;
    std::string FUpdateServer;
    std::function<void(const TGridState&, TRunUserInterface&)> FRun;
    TForm2* FAboutBox = nullptr;
    std::unique_ptr<TForm2> FOwnAboutBox;
    QActionGroup* FFormatGroup = nullptr;
    QActionGroup* FModeGroup = nullptr;
    std::map<TGridKind, QActionGroup*> FSizeGroups;
    std::unique_ptr<TCellsMenu> FCellsMenu; // "Cells": codes, parents, centre points
    bool FRunUnderWay = false;
    std::string FMapFolder;
    std::unique_ptr<TWindowSettings> FSettings;
    TCursorReadout FCursorReadout;
};

} // namespace quadrel
