#include "generation_run.h"

#include "cell_naming.h"
#include "errors.h"
#include "lonlat_columns.h"
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

// The cell origins of a EuroGrid are stored in number fields of 7 characters.
constexpr double EuroGridOriginMin = -999999;
constexpr double EuroGridOriginMax = 9999999;
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
    // The run has written the projection file itself; the shapefile writer must not
    // write its own over it.
    Writer.PRJ.clear();
}

void DeclareSchema(TGISWrite& Writer, const TGridState& S) {
    const std::vector<TCellField> fields = CellFields(S);
    Writer.StartHeader(static_cast<int32_t>(fields.size()), otRegion);
    for (const TCellField& f : fields)
        Writer.AddField(f.Name, f.Numeric ? gfDecimal : gfChar, static_cast<uint8_t>(f.Width), 0);
}

// The closed ring of the cell with lower-left corner (x, y), clockwise from that
// corner, every point shifted.
inline void FillRing(TFloatPointArrayEx& Ring, double x, double y, double Size,
                     const TFloatPoint& Shift) {
    TFloatPoint* p = Ring.Pnt.data();
    p[0] = {x + Shift.x, y + Shift.y};
    p[1] = {x + Shift.x, (y + Size) + Shift.y};
    p[2] = {(x + Size) + Shift.x, (y + Size) + Shift.y};
    p[3] = {(x + Size) + Shift.x, y + Shift.y};
    p[4] = p[0];
    Ring.Count = 5;
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

// A corner rounded to whole metres: lround, without its call for the whole numbers
// that cell corners are.
// (Cell corners lie within the range of names, checked before the run.)
inline int32_t WholeMetres(double v) {
    const auto whole = static_cast<int64_t>(v);
    return static_cast<int32_t>(static_cast<double>(whole) == v ? whole : std::lround(v));
}

// Every cell, column by column from west to east, each column from south to north.
// Nothing is allocated per cell: one ring, one attribute text, reused. With LonLat
// the rings are in WGS 84 longitude and latitude, each corner transformed once; the
// names stay those of the grid's metres.
void WriteCells(TGISWrite& Writer, const TGridState& S, const TFloatPoint& Shift,
                TLonLatColumns* LonLat, TFloatPointArrayEx& Ring, TRunUserInterface& UI) {
    const TGridExtent& e = S.GridExtent;
    const int64_t size = S.CellSize;
    TCellNamer namer(S);
    for (int32_t i = 0; i < e.CellsX; ++i) {
        const double x = e.X1 + static_cast<double>(i * size);
        const auto easting = WholeMetres(x);
        if (LonLat)
            LonLat->SetColumn(i);
        for (int32_t j = 0; j < e.CellsY; ++j) {
            const double y = e.Y1 + static_cast<double>(j * size);
            if (LonLat)
                LonLat->FillRing(Ring, j);
            else
                FillRing(Ring, x, y, static_cast<double>(size), Shift);
            Writer.AddObject(1, false, namer.AttributeText(easting, WholeMetres(y)));
            Writer.AddSection(0, Ring);
        }
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
// cursor comes back.
void WriteGrid(std::unique_ptr<TGISWrite>& Writer, const TGridState& S, const TRunFormat& Format,
               const std::string& Base, const TFloatPoint& Shift, TFloatPointArrayEx& Ring,
               TRunUserInterface& UI) {
    TBusyCursor busy(UI);
    try {
        SetUpWriter(*Writer, S, Format, Base);
        std::unique_ptr<TLonLatColumns> lonLat;
        if (Format.LonLat)
            lonLat =
                std::make_unique<TLonLatColumns>(GridEpsg(S.GridKind), S.GridExtent.X1,
                                                 S.GridExtent.Y1, S.CellSize, S.GridExtent.CellsY);
        DeclareSchema(*Writer, S);
        CheckTableCreated(*Writer, Base);
        UI.SetProgressMax(S.GridExtent.CellsX);
        WriteCells(*Writer, S, Shift, lonLat.get(), Ring, UI);
        UI.SetProgressPosition(0);
        Writer->Close();
    } catch (...) {
        AbandonGrid(*Writer, UI);
        throw;
    }
    Writer.reset();
}

void ShowAll(TRunUserInterface& UI, const std::vector<std::string_view>& Texts) {
    for (std::string_view t : Texts)
        UI.ShowMessage(std::string(t));
}

} // namespace

void CheckGridReady(const TGridState& S) {
    if (!FindGridSystem(S.GridKind) || !S.Size() || S.CellSize <= 0)
        throw ERangeError("No grid has been chosen: choose a grid system and a grid size first");
    if (!S.CornersSet())
        throw ERangeError("No area has been chosen: set both corners first");
    if (!FindRunFormat(S.OutputFormatTag))
        throw ERangeError("Unknown file format tag " + std::to_string(S.OutputFormatTag));

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
        if (e.X1 < EuroGridOriginMin || e.Y1 < EuroGridOriginMin || lastX > EuroGridOriginMax ||
            lastY > EuroGridOriginMax)
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

    TFloatPointArrayEx ring;
    ring.Pnt.resize(5);
    ring.Count = 5;

    // The writer, and the side files of a shapefile.
    std::unique_ptr<TGISWrite> writer = FMakeWriter(requested.Writer);
    if (!writer)
        throw Exception("No writer for the format \"" + std::string(requested.Caption) + "\"");
    const TRunFormat& format = EffectiveRunFormat(requested, *writer);
    result.Format = &format;
    result.OutputBase = OutputFolder + S.FilePrefix;
    if (format.ShapefileSideFiles) {
        if (S.GridKind == gkDKN)
            WriteAvlFile(result.OutputBase, S.SizeTag);
        WritePrjFile(result.OutputBase, S.GridKind);
    }
    const TFloatPoint shift = CoordinateShift(format, S.GridKind);

    // Will the output fit? Before any grid file is opened.
    result.Estimates = EstimateRun(format, S.GridKind, S.GridExtent);
    if (const std::string text = BoundsRefusal(format, S.GridKind, S.GridExtent); !text.empty()) {
        UI.ShowMessage(text);
        result.Outcome = TRunOutcome::OutsideBounds;
        return result;
    }
    if (const std::string_view text = SizeLimitRefusal(format, result.Estimates); !text.empty()) {
        UI.ShowMessage(std::string(text));
        result.Outcome = TRunOutcome::TooLarge;
        return result;
    }
    if (const auto texts =
            LargeFileRefusal(format, result.Estimates, FFileSystem.FileSystemName(OutputFolder));
        !texts.empty()) {
        ShowAll(UI, texts);
        result.Outcome = TRunOutcome::NoLargeFiles;
        return result;
    }
    if (const auto texts =
            FreeSpaceRefusal(format, result.Estimates, FFileSystem.DiskFree(OutputFolder));
        !texts.empty()) {
        ShowAll(UI, texts);
        result.Outcome = TRunOutcome::NoSpace;
        return result;
    }

    WriteGrid(writer, S, format, result.OutputBase, shift, ring, UI);
    UI.ShowMessage(std::string(DoneMessage));
    result.Outcome = TRunOutcome::Done;
    return result;
}

TGenerationRun& GenerationRun() {
    static TGenerationRun run;
    return run;
}

} // namespace quadrel
