// MapInfo TAB grids from the generation run, through the MITAB library the program
// binds at start (the adapter beside this test program), read back with GDAL/OGR:
// cells, names, styles and projection; and a folder where MITAB cannot create the
// table, which must end the run with an error, not with "Done".

#include "errors.h"
#include "fake_user_interface.h"
#include "generation_run.h"
#include "mitab.h"
#include "temp_dir.h"

#include <cmath>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <limits>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <set>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using Ring = std::vector<std::pair<double, double>>;

Ring Square(double X, double Y, double Size) {
    return {{X, Y}, {X, Y + Size}, {X + Size, Y + Size}, {X + Size, Y}, {X, Y}};
}

struct Cell {
    std::vector<std::string> Values;
    Ring Outline; // the polygon's one ring
    std::string Style;
};

struct Table {
    std::vector<std::string> FieldNames;
    std::vector<int> FieldWidths;
    std::vector<Cell> Cells;
    int UtmZone = 0;
    double Lon = NAN, Lat = NAN; // where the table's projection puts the probe point
};

// The table at Path as GDAL reads it; Probe is a point in the table's coordinates to
// be placed on ETRS89 longitude and latitude.
Table ReadTab(const std::string& Path, std::pair<double, double> Probe) {
    GDALAllRegister();
    Table out;
    const char* const drivers[] = {"MapInfo File", nullptr};
    GDALDatasetH ds =
        GDALOpenEx(Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr);
    if (!ds) {
        ADD_FAILURE() << "GDAL cannot open " << Path;
        return out;
    }
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) {
        out.FieldNames.push_back(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i)));
        out.FieldWidths.push_back(OGR_Fld_GetWidth(OGR_FD_GetFieldDefn(defn, i)));
    }
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        Cell cell;
        for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i)
            cell.Values.push_back(OGR_F_GetFieldAsString(feature, i));
        if (const char* style = OGR_F_GetStyleString(feature))
            cell.Style = style;
        OGRGeometryH g = OGR_F_GetGeometryRef(feature);
        if (g && wkbFlatten(OGR_G_GetGeometryType(g)) == wkbPolygon &&
            OGR_G_GetGeometryCount(g) == 1) {
            OGRGeometryH ring = OGR_G_GetGeometryRef(g, 0);
            for (int k = 0; k < OGR_G_GetPointCount(ring); ++k)
                cell.Outline.emplace_back(OGR_G_GetX(ring, k), OGR_G_GetY(ring, k));
        }
        out.Cells.push_back(std::move(cell));
        OGR_F_Destroy(feature);
    }
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) {
        int north = 0;
        out.UtmZone = OSRGetUTMZone(srs, &north) * (north ? 1 : -1);
        OGRSpatialReferenceH source = OSRClone(srs);
        OGRSpatialReferenceH etrs89 = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(etrs89, 4258);
        OSRSetAxisMappingStrategy(source, OAMS_TRADITIONAL_GIS_ORDER);
        OSRSetAxisMappingStrategy(etrs89, OAMS_TRADITIONAL_GIS_ORDER);
        OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(source, etrs89);
        double x = Probe.first, y = Probe.second;
        if (ct && OCTTransform(ct, 1, &x, &y, nullptr)) {
            out.Lon = x;
            out.Lat = y;
        }
        OCTDestroyCoordinateTransformation(ct);
        OSRDestroySpatialReference(etrs89);
        OSRDestroySpatialReference(source);
    }
    GDALClose(ds);
    return out;
}

std::set<std::string> FilesIn(const fs::path& Folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Folder))
        names.insert(e.path().filename().string());
    return names;
}

TGridState MakeGrid(TGridKind Kind, const char* Size, TCornerPoint A, TCornerPoint B) {
    TGridState s;
    s.ChooseGridKind(Kind);
    s.ChooseFormat(ftTAB);
    s.ChooseSize(FindSizeByLabel(Kind, Size)->Tag);
    s.SetCorners(A, B);
    return s;
}

// A local disk with room for anything, whatever the folder.
struct RoomyDisk : TFileSystemQueries {
    TDriveType DriveType(const std::string&) const override { return dtFixed; }
    std::string FileSystemName(const std::string&) const override { return "ext4"; }
    int64_t DiskFree(const std::string&) const override {
        return std::numeric_limits<int64_t>::max();
    }
};

class GridRunTab : public ::testing::Test {
protected:
    void SetUp() override {
        pwnet::LoadMitab();
        ASSERT_TRUE(pwnet::MitabAvailable()) << "the MITAB adapter is built beside the tests";
        ASSERT_FALSE(ResolveRunFormat(ftTAB).FellBack());
    }
    void RunInto(const TGridState& State) {
        testutil::FakeUserInterface ui;
        ui.FolderToChoose = dir.path().string();
        TGenerationRun run;
        ASSERT_EQ(run.Execute(State, ui).Outcome, TRunOutcome::Done);
        ASSERT_EQ(ui.Messages, std::vector<std::string>{"Done"});
    }
    testutil::TempDir dir;
};

// DKN 1 km: the four files of a TAB table and nothing else, six cells column by
// column, each named by its identifier, outlined in the 1 km red with the
// transparent white brush, on UTM zone 32 north.
TEST_F(GridRunTab, DknOneKilometreTable) {
    RunInto(MakeGrid(gkDKN, "1km", {440000, 6200000}, {443000, 6202000}));
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_1km_euref89.tab", "DKN_1km_euref89.map",
                                     "DKN_1km_euref89.dat", "DKN_1km_euref89.id"}));
    const Table t = ReadTab(dir / "DKN_1km_euref89.tab", {500000, 6200000});
    EXPECT_EQ(t.FieldNames, std::vector<std::string>{"KN1kmDK"});
    EXPECT_EQ(t.FieldWidths, std::vector<int>{20});
    const struct {
        const char* Id;
        double X, Y;
    } expected[] = {{"1km_6200_440", 440000, 6200000}, {"1km_6201_440", 440000, 6201000},
                    {"1km_6200_441", 441000, 6200000}, {"1km_6201_441", 441000, 6201000},
                    {"1km_6200_442", 442000, 6200000}, {"1km_6201_442", 442000, 6201000}};
    ASSERT_EQ(t.Cells.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i].Id);
        EXPECT_EQ(t.Cells[i].Values, std::vector<std::string>{expected[i].Id});
        EXPECT_EQ(t.Cells[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
        EXPECT_NE(t.Cells[i].Style.find("PEN(w:1px,c:#ff0000"), std::string::npos)
            << t.Cells[i].Style;
        EXPECT_NE(t.Cells[i].Style.find("BRUSH(fc:#ffffff,id:\"mapinfo-brush-2"), std::string::npos)
            << t.Cells[i].Style;
    }
    EXPECT_EQ(t.UtmZone, 32);
    EXPECT_NEAR(t.Lon, 9.0, 1e-9);
    EXPECT_NEAR(t.Lat, 55.94, 0.01);
}

// DKN 10 km over Bornholm: the place names, Danish letters included, come back as
// written; the outlines are the 10 km green.
TEST_F(GridRunTab, DknTenKilometresOverBornholmWithPlaceNames) {
    TGridState grid;
    grid.ChooseGridKind(gkDKN);
    grid.ChooseFormat(ftTAB);
    grid.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
    grid.ChoosePreset(*FindPresetByCaption("Bornholm"));
    RunInto(grid);
    const Table t = ReadTab(dir / "DKN_10km_euref89.tab", {870000, 6120000});
    EXPECT_EQ(t.FieldNames, (std::vector<std::string>{"KN10kmDK", "Stednavn"}));
    EXPECT_EQ(t.FieldWidths, (std::vector<int>{20, 40}));
    ASSERT_EQ(t.Cells.size(), 20u);
    EXPECT_EQ(t.Cells[1].Values, (std::vector<std::string>{"10km_611_86", "Rønne S"}));
    EXPECT_EQ(t.Cells[7].Values, (std::vector<std::string>{"10km_612_87", "Østerlars"}));
    EXPECT_EQ(t.Cells[16].Values, (std::vector<std::string>{"10km_611_89", "Nexø"}));
    EXPECT_EQ(t.Cells[0].Values, (std::vector<std::string>{"10km_610_86", ""}));
    EXPECT_EQ(t.Cells[16].Outline, Square(890000, 6110000, 10000));
    EXPECT_NE(t.Cells[16].Style.find("c:#00ff00"), std::string::npos) << t.Cells[16].Style;
    EXPECT_NEAR(t.Lon, 14.80, 0.01);
    EXPECT_NEAR(t.Lat, 55.09, 0.01);
}

// EuroGrid: the geometry loses the LAEA false origin that MapInfo's clause lacks,
// the names keep the true origins, and GDAL puts the shifted (0, 0) at the
// projection's centre.
TEST_F(GridRunTab, EuroGridIsShiftedByTheFalseOrigin) {
    RunInto(MakeGrid(gkEuroGrid, "1km", {4321000, 3210000}, {4323000, 3212000}));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"EuroGrid_1km.tab", "EuroGrid_1km.map",
                                                          "EuroGrid_1km.dat", "EuroGrid_1km.id"}));
    const Table t = ReadTab(dir / "EuroGrid_1km.tab", {0, 0});
    EXPECT_EQ(t.FieldNames, (std::vector<std::string>{"eoforigin", "noforigin"}));
    EXPECT_EQ(t.FieldWidths, (std::vector<int>{7, 7}));
    const struct {
        const char *E, *N;
        double X, Y;
    } expected[] = {{"4321000", "3210000", 0, 0},
                    {"4321000", "3211000", 0, 1000},
                    {"4322000", "3210000", 1000, 0},
                    {"4322000", "3211000", 1000, 1000}};
    ASSERT_EQ(t.Cells.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(t.Cells[i].Values, (std::vector<std::string>{expected[i].E, expected[i].N}));
        EXPECT_EQ(t.Cells[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
        EXPECT_NE(t.Cells[i].Style.find("c:#000000"), std::string::npos) << t.Cells[i].Style;
    }
    EXPECT_NEAR(t.Lon, 10.0, 1e-6);
    EXPECT_NEAR(t.Lat, 52.0, 1e-6);
}

// Regression: MITAB cannot create the table, the TAB writer raises nothing and
// writes nothing, and the run used to show "Done". It must end with the error, the
// cursor restored, the progress bar back at 0, and no file of the grid.
TEST_F(GridRunTab, TableThatCannotBeCreatedIsAnErrorNotDone) {
    const std::string unwritable = testutil::UnwritableFolder(dir);
    // A folder holding a folder of the table's name: MITAB cannot create the table
    // there even for root.
    const fs::path blocked = dir.path() / "blocked";
    fs::create_directories(blocked / "DKN_1km_euref89.tab");
    const struct {
        std::string Folder;
        const char* Reason; // the end of the message; empty: any
    } cases[] = {
        {unwritable, ""},
        {(dir.path() / "missing").string(), "No such file or directory"},
        {blocked.string(), "The MITAB library could not create the table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Folder);
        RoomyDisk disk;
        testutil::FakeUserInterface ui;
        ui.FolderToChoose = c.Folder;
        TGenerationRun run(disk);
        const std::string table = c.Folder + "/DKN_1km_euref89.tab";
        try {
            run.Execute(MakeGrid(gkDKN, "1km", {440000, 6200000}, {443000, 6202000}), ui);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("Cannot create file \"" + table + "\". ", 0), 0u) << message;
            EXPECT_TRUE(message.ends_with(c.Reason)) << message;
        }
        EXPECT_TRUE(ui.Messages.empty()) << "no Done for a grid that was not written";
        EXPECT_EQ(ui.CursorDepth, 0);
        ASSERT_FALSE(ui.Calls.empty());
        EXPECT_EQ(ui.Calls.back(), "RestoreCursor");
        EXPECT_EQ(ui.Calls[ui.Calls.size() - 2], "Progress 0");
        EXPECT_FALSE(fs::is_regular_file(table));
    }
    EXPECT_EQ(FilesIn(blocked), std::set<std::string>{"DKN_1km_euref89.tab"}) << "left as it was";
}

} // namespace
