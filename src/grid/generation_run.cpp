#include "generation_run.h"

#include "area_cells.h"
#include "cell_list.h"
#include "cell_naming.h"
#include "cell_output.h"
#include "errors.h"
#include "output_lock.h"
#include "run_preview.h"
#include "side_files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace quadrel {

namespace {

using namespace pwnet;

// The width of the DKN identifier field.
constexpr size_t DKNIdentifierWidth = 20;

// The lower-left corner of the last column or row of an extent (the first when
// there are none).
double LastOrigin(double First, int32_t Cells, int32_t CellSize) {
    return First + static_cast<double>(std::max<int64_t>(Cells - 1, 0) * CellSize);
}

// OutlineColour is 0xRRGGBB; writers take Windows colour values 0x00BBGGRR.
uint32_t WindowsColour(uint32_t RGB) {
    return ColorToMapInfo(RGB); // exchanging the lowest and the third byte works both ways
}

void SetUpWriter(TGISWrite& Writer, const TGridState& S, const TRunFormat& Format,
                 const std::string& Base) {
    Writer.FileName = Base;
    Writer.CoordSys = std::string(GridCoordSys(S.GridKind));
    // The coordinates' system, for the formats that name it (GML's srsName, the crs
    // of GeoJSON): the writer's default would claim WGS 84 for grid metres.
    Writer.epsg = WrittenEpsg(Format, S.GridKind);
    Writer.Brush = DefaultBrush;
    Writer.Pen = DefaultPen;
    if (S.GridKind == gkDKN)
        Writer.Pen.Color = WindowsColour(S.OutlineColour);
    if (S.GridKind == gkDKN && S.CentrePoints)
        Writer.Symbol.Color = Writer.Pen.Color; // centre points in the outline's colour
    // The run has written the projection file itself; the shapefile writer must not
    // write its own over it.
    Writer.PRJ.clear();
}

void DeclareSchema(TGISWrite& Writer, const TGridState& S, TObjectTypes Kind) {
    const std::vector<TCellField> fields = CellFields(S);
    Writer.StartHeader(static_cast<int32_t>(fields.size()), Kind);
    for (const TCellField& f : fields)
        Writer.AddField(f.Name, f.Numeric ? gfDecimal : gfChar, static_cast<uint8_t>(f.Width), 0);
}

// The TAB writer raises nothing when MITAB cannot create its table (a folder that
// cannot be written, a coordinate system it cannot read): it goes on writing nothing.
// The run would then show "Done" for a grid it never wrote; it reports the table
// that could not be created instead.
void CheckTableCreated(const TGISWrite& Writer, const std::string& Base) {
    const auto* tab = dynamic_cast<const TGISWriteMITAB*>(&Writer);
    if (!tab || tab->TableCreated())
        return;
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(Base + ".tab", ec);
    if (ec)
        path = Base + ".tab";
    std::string reason = "The MITAB library could not create the table";
    if (access(path.parent_path().c_str(), W_OK) != 0)
        reason = std::strerror(errno);
    throw EFCreateError("Cannot create file \"" + path.string() + "\". " + reason);
}

// Every cell (or every cell within the area), column by column from west to east,
// each column from south to north, or the cells of a list in its order. Nothing is
// allocated per cell: the rings of a column go to the writer in runs, reused. The
// names stay those of the grid's metres whatever the shapes' coordinates (Shapes).
void WriteCells(TGISWrite& Writer, const TGridState& S, TCellShapes& Shapes,
                TRunUserInterface& UI) {
    if (S.ListedCells)
        return WriteListedCells(Writer, S, Shapes, UI);
    const TGridExtent& e = S.GridExtent;
    const int64_t size = S.CellSize;
    UI.SetProgressMax(e.CellsX);
    TCellNamer namer(S);
    TColumnRows rows(S); // every row, or the rows within the area
    for (int32_t i = 0; i < e.CellsX; ++i) {
        const double x = e.X1 + static_cast<double>(i * size);
        const auto easting = static_cast<int32_t>(std::lround(x));
        Shapes.SetColumn(i);
        for (const TRowRange& r : rows.Rows(i))
            Shapes.WriteRows(Writer, namer, x, easting, e.Y1, size, r.Begin, r.End);
        Shapes.Flush(Writer);
        UI.SetProgressPosition(i + 1);
        UI.ProcessMessages();
    }
}

// After an error: the writer's files go, the progress bar returns to 0. Neither
// may hide the error that got us here.
void AbandonGrid(TGISWrite& Writer, TRunUserInterface& UI) noexcept {
    try {
        Writer.Drop();
    } catch (...) {
    }
    try {
        UI.SetProgressPosition(0);
    } catch (...) {
    }
}

// Writes the grid under the busy cursor; the writer is closed and freed before the
// cursor comes back. A failed write is reported with its file and reason.
void WriteGrid(std::unique_ptr<TGISWrite>& Writer, const TGridState& S, const TRunFormat& Format,
               const std::string& Base, TRunUserInterface& UI) {
    TBusyCursor busy(UI);
    try {
        SetUpWriter(*Writer, S, Format, Base);
        TCellShapes shapes(S, Format);
        DeclareSchema(*Writer, S, shapes.ObjectType());
        CheckTableCreated(*Writer, Base);
        WriteCells(*Writer, S, shapes, UI);
        UI.SetProgressPosition(0);
        Writer->Close();
    } catch (const EWriteError& e) {
        AbandonGrid(*Writer, UI);
        if (e.FileName().empty())
            throw;
        throw EWriteError(e.Description(), e.FileName(), e.Reason());
    } catch (...) {
        AbandonGrid(*Writer, UI);
        throw;
    }
    Writer.reset();
}

} // namespace

std::string BusyMessage(const std::string& Folder, const std::string& FilePrefix) {
    return "Another run is writing " + FilePrefix + " into " + Folder +
           " at this moment: try again when it has finished";
}

void CheckGridReady(const TGridState& S) {
    if (!FindGridSystem(S.GridKind) || !S.Size() || S.CellSize <= 0)
        throw ERangeError("No grid has been chosen: choose a grid system and a grid size first");
    if (!S.CornersSet())
        throw ERangeError("No area has been chosen: set both corners first");
    if (!FindRunFormat(S.OutputFormatTag))
        throw ERangeError("Unknown file format tag " + std::to_string(S.OutputFormatTag));
    CheckAreaFitsGrid(S);
    CheckListedCells(S);

    const TGridExtent& e = S.GridExtent;
    if (e.CellsX < 0 || e.CellsY < 0)
        throw ERangeError("The area holds a negative number of cells");
    const double lastX = LastOrigin(e.X1, e.CellsX, S.CellSize);
    const double lastY = LastOrigin(e.Y1, e.CellsY, S.CellSize);
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    if (!(e.X1 >= low && e.Y1 >= low && lastX <= high && lastY <= high))
        throw ERangeError("The area lies beyond the range of cell names: every cell corner must "
                          "lie within 2147483647 m of the grid's origin");
    if (S.GridKind == gkEuroGrid) {
        constexpr auto low = static_cast<double>(EuroGridOriginMin);
        constexpr auto high = static_cast<double>(EuroGridOriginMax);
        if (e.X1 < low || e.Y1 < low || lastX > high || lastY > high)
            throw ERangeError("The area lies beyond EuroGrid's range: the cell origins are stored "
                              "in fields of 7 digits, from -999999 to 9999999 m");
        return;
    }
    for (double x : {e.X1, lastX})
        for (double y : {e.Y1, lastY})
            if (CellId(static_cast<int32_t>(x), static_cast<int32_t>(y), S.SizeLabel,
                       S.DroppedDigits)
                    .size() > DKNIdentifierWidth)
                throw ERangeError("The area lies beyond DKN's range: its cell identifiers would "
                                  "be longer than the 20 characters of their field");
}

TGenerationRun::TGenerationRun(const TFileSystemQueries& FileSystem, TWriterFactory MakeWriter)
    : FFileSystem(FileSystem), FMakeWriter(std::move(MakeWriter)) {}

TRunResult TGenerationRun::Execute(const TGridState& State, TRunUserInterface& UI) {
    const TGridState S = State;
    CheckGridReady(S);
    const TRunFormat& requested = *FindRunFormat(S.OutputFormatTag);
    TRunResult result;

    // The folder, and whether a folder off the local disk is meant.
    std::string chosen;
    if (!UI.ChooseFolder(std::string(FolderCaption), OutputFolder, chosen)) {
        result.Outcome = TRunOutcome::Cancelled;
        return result;
    }
    OutputFolder = chosen + '/';
    if (FFileSystem.DriveType(OutputFolder) != dtFixed &&
        !UI.AskYesNo(std::string(NotLocalQuestion))) {
        result.Outcome = TRunOutcome::Declined;
        return result;
    }
    UI.ProcessMessages();

    // One run per grid and folder, from before the first file until the end.
    result.OutputBase = OutputFolder + S.FilePrefix;
    const TOutputLock lock(result.OutputBase);
    if (lock.Status() == TOutputLock::lsBusy) {
        UI.ShowMessage(BusyMessage(OutputFolder, S.FilePrefix));
        result.Outcome = TRunOutcome::Busy;
        return result;
    }
    if (lock.Status() == TOutputLock::lsHeld)
        RecoverOutput(result.OutputBase);

    // The writer, and the side files of a shapefile.
    std::unique_ptr<TGISWrite> writer = FMakeWriter(requested.Writer);
    if (!writer)
        throw Exception("No writer for the format \"" + std::string(requested.Caption) + "\"");
    const TRunFormat& format = EffectiveRunFormat(requested, *writer);
    result.Format = &format;
    if (format.ShapefileSideFiles) {
        if (S.GridKind == gkDKN)
            WriteAvlFile(result.OutputBase, S.SizeTag);
        WritePrjFile(result.OutputBase, S.GridKind);
    }

    // Will the output fit? Before any grid file is opened.
    result.Estimates = EstimateGrid(format, S);
    std::optional<TRunRefusal> refusal = CheckFormatLimits(format, S, result.Estimates);
    if (!refusal)
        refusal = CheckFolder(format, result.Estimates, FFileSystem, OutputFolder);
    if (refusal) {
        for (const std::string& text : refusal->Texts)
            UI.ShowMessage(text);
        result.Outcome = refusal->Outcome;
        return result;
    }

    WriteGrid(writer, S, format, result.OutputBase, UI);
    UI.ShowMessage(std::string(DoneMessage));
    result.Outcome = TRunOutcome::Done;
    return result;
}

TGenerationRun& GenerationRun() {
    static TGenerationRun run;
    return run;
}

} // namespace quadrel
