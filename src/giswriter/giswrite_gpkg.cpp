// TGISWriteGPKG: an OGC GeoPackage written through SQLite's C API.
//
// The bulk write is one transaction on a connection that holds the file alone
// (exclusive locking) and keeps no rollback journal: should anything fail, the
// whole file is removed, so there is nothing to roll back to. Rows are inserted in
// fid order, many to a prepared statement whose buffers are reused, which appends
// to the table's B-tree; the spatial index is packed alongside (giswrite_gpkg_rtree.h).
// Close registers the layer, writes its triggers and style, commits, closes the
// connection and syncs the file to disk before the writer base gives it its name
// (whole-or-nothing output, giswrite_base.h): what lies under a .gpkg name is a
// normal, complete GeoPackage with no journal beside it.

#include "giswrite_gpkg.h"

#include "giswrite_gpkg_rtree.h"
#include "giswrite_gpkg_srs.h"
#include "giswrite_gpkg_style.h"
#include "giswrite_text.h"
#include "pwnet_io.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

namespace pwnet {

namespace {

namespace fs = std::filesystem;

// 'GPKG' and version 1.2.0, the form GDAL writes and every current reader takes.
constexpr int32_t ApplicationId = 0x47504B47;
constexpr int32_t UserVersion = 10200;
constexpr std::string_view FidColumn = "fid";
constexpr std::string_view GeomColumn = "geom";

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameAsciiIgnoringCase(s.substr(0, prefix.size()), prefix);
}

// ---- The finished file ------------------------------------------------------------

// Makes the finished file durable before the writer base gives it its name (SQLite
// opens the file by name: it is written under the temporary name TemporaryOutputPath
// handed out, and the base renames it over the final one when Close has succeeded).
void SyncFinishedFile(const std::string& Temporary, const std::string& Path) {
    auto fail = [&](int err) {
        return EWriteError("Cannot write file \"" + FullPath(Path) + "\". " + std::strerror(err));
    };
    const int fd = ::open(Temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw fail(errno);
    const int synced = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (synced != 0)
        throw fail(err);
}

// ---- SQL ---------------------------------------------------------------------

// The core tables, as the GeoPackage standard defines them.
constexpr std::string_view CoreTables = R"SQL(
CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER NOT NULL PRIMARY KEY,
  organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL,
  definition TEXT NOT NULL, description TEXT);
CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL,
  identifier TEXT UNIQUE, description TEXT DEFAULT '',
  last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')),
  min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, srs_id INTEGER,
  CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));
CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL,
  geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL,
  m TINYINT NOT NULL,
  CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name),
  CONSTRAINT uk_gc_table_name UNIQUE (table_name),
  CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name),
  CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id));
CREATE TABLE gpkg_extensions (table_name TEXT, column_name TEXT,
  extension_name TEXT NOT NULL, definition TEXT NOT NULL, scope TEXT NOT NULL,
  CONSTRAINT ge_tce UNIQUE (table_name, column_name, extension_name));
)SQL";

// QGIS's table of layer styles.
constexpr std::string_view StyleTable = R"SQL(
CREATE TABLE layer_styles (id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,
  f_table_catalog TEXT(256), f_table_schema TEXT(256), f_table_name TEXT(256),
  f_geometry_column TEXT(256), styleName TEXT(30), styleQML TEXT, styleSLD TEXT,
  useAsDefault BOOLEAN, description TEXT, owner TEXT(30), ui TEXT(30),
  update_time DATETIME DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')));
)SQL";

// The triggers of the rtree_index extension keep the index right when the layer is
// edited later (by a GIS that provides the ST_ functions, as GeoPackage readers do).
// $t, $c, $i and $r stand for the quoted table, geometry column, key and index,
// $n for the index's name inside quotes (the triggers are named after it).
constexpr std::string_view IndexTriggers = R"SQL(
CREATE TRIGGER "$n_insert" AFTER INSERT ON $t WHEN (new.$c NOT NULL AND NOT ST_IsEmpty(NEW.$c))
BEGIN INSERT OR REPLACE INTO $r VALUES (NEW.$i, ST_MinX(NEW.$c), ST_MaxX(NEW.$c),
  ST_MinY(NEW.$c), ST_MaxY(NEW.$c)); END;
CREATE TRIGGER "$n_update1" AFTER UPDATE OF $c ON $t
  WHEN OLD.$i = NEW.$i AND (NEW.$c NOTNULL AND NOT ST_IsEmpty(NEW.$c))
BEGIN INSERT OR REPLACE INTO $r VALUES (NEW.$i, ST_MinX(NEW.$c), ST_MaxX(NEW.$c),
  ST_MinY(NEW.$c), ST_MaxY(NEW.$c)); END;
CREATE TRIGGER "$n_update2" AFTER UPDATE OF $c ON $t
  WHEN OLD.$i = NEW.$i AND (NEW.$c ISNULL OR ST_IsEmpty(NEW.$c))
BEGIN DELETE FROM $r WHERE id = OLD.$i; END;
CREATE TRIGGER "$n_update3" AFTER UPDATE ON $t
  WHEN OLD.$i != NEW.$i AND (NEW.$c NOTNULL AND NOT ST_IsEmpty(NEW.$c))
BEGIN DELETE FROM $r WHERE id = OLD.$i;
  INSERT OR REPLACE INTO $r VALUES (NEW.$i, ST_MinX(NEW.$c), ST_MaxX(NEW.$c),
  ST_MinY(NEW.$c), ST_MaxY(NEW.$c)); END;
CREATE TRIGGER "$n_update4" AFTER UPDATE ON $t
  WHEN OLD.$i != NEW.$i AND (NEW.$c ISNULL OR ST_IsEmpty(NEW.$c))
BEGIN DELETE FROM $r WHERE id IN (OLD.$i, NEW.$i); END;
CREATE TRIGGER "$n_delete" AFTER DELETE ON $t WHEN old.$c NOT NULL
BEGIN DELETE FROM $r WHERE id = OLD.$i; END;
)SQL";

// Template with every $<letter> replaced by its text.
std::string Fill(std::string_view Template,
                 std::initializer_list<std::pair<char, std::string_view>> Values) {
    std::string out;
    out.reserve(Template.size() * 2);
    for (size_t i = 0; i < Template.size(); ++i) {
        const std::string_view* value = nullptr;
        if (Template[i] == '$' && i + 1 < Template.size())
            for (const auto& [key, text] : Values)
                if (Template[i + 1] == key)
                    value = &text;
        if (value) {
            out.append(*value);
            ++i;
        } else {
            out += Template[i];
        }
    }
    return out;
}

// The single geometry of a blob of this writer in its multi form, for a layer that
// turned out to need the multi type; any other value is returned unchanged.
void ToMultiFunction(sqlite3_context* Ctx, int, sqlite3_value** Args) {
    if (sqlite3_value_type(Args[0]) == SQLITE_BLOB) {
        const auto* data = static_cast<const uint8_t*>(sqlite3_value_blob(Args[0]));
        const auto size = static_cast<size_t>(sqlite3_value_bytes(Args[0]));
        std::vector<uint8_t> multi;
        if (TGpkgGeometry::ToMulti({data, size}, multi)) {
            sqlite3_result_blob64(Ctx, multi.data(), multi.size(), SQLITE_TRANSIENT);
            return;
        }
    }
    sqlite3_result_value(Ctx, Args[0]);
}

// Numbers without decimals are stored as INTEGER.
bool IsWholeNumber(const TFieldInfo& Field) {
    return Field.FieldType == gfInteger || Field.FieldType == gfSmallInt ||
           (Field.FieldType == gfDecimal && Field.decimals == 0);
}

bool IsFinite(const TFloatPointArrayEx& S) {
    for (int32_t i = 0; i < S.Count; ++i)
        if (!std::isfinite(S.Pnt[i].x) || !std::isfinite(S.Pnt[i].y))
            return false;
    return true;
}

} // namespace

TGISWriteGPKG::TGISWriteGPKG() = default;

TGISWriteGPKG::~TGISWriteGPKG() {
    ReleaseFiles();
}

// ---------------------------------------------------------------------------
// The schema

std::string TGISWriteGPKG::IndexName() const {
    return "rtree_" + FLayer + "_" + std::string(GeomColumn);
}

std::string TGISWriteGPKG::GeometryTypeName(bool Multi) const {
    switch (FObjectTypes) {
    case otRegion:
        return Multi ? "MULTIPOLYGON" : "POLYGON";
    case otPline:
        return Multi ? "MULTILINESTRING" : "LINESTRING";
    case otPoint:
        return Multi ? "MULTIPOINT" : "POINT";
    case otNone:
        break;
    }
    return {};
}

std::string TGISWriteGPKG::ColumnType(const TFieldInfo& Field) const {
    switch (Field.FieldType) {
    case gfChar:
        return Field.Width > 0 ? "TEXT(" + std::to_string(Field.Width) + ")" : "TEXT";
    case gfInteger:
    case gfSmallInt:
    case gfDecimal:
    case gfFloat:
        return IsWholeNumber(Field) ? "INTEGER" : "REAL";
    case gfDate:
        return "DATE";
    case gfTime:
        return "TEXT(12)"; // HH:MM:SS.mmm
    case gfDateTime:
        return "DATETIME";
    case gfLogical:
        return "BOOLEAN";
    }
    return "TEXT";
}

std::string TGISWriteGPKG::LayerTableSql(bool Multi) const {
    std::string sql = "CREATE TABLE " + QuoteIdentifier(FLayer) + " (" +
                      QuoteIdentifier(FidColumn) + " INTEGER PRIMARY KEY NOT NULL";
    if (HasGeometry())
        sql += ", " + QuoteIdentifier(GeomColumn) + " " + GeometryTypeName(Multi);
    for (int32_t k = 1; k <= FNumFields; ++k)
        sql += ", " + QuoteIdentifier(FFieldInfo[k].Name) + " " + ColumnType(FFieldInfo[k]);
    return sql + ")";
}

void TGISWriteGPKG::CheckFieldName(int32_t Index) const {
    const std::string& name = FFieldInfo[Index].Name;
    if (name.empty())
        throw Exception("A GeoPackage field needs a name");
    // SQLite tells column names apart without regard to ASCII case.
    bool taken = SameAsciiIgnoringCase(name, FidColumn) ||
                 (HasGeometry() && SameAsciiIgnoringCase(name, GeomColumn));
    for (int32_t k = 1; k < Index && !taken; ++k)
        taken = SameAsciiIgnoringCase(name, FFieldInfo[k].Name);
    if (taken)
        throw Exception("The field name \"" + name + "\" is already used in the GeoPackage layer");
}

void TGISWriteGPKG::DoStartHeader() {
    // The format reserves gpkg_, SQLite sqlite_, and the style has its own table.
    FLayer = fs::path(FileName).filename().string();
    if (FLayer.empty() || StartsWithIgnoringCase(FLayer, "gpkg_") ||
        StartsWithIgnoringCase(FLayer, "sqlite_") || SameAsciiIgnoringCase(FLayer, "layer_styles"))
        throw Exception("A GeoPackage layer cannot be named \"" + FLayer +
                        "\": the name is empty or reserved (gpkg_..., sqlite_..., layer_styles)");
    FSrsId = epsg > 0 ? epsg : -1;
    FPath = FileName + ".gpkg";
    FTemporary = TemporaryOutputPath(FPath); // created empty: an empty SQLite database
    FDb = std::make_unique<TGpkgDatabase>(FTemporary, FPath);

    // Page size first, before anything is written; no journal (a failed write removes
    // the file); no syncs until Close syncs the finished file once. Rows are appended
    // in key order, so SQLite's default page cache of 2 MB serves as well as a larger
    // one (measured on a million cells), and the memory stays the same for any grid.
    FDb->Exec("PRAGMA page_size = 4096; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
              "PRAGMA locking_mode = EXCLUSIVE; PRAGMA temp_store = MEMORY;"
              "PRAGMA application_id = " +
              std::to_string(ApplicationId) +
              "; PRAGMA user_version = " + std::to_string(UserVersion) + "; BEGIN");
    FDb->Exec(CoreTables);
    TGpkgStatement srs(*FDb, "INSERT INTO gpkg_spatial_ref_sys (srs_name, srs_id, organization, "
                             "organization_coordsys_id, definition, description) "
                             "VALUES (?, ?, ?, ?, ?, ?)");
    for (const TGpkgSrs& row : GpkgSpatialRefSys(FSrsId)) {
        srs.BindText(1, row.Name);
        srs.BindInt(2, row.SrsId);
        srs.BindText(3, row.Organization);
        srs.BindInt(4, row.OrganizationId);
        srs.BindText(5, row.Definition);
        if (row.Description.empty())
            srs.BindNull(6);
        else
            srs.BindText(6, row.Description);
        srs.Step();
    }
    if (FNumFields == 0)
        CreateLayer();
}

void TGISWriteGPKG::DoAddField() {
    CheckFieldName(FWrittenFields);
    if (FWrittenFields == FNumFields)
        CreateLayer();
}

void TGISWriteGPKG::CreateLayer() {
    FDb->Exec(LayerTableSql(false));
    if (HasGeometry()) {
        FDb->Exec("CREATE VIRTUAL TABLE " + QuoteIdentifier(IndexName()) +
                  " USING rtree(id, minx, maxx, miny, maxy)");
        FRTree = std::make_unique<TGpkgPackedRTree>(*FDb, IndexName());
    }
    // Rows go in many at a time (as many as 64, fewer when the layer has so many
    // fields that a statement would exceed SQLite's number of parameters).
    const int columns = 1 + (HasGeometry() ? 1 : 0) + FNumFields;
    const int rows = std::clamp(FDb->MaxParameters() / columns, 1, 64);
    FRows = std::make_unique<TGpkgBatchInsert>(*FDb, "INSERT INTO " + QuoteIdentifier(FLayer),
                                               columns, rows);
    FValues.assign(FNumFields, TValue{});
}

// ---------------------------------------------------------------------------
// Rows

void TGISWriteGPKG::PrepareValues(std::string_view Attrib) {
    SplitAttrib(Attrib);
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const TFieldInfo& field = FFieldInfo[k];
        const std::string& v = FSL[k - 1];
        TValue& out = FValues[k - 1];
        out.Kind = TValue::Null;
        switch (field.FieldType) {
        case gfChar:
            out.Kind = TValue::Text;
            out.S.assign(v);
            break;
        case gfInteger:
        case gfSmallInt:
        case gfDecimal:
        case gfFloat: {
            bool blank = true;
            for (const char c : v)
                blank = blank && static_cast<unsigned char>(c) <= 32;
            if (blank)
                break;
            const double d = ReadDecimal(v);
            if (IsWholeNumber(field) && std::fabs(d) < 9.2e18) {
                out.Kind = TValue::Int;
                out.I = std::llround(d);
            } else {
                out.Kind = TValue::Real;
                out.D = d;
            }
            break;
        }
        case gfLogical:
            out.Kind = TValue::Int;
            out.I = LogicalIsTrue(v) ? 1 : 0;
            break;
        case gfDate:
        case gfTime:
        case gfDateTime: {
            out.S.clear();
            const bool ok = field.FieldType == gfDate   ? AppendIsoDate(out.S, v)
                            : field.FieldType == gfTime ? AppendIsoTime(out.S, v)
                                                        : AppendIsoDateTime(out.S, v);
            if (ok) {
                if (field.FieldType == gfDateTime)
                    out.S += 'Z'; // the form GeoPackage requires: UTC
                out.Kind = TValue::Text;
            }
            break;
        }
        }
    }
}

void TGISWriteGPKG::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    PrepareValues(Attrib);
    FGeometry.Start(FObjectTypes == otRegion  ? wkbPolygon2D
                    : FObjectTypes == otPline ? wkbLineString2D
                                              : wkbPoint2D);
    FPending = true;
    if (NumParts <= 0 || !HasGeometry())
        InsertRow(false);
}

void TGISWriteGPKG::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FPending)
        return;
    // The envelope, the index and every reader need numbers. The object is kept, as
    // an object whose ring was refused: without geometry.
    if (!IsFinite(SegList)) {
        InsertRow(false);
        throw Exception("GeoPackage coordinates must be finite numbers");
    }
    switch (FObjectTypes) {
    case otRegion:
        FGeometry.AddRing(Index <= 0, SegList.Pnt.data(), SegList.Count);
        break;
    case otPline:
        FGeometry.AddLineString(SegList.Pnt.data(), SegList.Count);
        break;
    case otPoint:
        for (int32_t i = 0; i < SegList.Count; ++i)
            FGeometry.AddPoint(SegList.Pnt[i]);
        break;
    case otNone:
        break;
    }
    if (FWrittenParts == FNumParts)
        InsertRow(true);
}

void TGISWriteGPKG::AbandonObject() {
    TGISWrite::AbandonObject();
    if (FPending)
        InsertRow(false);
}

void TGISWriteGPKG::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    if (!std::isfinite(X) || !std::isfinite(Y))
        throw Exception("GeoPackage coordinates must be finite numbers");
    PrepareValues(Attrib);
    FGeometry.Start(wkbPoint2D);
    FGeometry.AddPoint({X, Y});
    FPending = true;
    InsertRow(true);
}

void TGISWriteGPKG::InsertRow(bool WithGeometry) {
    FPending = false;
    const int64_t fid = ++FLastFid;
    FRows->Int(fid);
    const bool geometry = WithGeometry && FGeometry.Members() > 0;
    if (HasGeometry()) {
        if (geometry)
            FRows->Blob(FGeometry.Finish(FSrsId, FObjectTypes == otRegion && FmultiPolygon));
        else
            FRows->Null();
    }
    for (const TValue& v : FValues) {
        switch (v.Kind) {
        case TValue::Null:
            FRows->Null();
            break;
        case TValue::Int:
            FRows->Int(v.I);
            break;
        case TValue::Real:
            FRows->Double(v.D);
            break;
        case TValue::Text:
            FRows->Text(v.S);
            break;
        }
    }
    FRows->EndRow();
    ++FWrittenRecords;
    if (geometry) {
        ++(FGeometry.FinishedMulti() ? FMultiRows : FSingleRows);
        FRTree->Add(fid, FGeometry.Box());
        FExtent.Add(FGeometry.Box());
    }
}

// ---------------------------------------------------------------------------
// Close

// A layer that holds a multi geometry is of the multi type, and every geometry in
// it must be: the single ones are rewritten, and the column's declared type is
// changed in the schema. Both types of each pair have the same column affinity, so
// no stored value changes its meaning.
void TGISWriteGPKG::PromoteToMulti() {
    if (FSingleRows > 0) {
        if (const int rc = sqlite3_create_function_v2(FDb->Handle(), "quadrel_to_multi", 1,
                                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                                      ToMultiFunction, nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            FDb->Fail(rc);
        FDb->Exec("UPDATE " + QuoteIdentifier(FLayer) + " SET " + QuoteIdentifier(GeomColumn) +
                  " = quadrel_to_multi(" + QuoteIdentifier(GeomColumn) + ") WHERE " +
                  QuoteIdentifier(GeomColumn) + " IS NOT NULL");
    }
    TGpkgStatement version(*FDb, "PRAGMA schema_version");
    const int64_t schema = version.QueryInt();
    version = TGpkgStatement();
    FDb->Exec("PRAGMA writable_schema = ON");
    TGpkgStatement update(*FDb,
                          "UPDATE sqlite_schema SET sql = ? WHERE type = 'table' AND name = ?");
    const std::string sql = LayerTableSql(true);
    update.BindText(1, sql);
    update.BindText(2, FLayer);
    update.Step();
    update = TGpkgStatement();
    FDb->Exec("PRAGMA schema_version = " + std::to_string(schema + 1) +
              "; PRAGMA writable_schema = OFF");
}

void TGISWriteGPKG::RegisterLayer() {
    TGpkgStatement contents(*FDb, "INSERT INTO gpkg_contents (table_name, data_type, identifier, "
                                  "min_x, min_y, max_x, max_y, srs_id) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    contents.BindText(1, FLayer);
    contents.BindText(2, HasGeometry() ? "features" : "attributes");
    contents.BindText(3, FLayer);
    if (FExtent.Empty) {
        for (int p = 4; p <= 7; ++p)
            contents.BindNull(p);
    } else {
        contents.BindDouble(4, FExtent.MinX);
        contents.BindDouble(5, FExtent.MinY);
        contents.BindDouble(6, FExtent.MaxX);
        contents.BindDouble(7, FExtent.MaxY);
    }
    if (HasGeometry())
        contents.BindInt(8, FSrsId);
    else
        contents.BindNull(8);
    contents.Step();
    if (!HasGeometry())
        return;

    TGpkgStatement columns(*FDb, "INSERT INTO gpkg_geometry_columns (table_name, column_name, "
                                 "geometry_type_name, srs_id, z, m) VALUES (?, ?, ?, ?, 0, 0)");
    const std::string type = GeometryTypeName(FMultiRows > 0);
    columns.BindText(1, FLayer);
    columns.BindText(2, GeomColumn);
    columns.BindText(3, type);
    columns.BindInt(4, FSrsId);
    columns.Step();
    TGpkgStatement extension(*FDb, "INSERT INTO gpkg_extensions (table_name, column_name, "
                                   "extension_name, definition, scope) VALUES (?, ?, "
                                   "'gpkg_rtree_index', "
                                   "'http://www.geopackage.org/spec120/#extension_rtree', "
                                   "'write-only')");
    extension.BindText(1, FLayer);
    extension.BindText(2, GeomColumn);
    extension.Step();
}

void TGISWriteGPKG::CreateIndexTriggers() {
    const std::string rtree = IndexName();
    const std::string quoted = QuoteIdentifier(rtree);
    FDb->Exec(Fill(IndexTriggers, {{'t', QuoteIdentifier(FLayer)},
                                   {'c', QuoteIdentifier(GeomColumn)},
                                   {'i', QuoteIdentifier(FidColumn)},
                                   {'r', quoted},
                                   {'n', std::string_view(quoted).substr(1, quoted.size() - 2)}}));
}

void TGISWriteGPKG::WriteStyle() {
    const TGpkgStyle style = MakeLayerStyle(FLayer, FObjectTypes, Pen, Symbol);
    FDb->Exec(StyleTable);
    FDb->Exec("INSERT INTO gpkg_contents (table_name, data_type, identifier, description) "
              "VALUES ('layer_styles', 'attributes', 'layer_styles', '')");
    TGpkgStatement row(*FDb, "INSERT INTO layer_styles (f_table_catalog, f_table_schema, "
                             "f_table_name, f_geometry_column, styleName, styleQML, styleSLD, "
                             "useAsDefault, description, owner) "
                             "VALUES ('', '', ?, ?, ?, ?, ?, 1, ?, '')");
    const std::string description = "Default style of " + FLayer;
    row.BindText(1, FLayer);
    row.BindText(2, GeomColumn);
    row.BindText(3, FLayer);
    row.BindText(4, style.Qml);
    row.BindText(5, style.Sld);
    row.BindText(6, description);
    row.Step();
}

void TGISWriteGPKG::DoClose() {
    FRows->Flush();
    FRows.reset(); // before the schema changes
    if (FRTree)
        FRTree->Finish();
    FRTree.reset();
    if (FMultiRows > 0)
        PromoteToMulti();
    RegisterLayer();
    if (HasGeometry()) {
        CreateIndexTriggers();
        WriteStyle();
    }
    FDb->Exec("COMMIT");
    FDb->Close();
    FDb.reset();
    SyncFinishedFile(FTemporary, FPath);
}

void TGISWriteGPKG::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FRTree.reset();
    FRows.reset();
    FDb.reset();
    FPending = false;
}

} // namespace pwnet
