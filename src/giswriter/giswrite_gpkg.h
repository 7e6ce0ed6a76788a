#pragma once

#include "giswrite_base.h"
#include "giswrite_gpkg_geometry.h"
#include "giswrite_gpkg_sqlite.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

class TGpkgPackedRTree;

// OGC GeoPackage 1.2: one SQLite file, FileName + ".gpkg", holding one layer named
// after the file (FileName without folder and extension), whose features are the
// objects in the order they arrive (fid 1, 2, ...):
//  - the geometry column "geom" in the layer's system (epsg; -1, undefined, when it
//    is not positive): POLYGON for regions (MULTIPOLYGON once an object has several
//    outer rings or asks for one), LINESTRING or MULTILINESTRING for polylines,
//    POINT or MULTIPOINT for points; an object without parts has none. A file of
//    kind otNone is an attributes table without geometry.
//  - one column per field: text TEXT(width); numbers INTEGER (no decimals) or REAL;
//    dates DATE, times TEXT, date-times DATETIME (taken as UTC), logicals BOOLEAN. An
//    empty number, or a date or time of the wrong length, is NULL. Text is UTF-8
//    whatever the Codepage.
//  - the spatial index of the rtree_index extension, packed as the rows arrive, with
//    the triggers that keep it right when the layer is edited later;
//  - a default QGIS style in layer_styles (see giswrite_gpkg_style.h).
// AddPoint is taken in point files only, like AddLine in polyline files. StartHeader
// refuses a layer name that is empty or reserved (gpkg_..., sqlite_..., layer_styles);
// AddField a field name SQLite would not tell apart from fid, geom or another field.
// A coordinate that is not a finite number is refused: the object of such a section
// is kept without geometry, such an AddPoint writes nothing.
//
// The file appears under its name only when Close has finished it: until then it is
// written under a temporary name beside it, so a file of the final name is always
// complete; a file of that name is replaced then, never appended to. An error that
// SQLite reports raises EFCreateError or EWriteError naming the file and SQLite's
// message. Drop removes the file.
class TGISWriteGPKG : public TGISWrite {
public:
    TGISWriteGPKG();
    ~TGISWriteGPKG() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

private:
    // An attribute value as it is bound.
    struct TValue {
        enum { Null, Int, Real, Text } Kind = Null;
        int64_t I = 0;
        double D = 0;
        std::string S;
    };

    bool HasGeometry() const { return FObjectTypes != otNone; }
    std::string IndexName() const;
    std::string GeometryTypeName(bool Multi) const;
    std::string ColumnType(const TFieldInfo& Field) const;
    std::string LayerTableSql(bool Multi) const;
    void CheckFieldName(int32_t Index) const;
    void CreateLayer();
    void PrepareValues(std::string_view Attrib);
    void InsertRow(bool WithGeometry);
    void PromoteToMulti();
    void RegisterLayer();
    void CreateIndexTriggers();
    void WriteStyle();

    std::string FPath;      // FileName + ".gpkg"
    std::string FTemporary; // where the file is written until the output takes its names
    std::string FLayer;
    int32_t FSrsId = -1;
    // Declared before what uses it: the statements go before the connection.
    std::unique_ptr<TGpkgDatabase> FDb;
    std::unique_ptr<TGpkgPackedRTree> FRTree;
    std::unique_ptr<TGpkgBatchInsert> FRows;
    TGpkgGeometry FGeometry;
    TGpkgBox FExtent;
    std::vector<TValue> FValues;
    int64_t FLastFid = 0;
    int64_t FSingleRows = 0; // rows with a geometry in the single form
    int64_t FMultiRows = 0;  // rows whose geometry needed the multi form
    bool FPending = false;   // an object waits for its parts
};

} // namespace pwnet
