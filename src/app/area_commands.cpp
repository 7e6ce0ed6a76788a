#include "area_commands.h"

#include "PlaniVP.h"
#include "Unit1.h"
#include "area_cells.h"
#include "area_file_dialog.h"
#include "area_outline.h"
#include "run_formats.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
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

TAreaCommands::TAreaCommands(TForm1& Form, TAreaFileDialog* Dialog)
    : QObject(&Form), FForm(Form), FDialog(Dialog) {
    setObjectName(QStringLiteral("AreaCommands"));
    if (!FDialog) {
        FOwnDialog = std::make_unique<TQtAreaFileDialog>(&Form);
        FDialog = FOwnDialog.get();
    }
    // "Denmark &land" after the other presets; in the Grid menu after "Set area...",
    // with the letters no other item of the menu takes.
    Denmarkland1 =
        NewItem(&Form, BuiltInAreas()[0].ItemName.data(), QStringLiteral("Denmark &land"));
    Form.DKNGridSize1->addAction(Denmarkland1);
    Limittoarea1 = NewItem(&Form, "Limittoarea1", QStringLiteral("&Limit to area from file..."));
    Noarealimit1 = NewItem(&Form, "Noarealimit1", QStringLiteral("&No area limit"));
    Form.Grid1->addAction(Limittoarea1);
    Form.Grid1->addAction(Noarealimit1);

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

    FOutline = std::make_unique<TAreaOutline>(*Form.GraphicViewport1);
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
}

void TAreaCommands::EnableItems() {
    const TGridState& state = FForm.State();
    Limittoarea1->setEnabled(state.GridKind != gkNone);
    Noarealimit1->setEnabled(FSource.has_value() || state.Area != nullptr);
}

} // namespace quadrel
