#include "area_commands.h"

#include "PlaniVP.h"
#include "Unit1.h"
#include "area_cells.h"
#include "area_dialog.h"
#include "area_outline.h"
#include "run_formats.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <filesystem>

namespace quadrel {

namespace {

QAction* NewItem(QObject* Parent, const char* Name, const QString& Caption) {
    auto* a = new QAction(Caption, Parent);
    a->setObjectName(QString::fromLatin1(Name));
    return a;
}

// The hourglass while GDAL reads (and GEOS buffers) an area.
struct TBusy {
    TBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusy() { QApplication::restoreOverrideCursor(); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
};

std::string Joined(const std::vector<std::string>& Lines) {
    std::string text;
    for (const std::string& line : Lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

} // namespace

TAreaCommands::TAreaCommands(TForm1& Form, TAreaDialog* Dialog)
    : QObject(&Form), FForm(Form), FDialog(Dialog) {
    setObjectName(QStringLiteral("AreaCommands"));
    if (!FDialog) {
        FOwnDialog = std::make_unique<TQtAreaDialog>(&Form);
        FDialog = FOwnDialog.get();
    }
    const TBuiltInArea& land = BuiltInAreas()[0];
    Denmarkland1 = NewItem(&Form, land.ItemName.data(), QString::fromUtf8(land.Caption.data()));
    Form.DKNGridSize1->addAction(Denmarkland1);

    // Grid: systems | - | Limit to area from file... | No area limit | - | Close grid
    Limittoarea1 = NewItem(&Form, "Limittoarea1", QStringLiteral("Limit to area from file..."));
    Noarealimit1 = NewItem(&Form, "Noarealimit1", QStringLiteral("No area limit"));
    Form.Grid1->insertSeparator(Form.N1);
    Form.Grid1->insertAction(Form.N1, Limittoarea1);
    Form.Grid1->insertAction(Form.N1, Noarealimit1);

    connect(Denmarkland1, &QAction::triggered, this,
            [this] { Command(&TAreaCommands::Denmarkland1Click); });
    connect(Limittoarea1, &QAction::triggered, this,
            [this] { Command(&TAreaCommands::Limittoarea1Click); });
    connect(Noarealimit1, &QAction::triggered, this,
            [this] { Command(&TAreaCommands::Noarealimit1Click); });
    // The window's own handlers of these items were connected first, so they have
    // run when these do.
    for (QAction* a : {Form.DKN1, Form.EuroGrid1, Form.Close1})
        connect(a, &QAction::triggered, this, [this] { Command(&TAreaCommands::GridChanged); });

    AreaPanel = new QLabel(Form.StatusBar1);
    AreaPanel->setObjectName(QStringLiteral("AreaPanel"));
    Form.StatusBar1->addWidget(AreaPanel);
    AreaPanel->hide();

    FOutline = std::make_unique<TAreaOutline>(*Form.GraphicViewport1);
    // The cells within the area follow every change of the extent. This object
    // lives as long as the window, which clears the callback when it goes.
    TGridState& state = Form.State();
    state.OnShowExtent = [this, shown = std::move(state.OnShowExtent)](const TGridState& s) {
        if (shown)
            shown(s);
        ShowCells();
    };
    EnableItems();
}

TAreaCommands::~TAreaCommands() = default;

void TAreaCommands::Command(void (TAreaCommands::*Body)()) {
    if (FForm.RunUnderWay())
        return;
    try {
        (this->*Body)();
    } catch (const std::exception& e) {
        FForm.Dialogs().ShowError(e.what());
    }
    EnableItems();
}

void TAreaCommands::Denmarkland1Click() {
    Choose({&BuiltInAreas()[0], {}});
}

void TAreaCommands::Limittoarea1Click() {
    if (FForm.State().GridKind == gkNone)
        return;
    TSource source;
    if (!FDialog->ChooseArea(FFolder, source.File.Path, source.File.Buffer))
        return;
    FFolder = std::filesystem::path(source.File.Path).parent_path().string();
    Choose(source);
}

void TAreaCommands::Noarealimit1Click() {
    FSource.reset();
    ClearArea(FForm.State());
    ShowArea();
}

void TAreaCommands::Choose(const TSource& Source) {
    TGridState& state = FForm.State();
    std::vector<std::string> notices;
    std::shared_ptr<const TArea> area;
    {
        TBusy busy;
        const int32_t epsg = GridEpsg(state.GridKind);
        area = Source.BuiltIn ? ReadBuiltInArea(*Source.BuiltIn, epsg, 0, &notices)
                              : ReadAreaFile(Source.File, epsg, &notices);
    }
    ChooseArea(state, std::move(area));
    FSource = Source;
    ShowArea();
    if (!notices.empty())
        FForm.Dialogs().ShowMessage(Joined(notices));
}

void TAreaCommands::GridChanged() {
    const TGridState& state = FForm.State();
    // Another system has dropped the area of the last one: read it for this one.
    if (FSource && state.GridKind != gkNone && !state.Area)
        Choose(*FSource);
    else
        ShowArea();
}

void TAreaCommands::ShowArea() {
    const TGridState& state = FForm.State();
    FOutline->Show(state.GridKind != gkNone ? state.Area.get() : nullptr);
    ShowCells();
}

void TAreaCommands::ShowCells() {
    const TGridState& state = FForm.State();
    const bool shown = state.Area && state.GridKind != gkNone && state.ExtentShown;
    AreaPanel->setVisible(shown);
    if (shown)
        AreaPanel->setText(QString::fromStdString(AreaCellsText(state, CellsToWrite(state))));
}

void TAreaCommands::EnableItems() {
    const TGridState& state = FForm.State();
    Limittoarea1->setEnabled(state.GridKind != gkNone);
    Noarealimit1->setEnabled(FSource.has_value() || state.Area != nullptr);
}

} // namespace quadrel
