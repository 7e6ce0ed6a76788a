#pragma once
// The GIS vector writer family: one abstract base, TGISWrite, that turns a stream
// of objects (an attribute row plus polygon, polyline or point geometry) into the
// files of one format, and one subclass per format. Clients get a writer from the
// factory TGISWrite::GetGISObject and follow one calling protocol:
//
//   1. GetGISObject(format).
//   2. Set FileName (folder plus base name, no extension) and, as needed, CoordSys,
//      epsg, PRJ, Brush, Pen, Symbol, CompactMIF, GreatCircleDist, Codepage,
//      OptimizePLinesSections.
//   3. StartHeader(NumFields, ObjectTypes): one geometry kind per file.
//   4. AddField exactly NumFields times, in column order.
//   5. Per object: AddObject(NumParts, multiPolygon, Attrib) followed by exactly
//      NumParts AddSection calls (or AddSection1/2/3); or AddLine/AddLine2
//      (polyline files); or AddPoint/AddPoint2 (point files). A run of objects of
//      one part each (a grid's cells) may come in one AddOnePartObjects call.
//   6. Close (or Drop to abandon the output), then destroy the writer.
//
// The attribute row is one text holding the values of all fields in field order,
// separated by commas; a value may be quoted with double quotes (see SplitAttrib).
//
// Errors are exceptions (errors.h) carrying fixed English messages. The base class
// owns the checks every format shares (protocol order, ring checks, row counts),
// so no format can skip them: the public calls are not virtual; they check, keep
// the object counters and then call the format's protected virtual operation.
//
// Whole-or-nothing output (output_files.h): from StartHeader on, every file a format
// creates through TPWFileStream or TTextFileWriter (with FileName + its extension) is
// made as a temporary beside its final name, exclusively and never through a link,
// and opening it again opens the temporary. Only when Close has succeeded do the
// files take their final names, the main file last (the file a format makes first);
// until then an earlier grid of those names stays untouched and complete. A format
// writes nothing of its own for this; the file names its contents refer to (a
// schema's name, a document's name) stay the final ones.
//
// A format whose library opens the files itself (MITAB; a database engine) asks
// TemporaryOutputPath for the path to hand to the library, one call per file the
// library will make, the main file first:
//
//     const std::string path = TemporaryOutputPath(FileName + ".gpkg");
//     sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
//
// The temporary is created empty and exclusively (an empty file is a valid empty
// SQLite database), renamed over FileName + ".gpkg" when Close succeeds, removed by
// Drop and by every failure; the library must have closed the file by the end of
// DoClose. DiscardOutputFile forgets a file the library did not make after all;
// WithdrawOutputFile also removes an earlier file of that name when the output is
// committed (a table without geometry has no ".map").
//
// What happens to the files when things go wrong:
//  - A file that cannot be created ("Cannot create file ...") abandons the output:
//    what this output had already created is closed and removed, no handle stays
//    open, and the writer is closed.
//  - Close reports a failed write (a full disk) as EWriteError "Stream write error",
//    with the file and the system's reason where they are known (FileName, Reason,
//    Description); the output is then removed as by Drop, never left looking
//    complete. A write error raised earlier (while objects were added) makes Close
//    fail the same way.
//  - An object that ends before all its announced parts arrived (a ring was
//    rejected, or the client moved on) is written without geometry when the next
//    object starts or the writer closes, so every file of the output keeps one
//    entry per object; a row rejected by the row-count check writes nothing at all.
//  - Close is called once; a second Close does nothing. Drop closes the files
//    without finishing them and removes the temporaries (or, after Close, the files
//    of the output); earlier files of those names are not touched before Close.
//  - Destroying a writer that was never closed abandons its output like Drop: its
//    files are closed and removed. An interrupted run therefore never leaves a grid
//    behind that looks complete but is not; a finished output needs Close. A killed
//    process leaves at most the temporaries, whose names say what they are.
//
// A new format is one class in its own header and source file (giswrite_<format>):
// derive from TGISWrite, override the protected operations it needs, create its
// files with TPWFileStream / TTextFileWriter as FileName + extension (or hand its
// library TemporaryOutputPath), release its handles in ReleaseFiles, report write
// errors from DoClose, and add its case to the factory in giswrite_factory.cpp (and
// its header to pwnet_giswriter.h).

#include "errors.h"
#include "output_files.h"
#include "pwnet_functions.h"
#include "pwnet_io.h"
#include "pwnet_textfilewriter.h"
#include "pwnet_types.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pwnet {

// Output formats; the ordinals are part of the interface.
enum TGISFormat : int32_t {
    gfMIF = 0,
    gfDBF = 1,
    gfSHP = 2,
    gfCSV = 3,
    gfArray = 4,
    gfMITAB = 5,
    gfGML2 = 6,
    gfKML2 = 7,
    gfGeoJSON = 8,
    gfMFAL = 9,
    gfMIF8 = 10,
    gfGPKG = 11, // OGC GeoPackage
};

// Attribute field types; the ordinals are part of the interface (the TAB writer
// derives MITAB's type codes from them).
enum TGISField : uint8_t {
    gfChar = 0,
    gfInteger = 1,
    gfSmallInt = 2,
    gfDecimal = 3,
    gfFloat = 4,
    gfDate = 5,     // text YYYYMMDD
    gfLogical = 6,  // true when the text starts with 1, T, Y, t or y
    gfTime = 7,     // text HHMMSSmmm
    gfDateTime = 8, // text YYYYMMDDHHMMSSmmm
};

// Style records; colours are Windows colour values 0x00BBGGRR.
struct TMIBrush {
    int32_t pattern;
    uint32_t fg_color;
    uint32_t bg_color;
    friend bool operator==(const TMIBrush&, const TMIBrush&) = default;
};
struct TMIPen {
    int32_t Width;
    int32_t pattern;
    uint32_t Color;
    friend bool operator==(const TMIPen&, const TMIPen&) = default;
};
struct TMISymbol {
    int32_t Shape;
    uint32_t Color;
    int32_t Size;
    friend bool operator==(const TMISymbol&, const TMISymbol&) = default;
};

inline constexpr TMIBrush DefaultBrush{2, 0xFFFFFF, 0};
inline constexpr TMIPen DefaultPen{1, 2, 0};
inline constexpr TMISymbol DefaultSymbol{33, 0, 12};

// MapInfo stores colours as 0x00RRGGBB: the lowest and the third byte change places.
constexpr uint32_t ColorToMapInfo(uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

// True for the logical values 1, T, Y, t, y (only the first character counts).
constexpr bool LogicalIsTrue(std::string_view v) {
    return !v.empty() && (v[0] == '1' || v[0] == 'T' || v[0] == 'Y' || v[0] == 't' || v[0] == 'y');
}

struct TFieldInfo {
    TGISField FieldType = gfChar;
    uint8_t Width = 0;
    uint8_t decimals = 0;
    std::string Name;
};
using TFieldInfoArray = std::vector<TFieldInfo>;

// The values of one attribute row. Keeps its strings between rows, so splitting a
// row of the usual short values allocates nothing once the list has been used.
class TValueList {
public:
    void Clear() { FCount = 0; }
    std::string& Add() {
        if (FCount == FItems.size())
            FItems.emplace_back();
        std::string& s = FItems[FCount++];
        s.clear();
        return s;
    }
    size_t Count() const { return FCount; }
    const std::string& operator[](size_t i) const { return FItems[i]; }

private:
    std::vector<std::string> FItems;
    size_t FCount = 0;
};

class TGISArray; // result of the in-memory writer

// A run of objects of one part each, all parts of the same number of points, as a
// grid's cells are: object k has the row Rows[k] and the part of the PointsPerPart
// points from Points + k * PointsPerPart.
struct TOnePartObjects {
    const TFloatPoint* Points = nullptr;
    int32_t PointsPerPart = 0;
    const std::string_view* Rows = nullptr;
    int32_t Count = 0;
};

class TGISWrite {
public:
    virtual ~TGISWrite();
    TGISWrite(const TGISWrite&) = delete;
    TGISWrite& operator=(const TGISWrite&) = delete;

    // The writer for a format. gfMITAB and gfMFAL give their writer only when the
    // library could be bound; they, every value without a writer of its own and
    // every unknown value give the MIF/MID writer.
    static std::unique_ptr<TGISWrite> GetGISObject(TGISFormat Inp);
    static bool MITAB_supported();
    static bool MFAL_supported();

    // Starts the output: one geometry kind for the whole file, NumFields fields.
    // Called once per writer.
    void StartHeader(int32_t NumFields, TObjectTypes ObjectTypes);
    // Declares the next field (exactly NumFields times, in column order). A format
    // may store another width or number of decimals than declared; FieldInfo shows
    // what it stores.
    void AddField(const std::string& FieldName, TGISField Field, uint8_t Width, uint8_t decimals);
    // Starts an object of NumParts parts (0: no geometry) with its attribute row.
    // multiPolygon asks the GeoJSON writer for a MultiPolygon.
    void AddObject(int32_t NumParts, bool multiPolygon, std::string_view Attrib);
    // One part of the current object: the first Count points of SegList.Pnt. Index
    // is the part's ring role: 0 an ordinary part or outer ring; > 0 an inner ring
    // for the formats that know holes; negative is handed on by the TAB writer.
    // Great-circle densification may lengthen SegList in place.
    void AddSection(int32_t Index, TFloatPointArrayEx& SegList);
    // Points 0..Last of SegList, reversed when swapdirection is set.
    void AddSection1(int32_t Index, const TFloatPointArrayEx2& SegList, bool swapdirection);
    void AddSection2(int32_t Index, double X1, double Y1, double X2, double Y2);
    void AddSection3(int32_t Index, const TFloatPoint& P1, const TFloatPoint& P2);
    // The objects of Objects, as AddObject(1, false, Rows[k]) and AddSection(0, part
    // k) one after the other write them, with the same checks, errors and bytes; a
    // format that can write such a run in one go (the grid's shapefile and MIF
    // cells) is spared the calls per object.
    void AddOnePartObjects(const TOnePartObjects& Objects);
    // A one-part two-point polyline object; only polyline files take it.
    void AddLine(double X1, double Y1, double X2, double Y2, std::string_view Attrib);
    void AddLine2(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib);
    // One point object; each format decides whether it takes it in a file of
    // another kind.
    void AddPoint(double X, double Y, std::string_view Attrib);
    void AddPoint2(const TFloatPoint& P, std::string_view Attrib);
    // Finishes the files (headers patched, trailers written) and closes them.
    void Close();
    // Closes the files without finishing them and deletes the output's files.
    void Drop();

    uint16_t Codepage() const { return FCodepage; }
    // Code page of the text written into files (65001 is UTF-8); set it before
    // StartHeader.
    void SetCodepage(uint16_t Value);
    const TFieldInfoArray& FieldInfo() const { return FFieldInfo; }
    bool OptimizePLinesSections() const { return FOptimizePLinesSections; }
    // Merge touching polyline sections of one object; may not change in the
    // middle of an object.
    void SetOptimizePLinesSections(bool Value);
    int32_t WrittenRecords() const { return FWrittenRecords; }

    TMIBrush Brush = DefaultBrush;          // fill style of regions
    std::string CoordSys = DefaultCoordSys; // MapInfo CoordSys clause
    bool CompactMIF = false;                // MIF: no Pen, Brush or Symbol lines
    int32_t epsg = DefaultEPSG;             // EPSG code (GML, GeoJSON)
    std::string FileName;                   // output path without extension
    double GreatCircleDist = 0;             // densification spacing in km; <= 0: off
    TMIPen Pen = DefaultPen;                // line style of polylines and borders
    std::string PRJ = DefaultPRJ;           // text of the shapefile's .prj; empty: none
    TMISymbol Symbol = DefaultSymbol;       // point symbol
    TGISArray* GISarray = nullptr;          // result of the in-memory writer, which owns it
    std::string GeoJSON;                    // result text of the GeoJSON writer in memory

protected:
    TGISWrite();

    // ---- The format's work, in the order of the writer's operations. ----
    // Each is called by the base after its checks and bookkeeping; an override
    // calls its parent format's version first (the base versions do nothing
    // unless noted).

    // A deferred polyline object starts (base: remembers it for merging).
    virtual void BeginOptimizedObject(int32_t NumParts, std::string_view Attrib);
    // Merges or stores one section of a deferred polyline object (base: merging).
    virtual void CollectSection(const TFloatPointArrayEx& SegList);
    // An object starts; FNumParts and FWrittenParts are already set.
    virtual void BeginObject(int32_t, std::string_view) {}
    // A part of the current object; FWrittenParts already counts it.
    virtual void WriteSection(int32_t, const TFloatPointArrayEx&) {}
    // The leading objects of a run (AddOnePartObjects) that the format writes in one
    // go, each complete, as BeginObject and WriteSection would; returns how many.
    // Every part has passed the section checks, no object is in progress. A row the
    // format refuses raises before anything of its object is written. The base
    // writes the objects after them one by one (base: none).
    virtual int32_t WriteOnePartObjects(const TOnePartObjects&) { return 0; }
    // The field just recorded in FFieldInfo[FWrittenFields].
    virtual void DoAddField() {}
    // AddLine/AddLine2 (base: a one-part polyline object in a polyline file).
    virtual void DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib);
    // AddPoint/AddPoint2.
    virtual void DoAddPoint(double X, double Y, std::string_view Attrib) = 0;
    // Finishes and closes the files; raises EWriteError when they cannot be written.
    virtual void DoClose() {}
    // After Drop removed the files: a format without files forgets its result here.
    virtual void DoDrop() {}
    // The output starts (FNumFields, FObjectTypes and FFieldInfo are set).
    virtual void DoStartHeader() {}
    // The current object ended before all its parts arrived and its format had
    // started it: write what keeps the files consistent (no geometry).
    virtual void AbandonObject() {}
    // Closes every handle without finishing anything; must not throw.
    virtual void ReleaseFiles() noexcept {}

    // ---- Shared services for the formats. ----

    // Splits a row into FSL (rules in the source); raises the row-count message
    // when the number of values differs from FNumFields, unless CountValues is off.
    void SplitAttrib(std::string_view Attrib, bool CountValues = true);
    // The usual rows only (quoted or plain values, single commas, no blanks), split
    // into views of the row in FPlainValues without copying; false for any other
    // row, which SplitAttrib splits. Counts nothing.
    bool SplitPlainRow(std::string_view Attrib);
    // Starts an object of a format's own making (a point object): sets the
    // counters and calls BeginObject.
    void StartObject(int32_t NumParts, std::string_view Attrib);
    // Great-circle densification of a section in place (x longitude, y latitude).
    void DensifySection(TFloatPointArrayEx& SegList);
    // A file of this output that Drop removes; register it right after creating it.
    // A file made as the output's temporary (all that TPWFileStream creates from
    // StartHeader to Close) is the output's already; a file a library wrote under
    // its final name is removed by Drop and the failures, but is not whole-or-nothing.
    void RegisterOutputFile(const std::string& Path);
    // The path under which a library that opens its files itself writes FinalPath
    // (see the top of this file). Raises EFCreateError when FinalPath cannot be
    // replaced (a folder in its place, a file this user may not write) or the
    // temporary's name is taken; where the folder refuses new files altogether, the
    // path is returned without a file, and the library's own attempt fails there.
    std::string TemporaryOutputPath(const std::string& FinalPath);
    // The library did not make FinalPath after all: its temporary goes, an earlier
    // file of that name stays.
    void DiscardOutputFile(const std::string& FinalPath);
    // The output has no FinalPath: its temporary goes, and an earlier file of that
    // name is removed when the output takes its final names.
    void WithdrawOutputFile(const std::string& FinalPath);
    // Whether the current object is a deferred (merged) polyline object.
    bool IsDeferred(int32_t NumParts) const {
        return FOptimizePLinesSections && NumParts >= 2 && FObjectTypes == otPline;
    }
    // Creates a small text side file (no byte-order mark) with Text as its content,
    // through a temporary renamed into place at once (it is not part of the output:
    // Drop leaves it); a file that cannot be written leaves an earlier one as it was.
    static void WriteSideFile(const std::string& Path, uint16_t Codepage, std::string_view Text);

    uint16_t FCodepage;
    std::unique_ptr<TCodePageEncoder> FEncoding;
    std::string FAttrib;
    TFieldInfoArray FFieldInfo;
    int32_t FFreeIndex = -1;
    int32_t FFreeItems = 0;
    TFloatPointArrayEx FLine;
    int32_t FNumFields = 0;
    int32_t FNumParts = 0;
    TFloatPointArrayEx FPoint;
    TObjectTypes FObjectTypes = otPline;
    int32_t FOptimizedParts = 0;
    bool FOptimizePLinesSections = false;
    TFloatPointArrayExArray FSegments;
    TValueList FSL;
    std::vector<std::string_view> FPlainValues; // filled by SplitPlainRow
    int32_t FWrittenFields = 0;
    int32_t FWrittenParts = 0;
    int32_t FWrittenRecords = 0;
    bool Fopen = false;
    bool FmultiPolygon = false;

private:
    void CheckOpen() const;
    void CheckReadyForObject();
    void FinishIncompleteObject();
    void AbandonOutput() noexcept;
    void DeleteOutputFiles() noexcept;
    void CheckSection(const TFloatPointArrayEx& SegList) const;
    void SplitAnyRow(std::string_view Attrib);
    void AddSectionUnchecked(int32_t Index, TFloatPointArrayEx& SegList);
    int32_t AcceptedParts(const TOnePartObjects& Objects) const;
    int32_t WriteRun(const TOnePartObjects& Objects);

    bool FDeferredObject = false; // the current object is collected for merging
    bool FStarted = false;        // StartHeader was called (one output per writer)
    template <typename F> void Guarded(F&& f);
    TOutputFiles& OpenOutput();

    std::unique_ptr<TOutputFiles> FOutput;      // the output's files, from StartHeader on
    std::unique_ptr<EWriteError> FWriteFailure; // the write error that escaped; Close
                                                // must not pretend success
    std::vector<std::string> FOutputFiles;      // files a format wrote under final names
    std::vector<int64_t> FDensifyCounts;        // per-segment insertions, reused
    TFloatPointArrayEx FSection1;               // AddSection1's copy, reused
    TFloatPointArrayEx FRunPart;                // a part of AddOnePartObjects, reused
};

} // namespace pwnet
