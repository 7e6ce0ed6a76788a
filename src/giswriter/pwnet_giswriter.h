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
//      (polyline files); or AddPoint/AddPoint2 (point files).
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
// What happens to the files when things go wrong:
//  - A file that cannot be created ("Cannot create file ...") abandons the output:
//    what this output had already created is closed and removed, no handle stays
//    open, and the writer is closed.
//  - Close reports a failed write (a full disk) as EWriteError "Stream write error";
//    the output is then removed as by Drop, never left looking complete. A write
//    error raised earlier (while objects were added) makes Close fail the same way.
//  - An object that ends before all its announced parts arrived (a ring was
//    rejected, or the client moved on) is written without geometry when the next
//    object starts or the writer closes, so every file of the output keeps one
//    entry per object; a row rejected by the row-count check writes nothing at all.
//  - Close is called once; a second Close does nothing. Drop closes the files
//    without finishing them and deletes the ones its format names.
//  - Destroying a writer that was never closed abandons its output like Drop: its
//    files are closed and removed. An interrupted run therefore never leaves a grid
//    behind that looks complete but is not; a finished output needs Close.
//
// A new format is one class and one source file: derive from TGISWrite, override
// the protected operations it needs, register every file it creates with
// RegisterOutputFile (Drop and the failures above remove exactly those), release
// its handles in ReleaseFiles, report write errors from DoClose, and add its case
// to the factory in giswrite_factory.cpp.

#include "errors.h"
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
    virtual void BeginObject(int32_t NumParts, std::string_view Attrib);
    // A part of the current object; FWrittenParts already counts it.
    virtual void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList);
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
    // Starts an object of a format's own making (a point object): sets the
    // counters and calls BeginObject.
    void StartObject(int32_t NumParts, std::string_view Attrib);
    // Great-circle densification of a section in place (x longitude, y latitude).
    void DensifySection(TFloatPointArrayEx& SegList);
    // A file of this output that Drop removes; register it right after creating it.
    void RegisterOutputFile(const std::string& Path);
    // Whether the current object is a deferred (merged) polyline object.
    bool IsDeferred(int32_t NumParts) const {
        return FOptimizePLinesSections && NumParts >= 2 && FObjectTypes == otPline;
    }
    // Creates a small text side file (no byte-order mark) and writes Text into it;
    // a file that cannot be written completely is removed again.
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
    void AddSectionUnchecked(int32_t Index, TFloatPointArrayEx& SegList);

    bool FDeferredObject = false; // the current object is collected for merging
    bool FStarted = false;        // StartHeader was called (one output per writer)
    bool FWriteFailed = false;    // a write error escaped; Close must not pretend success
    std::vector<std::string> FOutputFiles;
    std::vector<int64_t> FDensifyCounts; // per-segment insertions, reused
    TFloatPointArrayEx FSection1;        // AddSection1's copy, reused
};

// ---------------------------------------------------------------------------
// GML 2.1.2: a feature collection ".xml" and the XML schema ".xsd" of its feature
// type, both UTF-8 with a byte-order mark and without line breaks. The feature
// type is named after the file (FileName without its folder); its namespace is
// GmlNamespaceBase followed by that name. The bounding box at the top of the
// ".xml" is a placeholder of four 16-character numbers patched in place by Close.
// StartHeader creates both files; the last field completes the schema (with no
// fields StartHeader does); Drop removes both.
inline constexpr std::string_view GmlNamespaceBase = "http://quadrel.dk/gml/";

class TGISWriteGML2 : public TGISWrite {
public:
    TGISWriteGML2();
    ~TGISWriteGML2() override;

    // The 16-character text that replaces a placeholder of the box.
    static std::string BoxValueText(double Value);

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutGML;
    std::unique_ptr<TTextFileWriter> FOutXSD;
    bool Fprevious = false; // a gml:Polygon is open in the current multi-polygon
    std::string FFileName2; // the feature type's name
    double FXMinG = 0, FYMinG = 0, FXMaxG = 0, FYMaxG = 0;

private:
    void FinishSchema();
    void WriteAttributes(std::string_view Attrib);
    void AppendCoordinates(const TFloatPointArrayEx& SegList);
    void AppendSrsName();
    void WriteFeature();
    void WriteWithoutGeometry();
    void PatchBox();

    std::string FHead; // the current feature up to its geometry, reused
    std::string FGeom; // the current feature's geometry, reused
    double FObjXMin = 0, FObjYMin = 0, FObjXMax = 0, FObjYMax = 0; // box of FGeom
    bool FPending = false;                                         // a feature waits for its parts
};

// ---------------------------------------------------------------------------
// CSV: ".csv" in the writer's code page, the quoted field names as the first line,
// then every object's attribute row unchanged as one line; no geometry.
// StartHeader creates it; Drop removes it.
class TGISWriteCSV : public TGISWrite {
public:
    TGISWriteCSV();
    ~TGISWriteCSV() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void DoAddField() override;
    void DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutCSV;

private:
    void WriteRow(std::string_view Attrib);
    std::string FLineText; // the header line, reused
};

// ---------------------------------------------------------------------------
// KML 2.2: ".kml", UTF-8 with a byte-order mark, one Placemark per object named
// "Record: n", its attributes as an HTML description. Coordinates are written as
// given: KML readers take longitude and latitude on WGS 84. StartHeader creates
// it; Drop removes it.
inline constexpr std::string_view KmlPointIcon =
    "http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png";

class TGISWriteKML2 : public TGISWrite {
public:
    TGISWriteKML2();
    ~TGISWriteKML2() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutKML;
    bool Fprevious = false; // a Polygon element is open

private:
    void AppendPlacemarkHead(std::string_view Attrib, bool Point);
    void AppendCoordinates(const TFloatPointArrayEx& SegList);
    void WriteWithoutGeometry();

    std::string FHead;     // the current Placemark up to its geometry, reused
    std::string FGeom;     // the current Placemark's geometry, reused
    bool FPending = false; // a Placemark waits for its parts
};

// ---------------------------------------------------------------------------
// GeoJSON and its text sink.

// A text sink: a UTF-8 file (no byte-order mark) when given a file name, a string
// in memory otherwise.
class TFlexWriter {
public:
    explicit TFlexWriter(const std::string& filename);
    ~TFlexWriter();
    TFlexWriter(const TFlexWriter&) = delete;
    TFlexWriter& operator=(const TFlexWriter&) = delete;

    void append(std::string_view s);
    // Memory mode: empties the text; file mode: does nothing.
    void clear();
    // Memory mode: the text; file mode: empty.
    std::string ToString() const;
    // File mode: writes what is pending and closes the file; raises EWriteError
    // when it cannot. Memory mode: does nothing.
    void Close();
    bool FileStyle() const { return fFileStyle; }

private:
    bool fFileStyle;
    std::string SB;
    std::unique_ptr<TTextFileWriter> f;
};

// GeoJSON FeatureCollection without line breaks: into FileName + ".geojson", or
// into the member GeoJSON when FileName is empty (filled by Close). A crs member
// names the EPSG code when epsg is not 4326. Drop removes the file and empties
// GeoJSON.
class TGISWriteGeoJSON : public TGISWrite {
public:
    TGISWriteGeoJSON();
    ~TGISWriteGeoJSON() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoDrop() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TFlexWriter> s;

private:
    void AppendFeatureHead(std::string_view Attrib);
    void AppendPosition(const TFloatPoint& P);
    void AppendPositions(const TFloatPointArrayEx& SegList);
    void WriteFeature();
    void WriteWithoutGeometry();

    std::string FHead;     // the current feature up to "geometry":, reused
    std::string FGeom;     // its coordinates, reused
    std::string FScratch;  // a date or time value, reused
    int32_t FPolygons = 0; // polygons (region files) or positions (point files) in FGeom
    bool FPending = false; // a feature waits for its parts
};

// ---------------------------------------------------------------------------
// The in-memory writer: fills a TGISArray for a calling program; no files.

// An attribute value of the in-memory result, by field type: gfChar a string;
// gfDecimal, gfFloat a double; gfInteger, gfSmallInt an integer; gfLogical a
// Boolean; gfDate a calendar date; gfTime the time of day in milliseconds since
// midnight; gfDateTime a local date and time. A date, time or date-time value of
// the wrong length or out of range is null (std::monostate).
using TGISValue =
    std::variant<std::monostate, std::string, double, int64_t, bool, std::chrono::year_month_day,
                 std::chrono::milliseconds, std::chrono::local_time<std::chrono::milliseconds>>;

// One object: a value per field and a point array per part.
struct TRec {
    std::vector<TGISValue> Attr;
    std::vector<TFloatPointArray> Coord;
};

class TGISArray {
public:
    // Releases every record: RecCount 0, all arrays empty.
    void Clear();

    TObjectTypes OT = otPline;
    TFloatRect MBR;                // box of every point stored
    std::vector<TFieldInfo> Field; // field k at entry k - 1
    std::vector<TRec> Rec;         // records 0 .. RecCount - 1; the rest is room to grow
    int32_t RecCount = 0;
};

// GISarray points to the result, which lives until the next StartHeader, Drop or
// the writer's destruction. An integer value that is not an integer raises
// "'...' is not a valid integer value".
class TGISWriteArray : public TGISWrite {
public:
    TGISWriteArray();
    ~TGISWriteArray() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoDrop() override;
    void DoStartHeader() override;
    void AbandonObject() override;

    int32_t Fpartsindex = -1; // part being filled

private:
    TRec& NewRecord(std::string_view Attrib);
    void GrowMBR(const TFloatPoint& P);

    std::unique_ptr<TGISArray> FResult;
    std::vector<TGISValue> FValues; // the converted row, before it becomes a record
    TFloatRect FObjectStartMBR;     // MBR before the current object
};

// ---------------------------------------------------------------------------
// TAB through MapInfo's closed file access library (binding in mfal.h). The
// records below are the writer's declarations of the library's types, laid out
// as the library expects them (little-endian, 64-bit pointers).

struct DPNT {
    double x;
    double y;
};
struct MI_ATTRDEF {
    char name[32]; // zero-filled, at most 31 characters
    uint8_t fieldtype;
    uint8_t width;
    uint8_t decPlaces;
    uint8_t filler1;
    int16_t bIndexed;
};
struct MI_CPEN {
    int16_t width;
    uint8_t filler1[2];
    int32_t pat;
    int32_t style;
    uint32_t color;
};
struct MI_SYMBOL {
    int16_t code;
    uint8_t filler1[2];
    uint32_t color;
    int16_t pointsize;
    uint8_t filler2[2];
};
struct MI_XBRUSH {
    int32_t pat;
    uint32_t forecolor;
    uint32_t backcolor;
    uint8_t transparent;
    uint8_t filler1[3];
};
struct MI_POLY {
    int32_t points;
    int32_t noOfHOles;
    DPNT* pPnts;
};
struct MI_LINE {
    DPNT lbeg;
    DPNT lend;
    MI_CPEN pen;
};
struct MI_PLINE {
    int32_t points;
    int32_t bSmooth;
    MI_CPEN pen;
    DPNT* data;
};
struct MI_MULTIPLINE {
    int32_t plines;
    int32_t bSmooth;
    MI_CPEN pen;
    DPNT centroid;
    MI_POLY* data;
};
struct MI_POINT {
    DPNT pnt;
    MI_SYMBOL symbol;
};
struct MI_REGION {
    int32_t regions;
    MI_CPEN pen;
    MI_XBRUSH brush;
    uint8_t filler1[4];
    DPNT centroid;
    MI_POLY* data;
};
struct MI_OBJ {
    uint8_t objtype;
    bool hasNoOfHolesSet;
    uint8_t filler[6];
    union {
        MI_LINE line;
        MI_PLINE pline;
        MI_MULTIPLINE multipline;
        MI_POINT point;
        MI_REGION region;
        uint8_t raw[208];
    };
};

// Object types of MI_OBJ.objtype.
inline constexpr uint8_t MiNoGeometry = 200;
inline constexpr uint8_t MiPoint = 201;
inline constexpr uint8_t MiLine = 202;
inline constexpr uint8_t MiPolyline = 204;
inline constexpr uint8_t MiRegion = 205;
inline constexpr uint8_t MiMultiPolyline = 210;

struct TMfalEntryPoints;

// The table FileName + ".tab" with the library's companion files ".map", ".dat" and
// ".id", created when the last field is declared (by StartHeader when there are
// none). Attribute rows are re-joined with TAB characters. When the library
// cannot create the table, every object is skipped. Drop removes the four files.
class TGISWriteMFAL : public TGISWrite {
public:
    // Writes through the library bound at program start.
    TGISWriteMFAL();
    // Writes through the given entry points.
    explicit TGISWriteMFAL(const TMfalEntryPoints& Library);
    ~TGISWriteMFAL() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::string attrib_tab; // the row joined with TABs, in the writer's code page
    int32_t FieldIndex = 0;
    std::vector<MI_ATTRDEF> Fields;
    MI_OBJ miobject{};
    std::vector<MI_POLY> mipolys;
    std::vector<std::vector<DPNT>> pointsM;
    int32_t TId = 0; // table id, 0 when none
    int32_t Fpartsindex = 0;

private:
    void CreateTable();
    void JoinAttributes(std::string_view Attrib);
    void ResetObject(uint8_t ObjType);
    void WriteObject();
    MI_CPEN ObjectPen() const;

    const TMfalEntryPoints* FLib; // nullptr: no library, no table
    std::string FJoined;          // the row joined with TABs, UTF-8, reused
    bool FPending = false;        // an object waits for its parts
};

// ---------------------------------------------------------------------------
// MIF/MID: the MapInfo interchange pair, ".mif" (header and geometry) and ".mid"
// (one attribute line per object), text in the writer's code page, CR LF lines.
// Both files are created when the last field is declared (by StartHeader when
// there are none); Drop removes both.
class TGISWriteMIF : public TGISWrite {
public:
    TGISWriteMIF();
    ~TGISWriteMIF() override;

    int32_t fVersion = 300;      // number of the "Version" line
    std::vector<std::string> ss; // column lines, collected while fields are declared

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutMIF;
    std::unique_ptr<TTextFileWriter> FOutMID;

private:
    void WriteHeader();
    void WriteMidLine(std::string_view Attrib);
    void AppendPenLine();
    void AppendBrushLine();
    void AppendSymbolLine();
    void AppendPoint(double X, double Y);
    void FlushGeometry();

    std::string FGeom;         // text of the current object's geometry, reused
    std::string FMidLine;      // the current row as written, reused
    int64_t FObjectPoints = 0; // points of the current object in a point file
};

// MIF/MID fixed to UTF-8.
class TGISWriteMIF8 : public TGISWriteMIF {
public:
    TGISWriteMIF8();
};

// ---------------------------------------------------------------------------
// dBASE III table ".dbf": one record per object, geometry ignored. Also the
// attribute part of the shapefile writer. StartHeader creates it; Drop removes it.
class TGISWriteDBF : public TGISWrite {
public:
    TGISWriteDBF();
    ~TGISWriteDBF() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void ReleaseFiles() noexcept override;

    // Writes the record of one row: the row is checked before any byte is written.
    void WriteRecord(std::string_view Attrib);

    uint32_t FNumRec = 0;
    // The table is written through a 1 MiB window; its bytes are those of the plain
    // seek-and-write layout.
    std::unique_ptr<TPWBufferedStream> FOutDBF;
    uint16_t FTotalWidth = 0;

private:
    void AppendCharValue(const std::string& Value, uint8_t Width);

    std::string FRecord;  // the record being built, reused
    std::string FEncoded; // a value in the table's code page, reused
};

// ---------------------------------------------------------------------------
// ESRI shapefile: ".shp", ".shx", the ".dbf" of the dBASE writer, and the side
// files ".prj" and ".cpg", all created by StartHeader (only the ".dbf" for a file
// of kind otNone). Drop removes ".shp", ".shx" and ".dbf"; the side files stay.
class TGISWriteSHP : public TGISWriteDBF {
public:
    TGISWriteSHP();
    ~TGISWriteSHP() override;

    // Offsets and lengths in the files are 32-bit: no ".shp" may reach 4 GiB.
    static constexpr uint64_t MaxShpFileSize = 0xFFFFFFFFull;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    uint32_t FContentLength = 0;
    uint32_t FNumPoints = 0;
    std::unique_ptr<TPWBufferedStream> FOutSHP;
    std::unique_ptr<TPWBufferedStream> FOutSHX;
    uint32_t FSHPOffset = 0;
    bool FSHPopen = false;
    double FXMinO = 0, FYMinO = 0, FXMaxO = 0, FYMaxO = 0;
    double FXMinG = 0, FYMinG = 0, FXMaxG = 0, FYMaxG = 0;

private:
    int32_t ShapeType() const;
    void FinishRecord();
    void ReserveRecord(uint64_t Bytes);

    // The record being built: written to ".shp" in one piece when it is complete.
    std::unique_ptr<uint8_t[]> FRecord;
    uint64_t FRecordCapacity = 0;
    uint32_t FRecordNumber = 0;
    int32_t FRecordType = 0;
    bool FRecordOpen = false;   // a record is being built
    bool FSizeExceeded = false; // the 4 GiB limit was reached: the output cannot be completed
};

// ---------------------------------------------------------------------------
// MapInfo TAB through the MITAB C API library bound at program start (mitab.h):
// FileName + ".tab" with the ".dat", ".map" and ".id" that the library lays out
// beside it, text in the writer's code page. StartHeader creates the table; a
// CoordSys ending in "Bounds (x1, y1) (x2, y2)" gives the table's bounds. When the
// library is unavailable or cannot create the table (a folder that cannot be
// written, a clause it cannot read), the writer does nothing for the rest of the
// output, raises nothing, and TableCreated() says so. A region Index below 0 is
// handed on as a negative part number. A table of kind otNone keeps only ".tab" and
// ".dat"; Drop removes all four files.
struct TMitabBinding;

class TGISWriteMITAB : public TGISWrite {
public:
    TGISWriteMITAB();                                      // through the program's binding
    explicit TGISWriteMITAB(const TMitabBinding& Binding); // kept by reference
    TGISWriteMITAB(TMitabBinding&&) = delete;
    ~TGISWriteMITAB() override;

    static constexpr int32_t MaxRegionParts = 122500;

    // Whether StartHeader created the table; false for an output that went inert.
    bool TableCreated() const { return FTableCreated; }

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    void* FFH = nullptr; // the feature being built, null when none
    void* FMH = nullptr; // the open table, null when none
    TDoubleArray FX, FY; // coordinates handed to the library, reused

private:
    void CreateTable();
    void SetFields();
    void WriteFeature();

    const TMitabBinding& FMitab;
    std::string FText; // a text in the table's code page, reused
    bool FTableCreated = false;
};

} // namespace pwnet
