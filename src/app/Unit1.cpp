#include "Unit1.h"

#include "PGFtable.h"
#include "PlaniVP.h"
#include "RasterTable.h"
#include "about.h"
#include "area_dialog.h"
#include "cells_menu.h"
#include "generation_run.h"
#include "grid_catalogue.h"
#include "keyboard.h"
#include "map_buttons.h"
#include "pwnet_giswriter.h"
#include "qt_run_user_interface.h"
#include "run_preview.h"
#include "status_readouts.h"
#include "status_texts.h"
#include "uCheckVersion.h"
#include "uCommon.h"
#include "window_settings.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

namespace quadrel {

namespace {

using namespace plani;
namespace fs = std::filesystem;

// Design sizes of the window's parts, in pixels.
constexpr int ClientWidth = 880;
constexpr int ClientHeight = 588;
constexpr int ProgressBarHeight = 17;
constexpr int InitialPanelWidth = 50;
// The map pane keeps at least this height when the window is made small.
constexpr int MinimumPaneHeight = 120;
// The wheel zooms no closer than a view 10 m wide and no farther than 100,000 km.
constexpr double MinimumViewWidth = 10;
constexpr double MaximumViewWidth = 1e8;
// The widest texts the six panels are likely to show: seven-digit coordinates
// and counts. The window is never narrower than the panels with these need.
constexpr const char* WidestPanelTexts[] = {"X1: 9999999", "Y1: 9999999",      "X2: 9999999",
                                            "Y2: 9999999", "Cells X: 9999999", "Cells Y: 9999999"};

// The area below the toolbar and above the status bar; it lays out the map pane
// and the progress bar whenever its size changes.
class TClientArea : public QWidget {
public:
    TClientArea(TForm1* Form, QWidget* Parent) : QWidget(Parent), FForm(Form) {}

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        FForm->FormResize();
    }

private:
    TForm1* FForm;
};

// The style of the extent rectangle: a thin solid red line (the brush is unused
// for a polyline).
TBasicObjectStyle ExtentStyle() {
    TBasicObjectStyle s;
    s.PenColor = 255; // red as 0x00BBGGRR
    s.PenMode = pmCopy;
    s.PenWidth = 1;
    s.PenStyle = psSolid;
    s.BrushColor = 65535; // yellow
    return s;
}

void InvalidateLayout(QLayout* Layout) {
    if (!Layout)
        return;
    for (int i = 0; i < Layout->count(); ++i)
        InvalidateLayout(Layout->itemAt(i)->layout());
    Layout->invalidate();
}

QAction* NewAction(QObject* Parent, std::string_view Name, std::string_view Caption) {
    auto* a = new QAction(QString::fromUtf8(Caption.data(), static_cast<qsizetype>(Caption.size())),
                          Parent);
    a->setObjectName(QString::fromUtf8(Name.data(), static_cast<qsizetype>(Name.size())));
    return a;
}

} // namespace

TForm1::TForm1(TForm1Setup Setup, QWidget* Parent)
    : QMainWindow(Parent), FState(Setup.State ? *Setup.State : GridState()),
      FTabAvailable(Setup.TabAvailable.value_or(pwnet::TGISWrite::MITAB_supported())),
      FUpdateServer(Setup.UpdateServer.empty() ? UpdateServer() : Setup.UpdateServer),
      FRun(std::move(Setup.Run)), FMapFolder(std::move(Setup.MapFolder)),
      FSettings(std::make_unique<TWindowSettings>(QString::fromStdString(Setup.SettingsFile))) {
    if (!FRun)
        FRun = [](const TGridState& State, TRunUserInterface& UI) {
            GenerationRun().Execute(State, UI);
        };
    if (Setup.Dialogs) {
        FDialogs = Setup.Dialogs;
    } else {
        FOwnDialogs = std::make_unique<TQtDialogs>(this);
        FDialogs = FOwnDialogs.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quadrel"));

    CreateMenus();
    CreateToolBar();
    auto* client = new TClientArea(this, this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setMinimumHeight(MinimumPaneHeight + ProgressBarHeight);
    setCentralWidget(client);
    CreateMapPane(client);
    CreateStatusBar();
    SetUpKeyboard(*this);

    // The design's client area lies below the menu bar, unless the user left the
    // window elsewhere at the last start.
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    UpdateMinimumSize();
    FSettings->RestoreGeometry(*this);
    FormCreate();
}

TForm1::~TForm1() {
    FState.OnShowExtent = nullptr;
    // The layers leave the viewport before the tables go.
    if (GraphicViewport1)
        GraphicViewport1->Layers().RemoveAll();
}

QSize TForm1::ClientSize() const {
    const int menu = menuBar()->isVisible() ? menuBar()->height() : 0;
    return {width(), height() - menu};
}

// --- Construction ------------------------------------------------------------------

void TForm1::CreateMenus() {
    auto command = [this](QAction* a, std::function<void()> body) {
        connect(a, &QAction::triggered, this, [this, body = std::move(body)] { Command(body); });
    };
    QMenuBar* bar = menuBar();

    File1 = bar->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Updatesavailable1 = NewAction(this, "Updatesavailable1", "Check for updates");
    Exit1 = NewAction(this, "Exit1", "Exit");
    File1->addAction(Updatesavailable1);
    File1->addAction(Exit1);
    command(Updatesavailable1, [this] { Updatesavailable1Click(); });
    command(Exit1, [this] { Exit1Click(); });

    Grid1 = bar->addMenu(QStringLiteral("Grid"));
    Grid1->setObjectName(QStringLiteral("Grid1"));
    for (const TGridSystem& sys : GridSystems()) {
        QAction* a = NewAction(this, sys.ItemName, sys.Caption);
        Grid1->addAction(a);
        if (sys.Kind == gkDKN) {
            DKN1 = a;
            command(a, [this] { DKN1Click(); });
        } else {
            EuroGrid1 = a;
            command(a, [this] { EuroGrid1Click(); });
        }
    }
    N1 = Grid1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Close1 = NewAction(this, "Close1", "Close grid");
    Grid1->addAction(Close1);
    command(Close1, [this] { Close1Click(); });
    Grid1->addSeparator();
    SetArea1 = NewAction(this, "SetArea1", "Set area...");
    Grid1->addAction(SetArea1);
    command(SetArea1, [this] { SetArea1Click(); });

    Fileformat1 = bar->addMenu(QStringLiteral("File format"));
    Fileformat1->setObjectName(QStringLiteral("Fileformat1"));
    FFormatGroup = new QActionGroup(this);
    for (const TFormatItem& f : FormatItems()) {
        QAction* a = NewAction(this, f.ItemName, f.Caption);
        a->setCheckable(true);
        a->setData(f.Tag);
        FFormatGroup->addAction(a);
        Fileformat1->addAction(a);
        command(a, [this, a] { MIF1Click(a); });
        switch (f.Tag) {
        case ftMIF:
            MIF1 = a;
            break;
        case ftTAB:
            TAB1 = a;
            break;
        case ftSHP:
            SHP1 = a;
            break;
        case ftSHP83:
            SHP831 = a;
            break;
        case ftGPKG:
            GPKG1 = a;
            break;
        case ftGML:
            GML2121 = a;
            break;
        default:
            break;
        }
    }

    for (TGridKind kind : {gkEuroGrid, gkDKN}) {
        QMenu* menu = bar->addMenu(QStringLiteral("Grid size"));
        menu->setObjectName(kind == gkEuroGrid ? QStringLiteral("EuroGridsize")
                                               : QStringLiteral("DKNGridSize1"));
        (kind == gkEuroGrid ? EuroGridsize : DKNGridSize1) = menu;
        auto* group = new QActionGroup(this);
        FSizeGroups[kind] = group;
        bool standard = true;
        for (const TGridSize& size : GridSizes(kind)) {
            if (standard && !size.Standard) {
                menu->addSeparator();
                standard = false;
            }
            QAction* a = NewAction(this, size.ItemName, size.Caption);
            a->setCheckable(true);
            a->setData(size.Tag);
            group->addAction(a);
            menu->addAction(a);
            command(a, [this, a] { N1meter1Click(a); });
        }
    }
    DKNGridSize1->addSeparator();
    for (const TPresetArea& area : PresetAreas()) {
        QAction* a = NewAction(this, area.ItemName, area.Caption);
        DKNGridSize1->addAction(a);
        const QString name = a->objectName();
        if (name == QLatin1String("All1")) {
            All1 = a;
            command(a, [this] { All1Click(); });
        } else if (name == QLatin1String("Denmarkonly1")) {
            Denmarkonly1 = a;
            command(a, [this] { Denmarkonly1Click(); });
        } else if (name == QLatin1String("DenmarkonlywithoutBornholm1")) {
            DenmarkonlywithoutBornholm1 = a;
            command(a, [this] { DenmarkonlywithoutBornholm1Click(); });
        } else {
            Bornholm1 = a;
            command(a, [this] { Bornholm1Click(); });
        }
    }

    // "GO !" is a command on the menu bar itself; its tool tip says what it would write.
    Go1 = NewAction(this, "Go1", "GO !");
    bar->addAction(Go1);
    new TMenuBarToolTips(bar);
    command(Go1, [this] { Go1Click(); });
    // Points and the fields of codes and parents change what "GO !" would write.
    FCellsMenu =
        std::make_unique<TCellsMenu>(this, FState, [this](const std::function<void()>& Body) {
            Command([&] {
                Body();
                ShowRunSize();
            });
        });
    bar->insertMenu(Go1, FCellsMenu->Menu());

    Help1 = bar->addMenu(QStringLiteral("Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    HelpF11 = NewAction(this, "HelpF11", "Help (F1)");
    HelpF11->setShortcut(QKeySequence(Qt::Key_F1));
    HelpF11->setShortcutContext(Qt::ApplicationShortcut);
    About1 = NewAction(this, "About1", "About");
    Help1->addAction(HelpF11);
    Help1->addAction(About1);
    command(HelpF11, [this] { HelpF11Click(); });
    command(About1, [this] { About1Click(); });

    // The design state: "File format" and both "Grid size" menus hidden, TAB
    // disabled, "GO !" disabled.
    Fileformat1->menuAction()->setVisible(false);
    EuroGridsize->menuAction()->setVisible(false);
    DKNGridSize1->menuAction()->setVisible(false);
    TAB1->setEnabled(false);
    Go1->setEnabled(false);
    SetArea1->setEnabled(false);
}

void TForm1::CreateToolBar() {
    ToolBar1 = new QToolBar(QStringLiteral("Map"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    struct TButton {
        const char* Name;
        const char* Hint;
        TMapButton Picture;
        void (TForm1::*Click)();
        bool Mode;
    };
    static const TButton buttons[] = {
        {"SpeedButton1", "Zoom all", TMapButton::ZoomAll, &TForm1::SpeedButton1Click, false},
        {"SpeedButton2", "Zoom in", TMapButton::ZoomIn, &TForm1::SpeedButton2Click, true},
        {"SpeedButton3", "Zoom out", TMapButton::ZoomOut, &TForm1::SpeedButton3Click, true},
        {"SpeedButton4", "Pan", TMapButton::Pan, &TForm1::SpeedButton4Click, true},
        {"SpeedButton5", "Select area", TMapButton::SelectArea, &TForm1::SpeedButton5Click, true},
    };
    // The four mode buttons show which mode is on; "Zoom all" is a plain command.
    FModeGroup = new QActionGroup(this);
    for (size_t i = 0; i < std::size(buttons); ++i) {
        const TButton& b = buttons[i];
        QAction* a = NewAction(this, b.Name, b.Hint);
        a->setIcon(MapButtonIcon(b.Picture));
        a->setToolTip(QString::fromLatin1(b.Hint));
        if (b.Mode) {
            a->setCheckable(true);
            FModeGroup->addAction(a);
        }
        ToolBar1->addAction(a);
        if (auto* w = ToolBar1->widgetForAction(a)) {
            w->setObjectName(QString::fromLatin1(b.Name) + QStringLiteral("Button"));
            w->setFixedSize(23, 22);
        }
        auto click = b.Click;
        connect(a, &QAction::triggered, this,
                [this, click] { Command([this, click] { (this->*click)(); }); });
        SpeedButtons[i] = a;
    }
    SpeedButtons[4]->setChecked(true); // the viewport starts in its user mode
}

void TForm1::CreateMapPane(QWidget* Client) {
    GraphicViewport1 = new TGraphicViewport(Client);
    TGraphicViewport& vp = *GraphicViewport1;
    vp.setObjectName(QStringLiteral("GraphicViewport1"));
    vp.SetSelectColor(255);
    vp.SetSelectStyle(bsDiagCross);
    vp.SetBackgroundColor(0xFFFFFF);
    vp.SetMode(vpmUserDefined);
    vp.SetAutoRedraw(true);
    vp.SetMultiSelect(false);
    vp.SetMoveDelay(500);
    vp.SetZoomFactor(25);
    vp.Display().SetUnits(muNone);
    vp.Display().SetKeepScale(false);
    vp.Display().SetReq({-407353.2934125, 7748239.5209575, 8975053.891802501, 378239.5212825006});
    vp.OnMouseDown = [this](TGraphicViewport&, Qt::MouseButton Button, TShiftState Shift, int X,
                            int Y) {
        Command([&] { GraphicViewport1MouseDown(Button, Shift, X, Y); });
    };
    // Navigation as in every map program: the wheel zooms about the pointer, a drag
    // with the middle button pans, in every mode (a middle click still sets a corner).
    vp.SetMiddleButtonPan(true);
    vp.SetZoomLimits(MinimumViewWidth, MaximumViewWidth);
    vp.OnMouseMove = [this](TGraphicViewport&, TShiftState, int, int, double X, double Y) {
        ShowCursorPosition(X, Y);
    };
    vp.OnMouseLeave = [this](TGraphicViewport&) { CursorPanel->SetText({}); };

    RasterTable1 = std::make_unique<TRasterTable>();
    RasterTable1->SetName("RasterTable1");
    RasterTable1->SetDescription("Graphic Table");
    RasterTable1->SetMX1(0);
    RasterTable1->SetMY1(0);
    RasterTable1->SetMX2(1053);
    RasterTable1->SetMY2(835);
    RasterTable1->SetSX1(-5626.296868499999);
    RasterTable1->SetSY1(7406195.6504705);
    RasterTable1->SetSX2(8420472.0130725);
    RasterTable1->SetSY2(724531.7484754995);
    RasterTable1->SetSmoothScaling(true);

    PGFTable1 = std::make_unique<TPGFTable>();
    PGFTable1->SetName("PGFTable1");
    PGFTable1->SetRamFile(true);
    PGFTable1->SetLayers(1);
    PGFTable1->SetPointWidth(1);
    PGFTable1->CreateNewTable();

    PGFTable2 = std::make_unique<TPGFTable>();
    PGFTable2->SetName("PGFTable2");

    // From the bottom layer up: the closed disk table, the background map, and the
    // extent rectangle on top.
    TLayerDataEntry bottom{PGFTable2.get(), true, false, false, false, false, false, 0.0, 0.0};
    TLayerDataEntry map{RasterTable1.get(), true, false, false, false, false, false, 0.0, 0.0};
    TLayerDataEntry top{PGFTable1.get(), true, true, true, false, false, false, 0.0, 0.0};
    vp.Layers().ReadLayerData({bottom, map, top});

    ProgressBar1 = new QProgressBar(Client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->resize(ClientWidth, ProgressBarHeight);
}

void TForm1::CreateStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFixedWidth(InitialPanelWidth);
        StatusBar1->addWidget(panel);
        StatusPanels[i] = panel;
    }
    auto* readouts = new TReadoutBar(StatusBar1);
    readouts->setObjectName(QStringLiteral("ReadoutBar"));
    CursorPanel = readouts->Cursor;
    NoticePanel = readouts->Notice;
    SizePanel = readouts->Size;
    CursorPanel->setObjectName(QStringLiteral("CursorPanel"));
    NoticePanel->setObjectName(QStringLiteral("NoticePanel"));
    SizePanel->setObjectName(QStringLiteral("SizePanel"));
    StatusBar1->addWidget(readouts, 1);
}

// --- Commands ----------------------------------------------------------------------

void TForm1::Command(const std::function<void()>& Body) {
    if (FRunUnderWay)
        return;
    try {
        Body();
    } catch (const std::exception& e) {
        FDialogs->ShowError(e.what());
    }
    // The check marks follow the grid state, also when a choice was refused.
    SyncCheckMarks();
}

void TForm1::SyncCheckMarks() {
    if (QAction* f = FormatItem(FState.OutputFormatTag))
        f->setChecked(true);
    if (QAction* s = SizeItem(FState.GridKind, FState.SizeTag))
        s->setChecked(true);
    FCellsMenu->Sync();
}

void TForm1::FormCreate() {
    TAB1->setEnabled(FTabAvailable);
    FState.FirstCorner.X = 0.0;
    FState.SecondCorner.X = 0.0;
    FState.CloseGrid();
    FState.OnShowExtent = [this](const TGridState& s) {
        ShowStatusTexts(s.GridExtent);
        newrect();
        NoticePanel->SetText({});
        ShowRunSize();
    };
    MIF1Click(SHP1);
}

void TForm1::MIF1Click(QAction* Sender) {
    FState.ChooseFormat(Sender->data().toInt());
    Sender->setChecked(true);
    ShowRunSize();
}

void TForm1::EuroGrid1Click() {
    ChooseGridSystem(gkEuroGrid);
}

void TForm1::DKN1Click() {
    ChooseGridSystem(gkDKN);
}

void TForm1::ChooseGridSystem(TGridKind Kind) {
    Close1Click();
    try {
        ShowBackground(Kind);
    } catch (const std::exception& e) {
        // The grid can be made without its background map: say why it is missing.
        RasterTable1->Close();
        FDialogs->ShowError("The background map " + RasterTable1->DiskLocation() +
                            " cannot be shown.\n\n" + e.what());
    }
    try {
        // Sets the grid system, falls back to MIF where the chosen format's item is
        // hidden, and chooses the default size, which shows the kept corners' extent.
        FState.ChooseGridKind(Kind);
    } catch (...) {
        ClearLayers();
        throw;
    }
    SyncCheckMarks(); // the format may have fallen back, the default size is chosen
    ShowMenusFor(FState.GridKind);
    UpdatePaneCursor();
    ShowCornersNotice();
}

void TForm1::ShowCornersNotice() {
    const TFloatRect map = RasterTable1->Extents();
    NoticePanel->SetText(QString::fromStdString(CornersOutsideMapNotice(
                             FState, {map.Left, map.Bottom, map.Right, map.Top})),
                         true);
}

void TForm1::Close1Click() {
    FState.CloseGrid();
    ClearLayers();
    Fileformat1->menuAction()->setVisible(false);
    Go1->setEnabled(false);
    EmptyExtentRectangle();
    EuroGridsize->menuAction()->setVisible(false);
    DKNGridSize1->menuAction()->setVisible(false);
    FCellsMenu->ShowFor(gkNone);
    SetArea1->setEnabled(false);
    UpdatePaneCursor();
    ClearStatusTexts();
}

void TForm1::UpdatePaneCursor() {
    // Picking corners wants a cross-hair; without a grid the clicks do nothing.
    if (GraphicViewport1->Mode() == vpmUserDefined)
        GraphicViewport1->setCursor(FState.GridKind != gkNone ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TForm1::ShowMenusFor(TGridKind Kind) {
    Fileformat1->menuAction()->setVisible(Kind != gkNone);
    if (Kind != gkNone)
        for (QAction* a : FFormatGroup->actions())
            a->setVisible(FormatItemShown(Kind, a->data().toInt()));
    EuroGridsize->menuAction()->setVisible(Kind == gkEuroGrid);
    DKNGridSize1->menuAction()->setVisible(Kind == gkDKN);
    FCellsMenu->ShowFor(Kind);
    Go1->setEnabled(FState.ExtentShown);
    SetArea1->setEnabled(Kind != gkNone);
}

void TForm1::N1meter1Click(QAction* Sender) {
    FState.ChooseSize(Sender->data().toInt());
    Sender->setChecked(true);
}

void TForm1::ChoosePreset(const char* Caption) {
    const TPresetArea* area = FindPresetByCaption(Caption);
    if (area)
        FState.ChoosePreset(*area);
}

void TForm1::All1Click() {
    ChoosePreset("All");
}
void TForm1::Denmarkonly1Click() {
    ChoosePreset("Denmark only");
}
void TForm1::DenmarkonlywithoutBornholm1Click() {
    ChoosePreset("Denmark only (without Bornholm)");
}
void TForm1::Bornholm1Click() {
    ChoosePreset("Bornholm");
}

void TForm1::SetArea1Click() {
    if (FState.GridKind == gkNone)
        return;
    TAreaDialog dialog(FState, this);
    FDialogs->ShowModal(dialog);
    if (dialog.result() == QDialog::Accepted)
        FState.SetCorners(dialog.FirstCorner(), dialog.SecondCorner()); // snaps as a click does
}

void TForm1::Go1Click() {
    if (FRunUnderWay || !Go1->isEnabled())
        return;
    FRunUnderWay = true;
    SetCommandsBlocked(true);
    std::string error;
    {
        TQtRunUserInterface ui(*FDialogs, *ProgressBar1);
        ui.SetFallbackStartFolder(FSettings->OutputFolder().toStdString());
        try {
            // What "Done" reports: the run checks the same state and writes this file.
            const TRunPreview preview = PreviewRun(FState);
            ui.SetDoneReport(FState.FilePrefix + std::string(preview.Format.Effective->Extension),
                             preview.Estimates.Cells);
        } catch (const std::exception&) {
            // The run itself reports why it cannot go.
        }
        try {
            FRun(FState, ui);
        } catch (const std::exception& e) {
            error = e.what();
            if (error.empty())
                error = "The grid could not be written";
        }
        if (!ui.DoneFolder().empty())
            FSettings->SetOutputFolder(QString::fromStdString(ui.DoneFolder()));
    } // the busy cursor is gone before any message
    FRunUnderWay = false;
    SetCommandsBlocked(false);
    if (!error.empty()) {
        ProgressBar1->setValue(0);
        FDialogs->ShowError(error);
    }
}

void TForm1::SetCommandsBlocked(bool Blocked) {
    // Nothing may change the grid under a run, and a second "GO !" may not start
    // inside the first: the menus and map buttons are greyed, and Command turns
    // away whatever still arrives (a shortcut, a click in the map pane).
    menuBar()->setEnabled(!Blocked);
    ToolBar1->setEnabled(!Blocked);
}

void TForm1::Updatesavailable1Click() {
    int outcome;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct TRestore {
            ~TRestore() { QApplication::restoreOverrideCursor(); }
        } restore;
        outcome = CompareVersion(ProgramName, ProgramVersion, FUpdateServer);
    }
    ReportUpdateOutcome(outcome, *FDialogs, FUpdateServer);
}

void TForm1::HelpF11Click() {
    ShellRun(DataFile(HelpFileName), "", "", SW_SHOWNORMAL);
}

void TForm1::About1Click() {
    TForm2* box = FAboutBox;
    if (!box) {
        if (!FOwnAboutBox)
            FOwnAboutBox = std::make_unique<TForm2>(this);
        box = FOwnAboutBox.get();
    }
    FDialogs->ShowModal(*box);
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::closeEvent(QCloseEvent* e) {
    // The run lives on this window's stack: the window stays until it has ended.
    if (FRunUnderWay) {
        e->ignore();
        return;
    }
    FSettings->SaveGeometry(*this);
    QMainWindow::closeEvent(e);
}

// --- Map pane ----------------------------------------------------------------------

void TForm1::ShowBackground(TGridKind Kind) {
    RasterTable1->Close();
    const char* map = Kind == gkEuroGrid ? "eurogrid.bmp" : "dkn.bmp";
    RasterTable1->SetDiskLocation(FMapFolder.empty() ? DataFile(map)
                                                     : (fs::path(FMapFolder) / map).string());
    RasterTable1->Open();
    GraphicViewport1->ZoomToVisibleExtents();
    GraphicViewport1->RedrawImageData(true);
}

void TForm1::ClearLayers() {
    RasterTable1->Close();
    PGFTable2->Close();
    PGFTable1->CreateNewTable();
}

void TForm1::EmptyExtentRectangle() {
    PGFTable1->CreateNewTable();
}

void TForm1::ReplaceExtentRectangle(const TGridExtent& e) {
    TMemoryStream line;
    line.WriteInt32(1); // one part
    line.WriteInt32(5); // of five points, closed
    for (auto [x, y] :
         {std::pair{e.X1, e.Y1}, {e.X2, e.Y1}, {e.X2, e.Y2}, {e.X1, e.Y2}, {e.X1, e.Y1}}) {
        line.WriteDouble(x);
        line.WriteDouble(y);
    }
    line.SetPosition(0);
    PGFTable1->CreateNewTable();
    PGFTable1->CreatePolyline(ExtentStyle(), line);
}

void TForm1::newrect() {
    ReplaceExtentRectangle(FState.GridExtent);
    Go1->setEnabled(true);
    GraphicViewport1->RedrawImageData(false);
}

void TForm1::ShowStatusTexts(const TGridExtent& Extent) {
    const auto texts = StatusTexts(Extent);
    for (size_t i = 0; i < texts.size(); ++i) {
        QLabel* panel = StatusPanels[i];
        const QString text = QString::fromStdString(texts[i]);
        panel->setText(text);
        panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(text) + 10);
    }
    UpdateMinimumSize();
}

void TForm1::ClearStatusTexts() {
    // As at start-up: nothing in the panels that describes a grid no longer open.
    for (QLabel* panel : StatusPanels) {
        panel->clear();
        panel->setFixedWidth(InitialPanelWidth);
    }
    for (TElidedLabel* label : {CursorPanel, NoticePanel, SizePanel})
        label->SetText({});
    Go1->setToolTip({});
    UpdateMinimumSize();
}

void TForm1::ShowRunSize() {
    const TRunSizeText size = RunSizeText(FState);
    const QString text = QString::fromStdString(size.Text);
    SizePanel->SetText(text, size.Refused);
    Go1->setToolTip(text);
}

void TForm1::ShowCursorPosition(double X, double Y) {
    // Without a view the pane has no coordinates to show.
    const bool known = FState.GridKind != gkNone && GraphicViewport1->Transform();
    CursorPanel->SetText(known ? QString::fromStdString(FCursorReadout.Text(FState, X, Y))
                               : QString());
}

void TForm1::UpdateMinimumSize() {
    int panels = 0, needed = 0;
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        QLabel* p = StatusPanels[i];
        panels += p->width();
        needed += std::max(
            p->width(),
            p->fontMetrics().horizontalAdvance(QString::fromLatin1(WidestPanelTexts[i])) + 10);
    }
    // The status bar's own margins, spacing and size grip come on top of the panels.
    QLayout* bar = StatusBar1->layout();
    InvalidateLayout(bar); // its nested layouts still hold the panels' old widths
    const int rest = bar ? bar->minimumSize().width() - panels : 0;
    setMinimumWidth(needed + std::max(rest, 0));
}

void TForm1::FormResize() {
    QWidget* client = centralWidget();
    if (!client || !GraphicViewport1 || !ProgressBar1)
        return;
    const int w = client->width(), h = client->height();
    const int ph = std::min(ProgressBarHeight, h);
    GraphicViewport1->setGeometry(0, 0, w, h - ph);
    ProgressBar1->setGeometry(0, h - ph, w, ph);
}

void TForm1::GraphicViewport1MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers, int X,
                                       int Y) {
    if (FState.GridKind == gkNone || GraphicViewport1->Mode() != vpmUserDefined)
        return;
    const TFloatPoint w = GraphicViewport1->ScreenToCoOrd(TPoint{X, Y});
    const TCornerPoint p{w.X, w.Y};
    if (Button == Qt::LeftButton)
        FState.SetFirstCorner(p);
    else
        FState.SetSecondCorner(p);
}

void TForm1::SpeedButton1Click() {
    GraphicViewport1->ZoomToVisibleExtents();
    GraphicViewport1->RedrawImageData(true);
}
void TForm1::SpeedButton2Click() {
    GraphicViewport1->SetMode(vpmZoomIn);
    SpeedButtons[1]->setChecked(true);
}
void TForm1::SpeedButton3Click() {
    GraphicViewport1->SetMode(vpmZoomOut);
    SpeedButtons[2]->setChecked(true);
}
void TForm1::SpeedButton4Click() {
    GraphicViewport1->SetMode(vpmPan);
    SpeedButtons[3]->setChecked(true);
}
void TForm1::SpeedButton5Click() {
    GraphicViewport1->SetMode(vpmUserDefined);
    SpeedButtons[4]->setChecked(true);
    UpdatePaneCursor();
}

// --- Lookup ------------------------------------------------------------------------

QAction* TForm1::FormatItem(int32_t Tag) const {
    for (QAction* a : FFormatGroup->actions())
        if (a->data().toInt() == Tag)
            return a;
    return nullptr;
}

QAction* TForm1::SizeItem(TGridKind Kind, int32_t Tag) const {
    auto it = FSizeGroups.find(Kind);
    if (it == FSizeGroups.end())
        return nullptr;
    for (QAction* a : it->second->actions())
        if (a->data().toInt() == Tag)
            return a;
    return nullptr;
}

} // namespace quadrel
