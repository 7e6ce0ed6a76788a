#pragma once
// Checks of a GeoPackage by tools this project did not write: GDAL's own validator
// (validate_gpkg.py from Debian's python3-gdal, run by Debian's Python), SQLite's
// integrity and R*Tree checks, and GDAL/OGR's spatial filter. For tests that link
// GDAL and SQLite.

#include <array>
#include <cstdio>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace testutil {

// What GDAL's validator says of Path in its strictest mode (every requirement, the
// extra checks of the table contents, warnings as errors); empty when it passes.
inline std::string GpkgValidatorComplaints(const std::string& Path) {
    const std::array<const char*, 2> scripts = {
        "/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_gpkg.py",
        "/usr/share/doc/python3-gdal/examples/validate_gpkg.py"};
    std::string script;
    for (const char* s : scripts)
        if (std::filesystem::exists(s))
            script = s;
    if (script.empty())
        return "validate_gpkg.py not found: install python3-gdal";
    const std::string command =
        "/usr/bin/python3 '" + script + "' -k --extra --warning-as-error '" + Path + "' 2>&1";
    std::string output;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return "cannot run " + command;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, p))
        output.append(buffer, n);
    const int status = pclose(p);
    if (status != 0 && output.empty())
        output = "validate_gpkg.py failed with status " + std::to_string(status);
    return status == 0 ? std::string() : output;
}

// The rows of a query on Path, opened read-only, every value as text ("" for NULL);
// a test failure and no rows when SQLite refuses.
inline std::vector<std::vector<std::string>> SqlRows(const std::string& Path,
                                                     const std::string& Sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQLite cannot open " << Path;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, Sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << Sql << ": " << sqlite3_errmsg(db);
    } else {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* text = sqlite3_column_text(st, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            rows.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            ADD_FAILURE() << Sql << ": " << sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

// The first value of the first row of a query; "" when there is none.
inline std::string SqlValue(const std::string& Path, const std::string& Sql) {
    const auto rows = SqlRows(Path, Sql);
    return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

// SQLite's verdicts on the whole file and on the spatial index Rtree: "ok" each.
inline std::string IntegrityCheck(const std::string& Path) {
    return SqlValue(Path, "PRAGMA integrity_check");
}
inline std::string RtreeCheck(const std::string& Path, const std::string& Rtree) {
    return SqlValue(Path, "SELECT rtreecheck('" + Rtree + "')");
}

// Through GDAL: the fids of the features of Layer whose geometry meets the
// rectangle, as OGR's spatial filter returns them, and whether GDAL takes the
// layer's spatial index for one (its SQL function HasSpatialIndex).
struct GdalFilterResult {
    std::vector<long long> Fids;
    bool HasSpatialIndex = false;
};
inline GdalFilterResult GdalSpatialFilter(const std::string& Path, const std::string& Layer,
                                          double MinX, double MinY, double MaxX, double MaxY) {
    GDALAllRegister();
    GdalFilterResult out;
    GDALDatasetH ds =
        GDALOpenEx(Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!ds) {
        ADD_FAILURE() << "GDAL cannot open " << Path;
        return out;
    }
    const std::string sql = "SELECT HasSpatialIndex('" + Layer + "', 'geom')";
    if (OGRLayerH result = GDALDatasetExecuteSQL(ds, sql.c_str(), nullptr, nullptr)) {
        if (OGRFeatureH f = OGR_L_GetNextFeature(result)) {
            out.HasSpatialIndex = OGR_F_GetFieldAsInteger(f, 0) == 1;
            OGR_F_Destroy(f);
        }
        GDALDatasetReleaseResultSet(ds, result);
    }
    OGRLayerH layer = GDALDatasetGetLayerByName(ds, Layer.c_str());
    if (!layer) {
        ADD_FAILURE() << "no layer " << Layer << " in " << Path;
    } else {
        OGR_L_SetSpatialFilterRect(layer, MinX, MinY, MaxX, MaxY);
        OGR_L_ResetReading(layer);
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            out.Fids.push_back(OGR_F_GetFID(f));
            OGR_F_Destroy(f);
        }
    }
    GDALClose(ds);
    return out;
}

} // namespace testutil
