// What the TAB writer hands to MITAB, call by call: the writer is bound to a library
// that records every call instead of writing a table (fake_mitab/).

#include "mitab.h"
#include "pwnet_giswriter.h"
#include "readers.h"
#include "temp_dir.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using namespace pwnet;
using gwtest::Part;
using gwtest::Section;
using gwtest::Square;

namespace {

using Calls = std::vector<std::string>;

constexpr const char* DknClause =
    "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0 ";
constexpr const char* DknCoordSys = "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, "
                                    "0 Bounds (100000, 6000000) (1000000,6500000)";

struct Recorder {
    TMitabBinding binding = BindMitab({FAKE_MITAB_RECORDER});
    const char* (*log)() = nullptr;
    void (*reset)(const char*) = nullptr;
    int (*liveFeatures)() = nullptr;
    Recorder() {
        if (!binding.Library)
            return;
        log = reinterpret_cast<const char* (*)()>(dlsym(binding.Library, "fake_mitab_log"));
        reset = reinterpret_cast<void (*)(const char*)>(dlsym(binding.Library, "fake_mitab_reset"));
        liveFeatures =
            reinterpret_cast<int (*)()>(dlsym(binding.Library, "fake_mitab_live_features"));
    }
};

const Recorder& Rec() {
    static const Recorder recorder;
    return recorder;
}

class TabCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Rec().binding.CanWriteTables());
        ASSERT_TRUE(Rec().log && Rec().reset && Rec().liveFeatures);
        Rec().reset("");
    }
    void TearDown() override { EXPECT_EQ(Rec().liveFeatures(), 0) << "a feature was not released"; }

    // A writer on the recorder, with FileName in this test's folder.
    std::unique_ptr<TGISWriteMITAB> Writer(const std::string& CoordSys = DknCoordSys) {
        auto w = std::make_unique<TGISWriteMITAB>(Rec().binding);
        w->FileName = dir / "grid";
        w->CoordSys = CoordSys;
        return w;
    }

    // The calls since the last reset, with this test's folder written as <dir>.
    Calls Log() const {
        Calls calls;
        std::istringstream in(Rec().log());
        const std::string folder = dir.path().string();
        for (std::string line; std::getline(in, line);) {
            for (size_t at; (at = line.find(folder)) != std::string::npos;)
                line.replace(at, folder.size(), "<dir>");
            calls.push_back(line);
        }
        return calls;
    }
    // The calls that start with Prefix.
    Calls Only(const std::string& Prefix) const {
        Calls all = Log(), some;
        std::copy_if(all.begin(), all.end(), std::back_inserter(some),
                     [&](const std::string& c) { return c.rfind(Prefix, 0) == 0; });
        return some;
    }
    void Fail(const char* entries) const { Rec().reset(entries); }
    bool Exists(const std::string& ext) const {
        return std::filesystem::exists(dir / ("grid" + ext));
    }

    static void AddRing(TGISWrite& w, int32_t Index, const Part& ring) {
        auto s = Section(ring);
        w.AddSection(Index, s);
    }

    testutil::TempDir dir;
};

// The application's DKN 1 km run, call for call. The library writes the table under
// its temporary name, which takes the name grid.tab when the writer has closed it.
TEST_F(TabCalls, DknOneKilometreRun) {
    auto w = Writer();
    w->Pen.Color = 0x0000FF; // red as a Windows colour value
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    gwtest::AddCell(*w, "1km_6200_440", Square(440000, 6200000, 1000));
    gwtest::AddCell(*w, "1km_6201_440", Square(440000, 6201000, 1000));
    w->Close();
    EXPECT_TRUE(w->TableCreated());
    EXPECT_EQ(w->WrittenRecords(), 2);
    const std::string cell = "create_feature table 7";
    const Calls expected = {
        std::string("create [<dir>/.grid.quadrel-partial.tab] [tab] [") + DknClause +
            "] 6500000 6000000 1000000 100000",
        "set_charset table [WindowsLatin1]",
        "add_field table [KN1kmDK] 1 20 0 0 0",
        cell,
        "set_field feature 0 [1km_6200_440]",
        "set_pen feature 1 2 16711680",
        "set_brush feature 16777215 0 2 1",
        "set_points feature 0 5 [440000 6200000, 440000 6201000, 441000 6201000, 441000 "
        "6200000, 440000 6200000]",
        "write_feature table feature",
        "destroy_feature feature",
        cell,
        "set_field feature 0 [1km_6201_440]",
        "set_pen feature 1 2 16711680",
        "set_brush feature 16777215 0 2 1",
        "set_points feature 0 5 [440000 6201000, 440000 6202000, 441000 6202000, 441000 "
        "6201000, 440000 6201000]",
        "write_feature table feature",
        "destroy_feature feature",
        "close table",
    };
    EXPECT_EQ(Log(), expected);
    for (const char* ext : {".tab", ".map", ".dat", ".id"})
        EXPECT_TRUE(Exists(ext)) << ext;
}

// The Bounds part of the clause: found in any letter case, cut off the clause (the
// blank before it stays), its corners passed as north, south, east, west.
TEST_F(TabCalls, BoundsAreCutFromTheClauseAndPassedAsNumbers) {
    struct Case {
        const char* coordSys;
        const char* created; // clause, north, south, east, west
    };
    const Case cases[] = {
        {"CoordSys Earth Projection 1, 104", "[CoordSys Earth Projection 1, 104] 0 0 0 0"},
        {DknCoordSys, "[CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0 ] "
                      "6500000 6000000 1000000 100000"},
        {"CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 Bounds (-4321000, -3210000) "
         "(4179000, 4290000)",
         "[CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 ] 4290000 -3210000 4179000 "
         "-4321000"},
        {"CoordSys Earth Projection 1, 104 bounds (-180, -90) (180, 90)",
         "[CoordSys Earth Projection 1, 104 ] 90 -90 180 -180"},
        {"CoordSys Earth Projection 1, 104 BoUnDs(0.5,-1.25)(10.75, 2e3)",
         "[CoordSys Earth Projection 1, 104 ] 2000 -1.25 10.75 0.5"},
        // Reversed corners go as given: the library puts them in order.
        {"CoordSys Earth Projection 1, 104 Bounds (10, 20) (0, 0)",
         "[CoordSys Earth Projection 1, 104 ] 0 20 0 10"},
        // Numbers are read as the dBASE writer reads them: what follows is ignored.
        {"CoordSys Earth Projection 1, 104 Bounds (1x, +2) (3.5.1, abc)",
         "[CoordSys Earth Projection 1, 104 ] 0 2 3.5 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.coordSys);
        Rec().reset("");
        auto w = Writer(c.coordSys);
        w->StartHeader(0, otRegion);
        w->Close();
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log()[0],
                  std::string("create [<dir>/.grid.quadrel-partial.tab] [tab] ") + c.created);
    }
}

TEST_F(TabCalls, BoundsWithoutTwoCornersAreRefusedBeforeAnythingIsCreated) {
    for (const char* coordSys : {"CoordSys Earth Projection 1, 104 Bounds (1, 2)",
                                 "CoordSys Earth Projection 1, 104 Bounds"}) {
        SCOPED_TRACE(coordSys);
        Rec().reset("");
        auto w = Writer(coordSys);
        EXPECT_THROW(w->StartHeader(1, otRegion), Exception);
        EXPECT_TRUE(Log().empty());
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

// Field types are MITAB's codes (ordinal + 1); a width of 255 becomes 254; names,
// values and the clause go in the table's code page, named by set_charset.
TEST_F(TabCalls, FieldsValuesAndTextInTheTablesCodePage) {
    auto w = Writer("CoordSys Earth Projection 1, 104 Bounds (0, 0) (10, 10)");
    w->SetCodepage(850);
    w->StartHeader(9, otNone);
    const TGISField types[] = {gfChar, gfInteger, gfSmallInt, gfDecimal, gfFloat,
                               gfDate, gfLogical, gfTime,     gfDateTime};
    w->AddField("Højde", gfChar, 255, 0);
    for (int i = 1; i < 9; ++i)
        w->AddField("f" + std::to_string(i), types[i], 10, i == 3 ? 2 : 0);
    EXPECT_EQ(w->FieldInfo()[1].Width, 254);
    w->AddObject(0, false, "\"Ærø, Øst\",12,3,1.50,2.5,20240131,yes,123456789,20240131235959000");
    w->Close();

    const Calls fields = Only("add_field");
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], "add_field table [H\x9B"
                         "jde] 1 254 0 0 0");
    for (int i = 1; i < 9; ++i)
        EXPECT_EQ(fields[i], "add_field table [f" + std::to_string(i) + "] " +
                                 std::to_string(i + 1) + " 10 " + (i == 3 ? "2" : "0") + " 0 0");
    EXPECT_EQ(Only("set_charset"), Calls{"set_charset table [CodePage850]"});
    const Calls values = {
        "set_field feature 0 [\x92r\x9B, \x9Dst]",
        "set_field feature 1 [12]",
        "set_field feature 2 [3]",
        "set_field feature 3 [1.50]",
        "set_field feature 4 [2.5]",
        "set_field feature 5 [20240131]",
        "set_field feature 6 [T]",
        "set_field feature 7 [123456789]",
        "set_field feature 8 [20240131235959000]",
    };
    EXPECT_EQ(Only("set_field"), values);
}

// A logical value that counts as true goes as "T"; any other goes unchanged.
TEST_F(TabCalls, LogicalTrueBecomesT) {
    auto w = Writer();
    w->StartHeader(2, otNone);
    w->AddField("flag", gfLogical, 1, 0);
    w->AddField("text", gfChar, 5, 0);
    for (const char* row : {"yes,yes", "no,no", "1,1", "t,t", "Y,Y", "0,0", "F,F", "\"\",x"})
        w->AddObject(0, false, row);
    w->Close();
    const Calls expected = {
        "set_field feature 0 [T]",  "set_field feature 1 [yes]", "set_field feature 0 [no]",
        "set_field feature 1 [no]", "set_field feature 0 [T]",   "set_field feature 1 [1]",
        "set_field feature 0 [T]",  "set_field feature 1 [t]",   "set_field feature 0 [T]",
        "set_field feature 1 [Y]",  "set_field feature 0 [0]",   "set_field feature 1 [0]",
        "set_field feature 0 [F]",  "set_field feature 1 [F]",   "set_field feature 0 []",
        "set_field feature 1 [x]",
    };
    EXPECT_EQ(Only("set_field"), expected);
}

// Parts are numbered from 0; a negative Index in a region file negates the number.
TEST_F(TabCalls, PartNumbersAndNegativeIndexes) {
    struct Case {
        const char* name;
        TObjectTypes kind;
        std::vector<int32_t> indexes;
        std::vector<int> parts;
    };
    const Case cases[] = {
        {"region rings", otRegion, {0, 0, 0}, {0, 1, 2}},
        {"region, third ring Index -1", otRegion, {0, 0, -1}, {0, 1, -2}},
        {"region, first ring Index -1", otRegion, {-1, 5, -7}, {0, 1, -2}},
        {"polyline ignores the sign", otPline, {0, -1, -1}, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rec().reset("");
        testutil::TempDir own;
        TGISWriteMITAB w(Rec().binding);
        w.FileName = own / "parts";
        w.StartHeader(0, c.kind);
        w.AddObject(static_cast<int32_t>(c.indexes.size()), false, "");
        for (size_t i = 0; i < c.indexes.size(); ++i)
            AddRing(w, c.indexes[i], Square(10.0 * i, 0, 5));
        w.Close();
        std::vector<int> parts;
        for (const std::string& call : Only("set_points"))
            parts.push_back(std::stoi(call.substr(std::string("set_points feature ").size())));
        EXPECT_EQ(parts, c.parts);
        EXPECT_EQ(Only("write_feature").size(), 1u) << "written once, after the last part";
        EXPECT_EQ(Only("create_feature"),
                  Calls{std::string("create_feature table ") + (c.kind == otRegion ? "7" : "5")});
    }
}

TEST_F(TabCalls, RegionsTakeAtMost122500Parts) {
    auto w = Writer();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 10, 0);
    try {
        w->AddObject(122501, false, "1");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "No more than 122500 parts");
    }
    EXPECT_TRUE(Only("create_feature").empty()) << "nothing written for the refused object";

    w->AddObject(122500, false, "2");
    auto ring = Section(Square(0, 0, 1));
    for (int i = 0; i < 122500; ++i)
        w->AddSection(0, ring);
    w->Close();
    EXPECT_EQ(Only("set_points").size(), 122500u);
    EXPECT_EQ(Only("set_points").back().substr(0, 31), "set_points feature 122499 5 [0 ");
    EXPECT_EQ(Only("write_feature").size(), 1u);

    // Polylines have no such limit.
    Rec().reset("");
    testutil::TempDir own;
    TGISWriteMITAB lines(Rec().binding);
    lines.FileName = own / "lines";
    lines.StartHeader(0, otPline);
    EXPECT_NO_THROW(lines.AddObject(122501, false, ""));
    lines.Drop();
}

// Pens of width 8, 9 and 10 are not set; every region gets the transparent brush.
TEST_F(TabCalls, PenAndBrushInMapInfoOrder) {
    struct Case {
        TMIPen pen;
        TMIBrush brush;
        Calls styles;
    };
    const Case cases[] = {
        {DefaultPen, DefaultBrush, {"set_pen feature 1 2 0", "set_brush feature 16777215 0 2 1"}},
        {{3, 5, 0x00112233},
         {8, 0x00A0B0C0, 0x00010203},
         {"set_pen feature 3 5 3351057", "set_brush feature 12628128 197121 8 1"}},
        {{7, 2, 0}, DefaultBrush, {"set_pen feature 7 2 0", "set_brush feature 16777215 0 2 1"}},
        {{8, 2, 0}, DefaultBrush, {"set_brush feature 16777215 0 2 1"}},
        {{9, 2, 0}, DefaultBrush, {"set_brush feature 16777215 0 2 1"}},
        {{10, 2, 0}, DefaultBrush, {"set_brush feature 16777215 0 2 1"}},
        {{11, 2, 0}, DefaultBrush, {"set_pen feature 11 2 0", "set_brush feature 16777215 0 2 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pen.Width);
        Rec().reset("");
        testutil::TempDir own;
        TGISWriteMITAB w(Rec().binding);
        w.FileName = own / "styled";
        w.Pen = c.pen;
        w.Brush = c.brush;
        w.StartHeader(0, otRegion);
        w.AddObject(1, false, "");
        AddRing(w, 0, Square(0, 0, 1));
        w.Close();
        Calls styles;
        for (const std::string& call : Log())
            if (call.rfind("set_pen", 0) == 0 || call.rfind("set_brush", 0) == 0)
                styles.push_back(call);
        EXPECT_EQ(styles, c.styles);
    }
}

// Points: AddPoint writes one point feature with the writer's symbol; a point object
// given as sections gets the same symbol; AddPoint in a region file does nothing.
TEST_F(TabCalls, PointsWithTheirSymbol) {
    auto w = Writer();
    w->Symbol = TMISymbol{35, 0x0000FF, 18};
    w->StartHeader(1, otPoint);
    w->AddField("n", gfInteger, 10, 0);
    w->AddPoint(440500.5, 6200500.25, "1");
    w->AddObject(2, false, "2");
    AddRing(*w, 0, {{1, 2}});
    AddRing(*w, 0, {{3, 4}});
    w->Close();
    EXPECT_EQ(w->WrittenRecords(), 2);
    const Calls calls = Log();
    const Calls expected = {
        "create_feature table 1",
        "set_field feature 0 [1]",
        "set_pen feature 1 2 0",
        "set_symbol feature 35 18 16711680",
        "set_points feature 0 1 [440500.5 6200500.25]",
        "write_feature table feature",
        "destroy_feature feature",
        "create_feature table 1",
        "set_field feature 0 [2]",
        "set_pen feature 1 2 0",
        "set_symbol feature 35 18 16711680",
        "set_points feature 0 1 [1 2]",
        "set_points feature 1 1 [3 4]",
        "write_feature table feature",
        "destroy_feature feature",
        "close table",
    };
    EXPECT_EQ(Calls(calls.begin() + 3, calls.end()), expected);

    Rec().reset("");
    testutil::TempDir own;
    TGISWriteMITAB regions(Rec().binding);
    regions.FileName = own / "regions";
    regions.StartHeader(0, otRegion);
    regions.AddPoint(1, 2, "");
    regions.Close();
    EXPECT_TRUE(Only("create_feature").empty());
}

TEST_F(TabCalls, PolylinesAndObjectsWithoutGeometry) {
    auto w = Writer();
    w->StartHeader(1, otPline);
    w->AddField("n", gfInteger, 10, 0);
    w->AddLine(1, 2, 3, 4, "1");
    w->AddObject(0, false, "2"); // no geometry: written at once
    w->Close();
    const Calls expected = {
        "create_feature table 5",      "set_field feature 0 [1]",
        "set_pen feature 1 2 0",       "set_points feature 0 2 [1 2, 3 4]",
        "write_feature table feature", "destroy_feature feature",
        "create_feature table 0",      "set_field feature 0 [2]",
        "set_pen feature 1 2 0",       "write_feature table feature",
        "destroy_feature feature",     "close table",
    };
    const Calls calls = Log();
    EXPECT_EQ(Calls(calls.begin() + 3, calls.end()), expected);
}

// A table of kind otNone: features without geometry, whatever parts are announced;
// after Close only ".tab" and ".dat" remain.
TEST_F(TabCalls, TableWithoutGeometryKeepsTabAndDat) {
    auto w = Writer();
    w->StartHeader(1, otNone);
    w->AddField("n", gfInteger, 10, 0);
    w->AddObject(1, false, "1");
    AddRing(*w, 0, Square(0, 0, 1));
    w->Close();
    EXPECT_EQ(Only("create_feature"), Calls{"create_feature table 0"});
    EXPECT_TRUE(Only("set_points").empty());
    EXPECT_TRUE(Only("set_brush").empty());
    EXPECT_EQ(Only("write_feature").size(), 1u);
    EXPECT_TRUE(Exists(".tab"));
    EXPECT_TRUE(Exists(".dat"));
    EXPECT_FALSE(Exists(".map"));
    EXPECT_FALSE(Exists(".id"));
}

// The library cannot create the table (here: the folder cannot be written): the
// writer raises nothing, calls nothing more, and says the table was not created.
TEST_F(TabCalls, TableThatCannotBeCreatedLeavesTheWriterInert) {
    auto w = std::make_unique<TGISWriteMITAB>(Rec().binding);
    w->FileName = testutil::UnwritableFolder(dir) + "/grid";
    w->CoordSys = DknCoordSys;
    EXPECT_NO_THROW({
        w->StartHeader(2, otRegion);
        w->AddField("a", gfChar, 10, 0);
        w->AddField("b", gfChar, 10, 0);
        gwtest::AddCell(*w, "x,y", Square(0, 0, 1));
        w->AddObject(0, false, "only one value"); // not even the row is looked at
        w->AddPoint(1, 2, "x,y");
        w->Close();
    });
    EXPECT_FALSE(w->TableCreated());
    EXPECT_EQ(w->WrittenRecords(), 0);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].substr(0, 7), "create ");

    // The same when the library was never bound.
    Rec().reset("");
    const TMitabBinding none;
    TGISWriteMITAB unbound(none);
    unbound.FileName = dir / "grid";
    unbound.StartHeader(1, otRegion);
    unbound.AddField("a", gfChar, 10, 0);
    unbound.AddObject(0, false, "x");
    unbound.Close();
    EXPECT_FALSE(unbound.TableCreated());
    EXPECT_TRUE(Log().empty());
}

// A feature the library will not create or write would be a cell missing from a
// table that looks complete: the writer raises a write error and Close removes the
// output, as for every other format.
TEST_F(TabCalls, FeatureTheLibraryRefusesIsAWriteError) {
    for (const char* failing : {"create_feature", "write_feature"}) {
        SCOPED_TRACE(failing);
        Rec().reset("");
        testutil::TempDir own;
        TGISWriteMITAB w(Rec().binding);
        w.FileName = own / "grid";
        w.StartHeader(1, otRegion);
        w.AddField("id", gfChar, 10, 0);
        gwtest::AddCell(w, "a", Square(0, 0, 1));
        Fail(failing);
        EXPECT_THROW(gwtest::AddCell(w, "b", Square(1, 0, 1)), EWriteError);
        EXPECT_THROW(w.Close(), EWriteError);
        EXPECT_TRUE(std::filesystem::is_empty(own.path())) << "the output is removed";
    }
}

// An object that ends before all its parts arrived keeps its row without geometry.
TEST_F(TabCalls, IncompleteObjectIsWrittenWithoutGeometry) {
    auto w = Writer();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfChar, 10, 0);
    w->AddObject(2, false, "half");
    AddRing(*w, 0, Square(0, 0, 1));
    gwtest::AddCell(*w, "next", Square(5, 5, 1));
    w->Close();
    const Calls calls = Log();
    const Calls expected = {
        "create_feature table 7",
        "set_field feature 0 [half]",
        "set_pen feature 1 2 0",
        "set_brush feature 16777215 0 2 1",
        "set_points feature 0 5 [0 0, 0 1, 1 1, 1 0, 0 0]",
        "destroy_feature feature",
        "create_feature table 0",
        "set_field feature 0 [half]",
        "write_feature table feature",
        "destroy_feature feature",
        "create_feature table 7",
        "set_field feature 0 [next]",
    };
    ASSERT_GE(calls.size(), 3 + expected.size());
    EXPECT_EQ(Calls(calls.begin() + 3, calls.begin() + 3 + expected.size()), expected);
}

// A row whose values do not match the fields is refused before a feature exists.
TEST_F(TabCalls, RowOfTheWrongLengthCreatesNoFeature) {
    auto w = Writer();
    w->StartHeader(2, otRegion);
    w->AddField("a", gfChar, 10, 0);
    w->AddField("b", gfChar, 10, 0);
    EXPECT_THROW(w->AddObject(1, false, "only"), Exception);
    EXPECT_TRUE(Only("create_feature").empty());
    gwtest::AddCell(*w, "x,y", Square(0, 0, 1));
    w->Close();
    EXPECT_EQ(w->WrittenRecords(), 1);
}

// Drop, and destroying a writer that was never closed, close the table, release a
// feature in progress and remove all four files.
TEST_F(TabCalls, DropAndDestructionRemoveTheTable) {
    for (const bool drop : {true, false}) {
        SCOPED_TRACE(drop ? "Drop" : "destroyed");
        Rec().reset("");
        {
            auto w = Writer();
            w->StartHeader(1, otRegion);
            w->AddField("id", gfChar, 10, 0);
            gwtest::AddCell(*w, "a", Square(0, 0, 1));
            w->AddObject(2, false, "b");
            AddRing(*w, 0, Square(1, 0, 1));
            if (drop)
                w->Drop();
        }
        EXPECT_EQ(Only("close"), Calls{"close table"});
        EXPECT_EQ(Rec().liveFeatures(), 0);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

TEST_F(TabCalls, CloseClosesTheTableOnce) {
    auto w = Writer();
    w->StartHeader(0, otRegion);
    w->Close();
    w->Close();
    EXPECT_EQ(Only("close"), Calls{"close table"});
    for (const char* ext : {".tab", ".map", ".dat", ".id"})
        EXPECT_TRUE(Exists(ext)) << ext;
    w->Drop(); // after Close, Drop still removes what the table made
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
