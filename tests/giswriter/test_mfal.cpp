// The MFAL writer against an in-process fake of the file access library's five
// entry points: the calls and their order, the MI_ATTRDEF and MI_OBJ records the
// writer hands over, the re-joined attribute rows, and the binding's statuses.

#include "mfal.h"
#include "readers.h"
#include "temp_dir.h"

#include <cstddef>
#include <fstream>
#include <functional>
#include <map>
#include <typeinfo>

namespace pwnet {
// For comparing the points the library was handed.
bool operator==(const DPNT& a, const DPNT& b) {
    return a.x == b.x && a.y == b.y;
}
} // namespace pwnet

using namespace pwnet;
using namespace gwtest;

namespace {

// ---- The fake library ----------------------------------------------------------

struct RecordedObject {
    int32_t table;
    std::string attributes;
    MI_OBJ record;                        // the record as handed over
    std::vector<std::vector<DPNT>> parts; // what its pointers pointed to
};

struct FakeLibrary {
    std::vector<std::string> calls;
    int16_t initResult = 1;
    int32_t initArgument = 0;
    int32_t tableId = 7;
    std::string coordSys;
    const void* projectionFilled = nullptr;
    std::string tableName;
    std::vector<MI_ATTRDEF> fields;
    int32_t numFields = -1;
    std::string projectionSeen; // the projection buffer's first bytes at table creation
    int32_t mode = 0;
    std::vector<RecordedObject> objects;
    bool createFiles = false; // make the table's files, as the library would
};

FakeLibrary* fake = nullptr;

int16_t FakeInitialize(int32_t argument) {
    fake->calls.push_back("133");
    fake->initArgument = argument;
    return fake->initResult;
}

void FakeCoordSysToProjection(const char* coordSys, void* projection) {
    fake->calls.push_back("150");
    fake->coordSys = coordSys;
    fake->projectionFilled = projection;
    std::memcpy(projection, "PROJ", 4);
}

int32_t FakeCreateTable(const char* fileName, const MI_ATTRDEF* fields, int32_t numFields,
                        void* projection, int32_t mode) {
    fake->calls.push_back("106");
    fake->tableName = fileName;
    fake->fields.assign(fields, fields + numFields);
    fake->numFields = numFields;
    fake->projectionSeen = projection == fake->projectionFilled
                               ? std::string(static_cast<const char*>(projection), 4)
                               : "(another buffer)";
    fake->mode = mode;
    if (fake->createFiles && fake->tableId != 0) {
        const std::string base(fileName, std::strlen(fileName) - 4);
        for (const char* ext : {".tab", ".map", ".dat", ".id"})
            std::ofstream(base + ext) << "x";
    }
    return fake->tableId;
}

std::vector<DPNT> Points(const DPNT* p, int32_t n) {
    return std::vector<DPNT>(p, p + n);
}

void FakeAppendObject(int32_t table, const char* attributes, MI_OBJ* object, int32_t* result) {
    fake->calls.push_back("134");
    RecordedObject r{table, attributes, *object, {}};
    switch (object->objtype) {
    case MiPolyline:
        r.parts.push_back(Points(object->pline.data, object->pline.points));
        break;
    case MiRegion:
        for (int32_t i = 0; i < object->region.regions; ++i)
            r.parts.push_back(Points(object->region.data[i].pPnts, object->region.data[i].points));
        break;
    case MiMultiPolyline:
        for (int32_t i = 0; i < object->multipline.plines; ++i)
            r.parts.push_back(
                Points(object->multipline.data[i].pPnts, object->multipline.data[i].points));
        break;
    default:
        break;
    }
    fake->objects.push_back(std::move(r));
    *result = 1;
}

void FakeCloseTable(int32_t table) {
    fake->calls.push_back("102:" + std::to_string(table));
}

const TMfalEntryPoints FakeEntries = [] {
    TMfalEntryPoints e;
    e.Initialize = FakeInitialize;
    e.CoordSysToProjection = FakeCoordSysToProjection;
    e.CreateTable = FakeCreateTable;
    e.AppendObject = FakeAppendObject;
    e.CloseTable = FakeCloseTable;
    return e;
}();

class MfalWriter : public ::testing::Test {
protected:
    void SetUp() override { fake = &lib; }
    void TearDown() override { fake = nullptr; }

    std::unique_ptr<TGISWrite> NewWriter() {
        auto w = std::make_unique<TGISWriteMFAL>(FakeEntries);
        w->FileName = dir / "grid";
        return w;
    }

    FakeLibrary lib;
    testutil::TempDir dir;
};

std::vector<std::vector<DPNT>> AsDpnt(const std::vector<Part>& parts) {
    std::vector<std::vector<DPNT>> out;
    for (const Part& p : parts) {
        out.emplace_back();
        for (const TFloatPoint& q : p)
            out.back().push_back(DPNT{q.x, q.y});
    }
    return out;
}

std::string RawBytes(const void* p, size_t n) {
    return std::string(static_cast<const char*>(p), n);
}

// ---- Calls, fields and table --------------------------------------------------------

TEST_F(MfalWriter, CallsInOrderWithTheFieldRecordsAndTheTable) {
    auto w = NewWriter();
    w->CoordSys = "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0";
    w->StartHeader(2, otRegion);
    w->AddField("KN10kmDK", gfChar, 20, 0);
    EXPECT_TRUE(lib.calls.empty()); // the table waits for its last field
    w->AddField("Stednavn", gfChar, 40, 0);
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"150", "106"}));
    AddCell(*w, "\"10km_620_44\",\"Ærø\"", Square(440000, 6200000, 10000));
    AddCell(*w, "\"10km_621_44\",\"Als\"", Square(440000, 6210000, 10000));
    w->Close();
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"150", "106", "134", "134", "102:7"}));
    EXPECT_EQ(w->WrittenRecords(), 2);

    EXPECT_EQ(lib.coordSys, "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0");
    EXPECT_EQ(lib.tableName, dir / "grid.tab");
    EXPECT_EQ(lib.projectionSeen, "PROJ"); // the buffer that ordinal 150 filled
    EXPECT_EQ(lib.mode, 5);
    ASSERT_EQ(lib.numFields, 2);
    // MI_ATTRDEF: 32-byte zero-filled name, type, width, decimals, filler, bIndexed
    const MI_ATTRDEF& f = lib.fields[1];
    EXPECT_EQ(RawBytes(f.name, 32), std::string("Stednavn") + std::string(24, '\0'));
    EXPECT_EQ(f.fieldtype, 1);
    EXPECT_EQ(f.width, 40);
    EXPECT_EQ(f.decPlaces, 0);
    EXPECT_EQ(f.bIndexed, 0);
    EXPECT_EQ(RawBytes(&f, 38).substr(32), std::string("\x01\x28\x00\x00\x00\x00", 6));

    ASSERT_EQ(lib.objects.size(), 2u);
    EXPECT_EQ(lib.objects[0].table, 7);
    EXPECT_EQ(lib.objects[0].attributes, "10km_620_44\t\xC6r\xF8"); // code page 1252
    EXPECT_EQ(lib.objects[1].attributes, "10km_621_44\tAls");
}

TEST_F(MfalWriter, FieldTypeCodes) {
    struct Case {
        TGISField type;
        uint8_t code;
        uint8_t width; // stored
    };
    const Case cases[] = {
        {gfChar, 1, 10},     {gfDecimal, 2, 10}, {gfInteger, 3, 10},
        {gfSmallInt, 4, 10}, {gfDate, 5, 10},    {gfLogical, 6, 10},
        {gfFloat, 8, 10},    {gfTime, 1, 10}, // kept as text of nine characters
        {gfDateTime, 1, 17}                   // seventeen characters
    };
    auto w = NewWriter();
    w->StartHeader(static_cast<int32_t>(std::size(cases)), otNone);
    for (const auto& c : cases)
        w->AddField("f" + std::to_string(c.type), c.type, 10, 3);
    ASSERT_EQ(lib.fields.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(lib.fields[i].fieldtype, cases[i].code) << i;
        EXPECT_EQ(lib.fields[i].width, cases[i].width) << i;
        EXPECT_EQ(lib.fields[i].decPlaces, 3) << i;
    }
    w->Close();
}

TEST_F(MfalWriter, FieldNameLongerThan31CharactersIsRefused) {
    auto w = NewWriter();
    w->StartHeader(1, otRegion);
    try {
        w->AddField(std::string(32, 'n'), gfChar, 10, 0);
        ADD_FAILURE() << "a 32-character name was taken";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Field name is longer than 31");
    }
    EXPECT_TRUE(lib.calls.empty());
    // the refused field is not declared: another may take its place
    w->AddField(std::string(31, 'n'), gfChar, 10, 0);
    ASSERT_EQ(lib.fields.size(), 1u);
    EXPECT_EQ(RawBytes(lib.fields[0].name, 32), std::string(31, 'n') + '\0');
    // characters are counted in the library's code page: 31 of them, one byte each
    char name[32];
    EXPECT_NO_THROW(MfalFieldName(name, std::string(31, '\xF8')));
    EXPECT_THROW(MfalFieldName(name, std::string(32, 'a')), Exception);
    w->Close();
}

// ---- Objects -------------------------------------------------------------------------

TEST_F(MfalWriter, ObjectRecordsByKindAndParts) {
    const Part ring = Square(0, 0, 10), hole = Square(2, 2, 1);
    struct Case {
        const char* name;
        TObjectTypes kind;
        std::vector<Part> parts; // empty: AddPoint(3, 4)
        uint8_t objtype;
        std::vector<Part> handedOver;
    };
    const Case cases[] = {
        {"region", otRegion, {ring}, MiRegion, {ring}},
        {"region with hole", otRegion, {ring, hole}, MiRegion, {ring, hole}},
        {"two-point line", otPline, {{{1, 2}, {3, 4}}}, MiLine, {}},
        {"polyline", otPline, {{{1, 2}, {3, 4}, {5, 0}}}, MiPolyline, {{{1, 2}, {3, 4}, {5, 0}}}},
        {"multiple polyline",
         otPline,
         {{{1, 2}, {3, 4}}, {{5, 6}, {7, 8}, {9, 9}}},
         MiMultiPolyline,
         {{{1, 2}, {3, 4}}, {{5, 6}, {7, 8}, {9, 9}}}},
        {"point", otPoint, {}, MiPoint, {}},
        {"point in a region file", otRegion, {}, MiPoint, {}},
        {"point file object", otPoint, {{{3, 4}, {5, 6}}}, MiPoint, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lib.objects.clear();
        testutil::TempDir out;
        TGISWriteMFAL w(FakeEntries);
        w.FileName = out / "grid";
        w.Pen = TMIPen{3, 5, 0x0000FF};
        w.Brush = TMIBrush{8, 0x00FF00, 0x123456};
        w.Symbol = TMISymbol{34, 0xFF0000, 18};
        w.StartHeader(1, c.kind);
        w.AddField("id", gfInteger, 5, 0);
        if (c.parts.empty()) {
            w.AddPoint(3, 4, "1");
        } else {
            w.AddObject(static_cast<int32_t>(c.parts.size()), false, "1");
            for (size_t i = 0; i < c.parts.size(); ++i) {
                auto s = Section(c.parts[i]);
                w.AddSection(static_cast<int32_t>(i), s);
            }
        }
        w.Close();
        ASSERT_EQ(lib.objects.size(), 1u);
        const MI_OBJ& o = lib.objects[0].record;
        EXPECT_EQ(o.objtype, c.objtype);
        EXPECT_EQ(lib.objects[0].parts, AsDpnt(c.handedOver));
        // pens: width and pattern of Pen, style 2, colour in MapInfo order
        const MI_CPEN pen{3, {0, 0}, 5, 2, 0xFF0000};
        switch (c.objtype) {
        case MiRegion:
            EXPECT_EQ(o.region.regions, static_cast<int32_t>(c.parts.size()));
            EXPECT_EQ(RawBytes(&o.region.pen, 16), RawBytes(&pen, 16));
            EXPECT_EQ(o.region.brush.pat, 8);
            EXPECT_EQ(o.region.brush.forecolor, 0x00FF00u);
            EXPECT_EQ(o.region.brush.backcolor, 0x563412u);
            EXPECT_EQ(o.region.brush.transparent, 0);
            EXPECT_EQ(o.region.data[0].noOfHOles, 0);
            break;
        case MiLine:
            EXPECT_TRUE((o.line.lbeg == DPNT{1, 2}));
            EXPECT_TRUE((o.line.lend == DPNT{3, 4}));
            EXPECT_EQ(RawBytes(&o.line.pen, 16), RawBytes(&pen, 16));
            break;
        case MiPolyline:
            EXPECT_EQ(o.pline.points, 3);
            EXPECT_EQ(RawBytes(&o.pline.pen, 16), RawBytes(&pen, 16));
            break;
        case MiMultiPolyline:
            EXPECT_EQ(o.multipline.plines, 2);
            EXPECT_EQ(RawBytes(&o.multipline.pen, 16), RawBytes(&pen, 16));
            break;
        case MiPoint:
            EXPECT_TRUE((o.point.pnt == DPNT{3, 4}));
            EXPECT_EQ(o.point.symbol.code, 34);
            EXPECT_EQ(o.point.symbol.color, 0x0000FFu);
            EXPECT_EQ(o.point.symbol.pointsize, 18);
            break;
        default:
            break;
        }
    }
}

// The record is laid out as the library reads it: the object at offset 8 of 216
// bytes, every byte the writer does not set is zero.
TEST_F(MfalWriter, RegionRecordBytes) {
    auto w = NewWriter();
    w->StartHeader(0, otRegion);
    AddCell(*w, "", Square(0, 0, 1));
    w->Close();
    ASSERT_EQ(lib.objects.size(), 1u);
    const MI_OBJ& o = lib.objects[0].record;
    const std::string bytes = RawBytes(&o, sizeof o);
    ASSERT_EQ(bytes.size(), 216u);
    Bytes expected;
    expected.u8(MiRegion).zeros(7);                         // objtype, hasNoOfHolesSet, filler
    expected.le32(1);                                       // regions
    expected.le16(1).zeros(2).le32(2).le32(2).le32(0);      // pen: default width, pattern, style 2
    expected.le32(2).le32(0xFFFFFF).le32(0).u8(0).zeros(3); // brush
    expected.zeros(4).zeros(16);                            // filler, centroid
    std::string head = expected.str();
    EXPECT_EQ(bytes.substr(0, head.size()), head);
    EXPECT_EQ(bytes.substr(72), std::string(216 - 72, '\0'));
}

TEST_F(MfalWriter, ObjectsWithoutGeometryAndObjectsLeftIncomplete) {
    auto w = NewWriter();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    w->AddObject(0, false, "1");
    w->AddObject(2, false, "2");
    auto ring = Section(Square(0, 0, 1));
    w->AddSection(0, ring);
    AddCell(*w, "3", Square(5, 5, 1)); // the second part of object 2 never came
    w->Close();
    ASSERT_EQ(lib.objects.size(), 3u);
    EXPECT_EQ(lib.objects[0].record.objtype, MiNoGeometry);
    EXPECT_EQ(lib.objects[0].attributes, "1");
    EXPECT_EQ(lib.objects[1].record.objtype, MiNoGeometry);
    EXPECT_EQ(lib.objects[1].attributes, "2");
    EXPECT_EQ(lib.objects[2].record.objtype, MiRegion);
    EXPECT_EQ(lib.objects[2].attributes, "3");
}

TEST_F(MfalWriter, RowsAreRejoinedWithTabsWithoutCounting) {
    struct Case {
        std::string row;
        std::string text;
    };
    const Case cases[] = {
        {"a,b", "a\tb"},
        {"\"1km_6200_440\", 7", "1km_6200_440\t7"},
        {"\"x y\",2", "\"x y\"\t2"},
        {"\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
        {"\"tab\there\"", "\"tab\there\""},
        {"\"\"", "\"\""}, // a single empty value
        {"1,,", "1\t\t"},
        {"a,b,c,d", "a\tb\tc\td"}, // more values than fields
        {"", ""},
        {"\"Ærø\"", "\xC6r\xF8"},
    };
    auto w = NewWriter();
    w->StartHeader(2, otNone);
    w->AddField("a", gfChar, 10, 0);
    w->AddField("b", gfChar, 10, 0);
    for (const auto& c : cases)
        w->AddObject(0, false, c.row);
    w->Close();
    ASSERT_EQ(lib.objects.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(lib.objects[i].attributes, cases[i].text) << cases[i].row;
}

TEST_F(MfalWriter, TableTheLibraryCannotCreateSkipsEveryObject) {
    lib.tableId = 0;
    auto w = NewWriter();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    AddCell(*w, "1", Square(0, 0, 1));
    w->AddPoint(1, 1, "2");
    w->Close();
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"150", "106"}));
    EXPECT_EQ(w->WrittenRecords(), 0);
}

TEST_F(MfalWriter, DropAndDestructionCloseTheTableAndRemoveItsFiles) {
    lib.createFiles = true;
    enum Ending { Drop, DropAfterClose, Destroy, Close };
    for (Ending ending : {Drop, DropAfterClose, Destroy, Close}) {
        SCOPED_TRACE(ending);
        lib.calls.clear();
        {
            auto w = NewWriter();
            w->StartHeader(1, otRegion);
            w->AddField("id", gfInteger, 5, 0);
            AddCell(*w, "1", Square(0, 0, 1));
            if (ending == Drop)
                w->Drop();
            if (ending == DropAfterClose || ending == Close)
                w->Close();
            if (ending == DropAfterClose)
                w->Drop();
        }
        EXPECT_EQ(lib.calls.back(), "102:7");
        EXPECT_EQ(std::count(lib.calls.begin(), lib.calls.end(), "102:7"), 1);
        for (const char* ext : {".tab", ".map", ".dat", ".id"})
            EXPECT_EQ(Exists(dir / (std::string("grid") + ext)), ending == Close) << ext;
    }
}

// ---- Binding -----------------------------------------------------------------------------

TEST(MfalBinding, StatusFromLoadingInitialisingAndResolving) {
    struct Case {
        const char* name;
        int16_t initResult;
        std::vector<int32_t> missing;
        int32_t status;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"usable", 1, {}, MfalLoaded, {"133"}},
        {"only the low 16 bits count", int16_t(-1), {}, MfalLoaded, {"133"}},
        {"initialisation fails", 0, {}, MfalInitFailed, {"133"}},
        {"no initialisation entry", 1, {133}, MfalNotLoadable, {}},
        {"an entry point missing", 1, {134}, MfalNotLoadable, {"133"}},
    };
    for (const auto& c : cases) {
        FakeLibrary lib;
        lib.initResult = c.initResult;
        fake = &lib;
        const std::map<int32_t, void*> exported = {
            {133, reinterpret_cast<void*>(FakeInitialize)},
            {150, reinterpret_cast<void*>(FakeCoordSysToProjection)},
            {106, reinterpret_cast<void*>(FakeCreateTable)},
            {134, reinterpret_cast<void*>(FakeAppendObject)},
            {102, reinterpret_cast<void*>(FakeCloseTable)},
        };
        TMfalEntryPoints entries;
        const int32_t status = BindMfalEntries(
            [&](int32_t ordinal) -> void* {
                if (std::find(c.missing.begin(), c.missing.end(), ordinal) != c.missing.end())
                    return nullptr;
                auto it = exported.find(ordinal);
                return it == exported.end() ? nullptr : it->second;
            },
            entries);
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(lib.calls, c.calls) << c.name;
        if (!c.calls.empty()) {
            EXPECT_EQ(lib.initArgument, MfalInitArgument) << c.name;
        }
        if (status == MfalLoaded) {
            EXPECT_EQ(entries.CreateTable, FakeCreateTable);
            EXPECT_EQ(entries.CoordSysToProjection, FakeCoordSysToProjection);
            EXPECT_EQ(entries.AppendObject, FakeAppendObject);
            EXPECT_EQ(entries.CloseTable, FakeCloseTable);
        } else {
            EXPECT_EQ(entries.CreateTable, nullptr) << c.name;
        }
        fake = nullptr;
    }
}

// Without the library the factory gives MIF/MID; with entry points bound it gives the
// MFAL writer, which writes through them.
TEST(MfalBinding, FactoryFollowsTheBinding) {
    EXPECT_EQ(LoadMfal(), MfalNotLoadable); // no such library on Linux
    EXPECT_EQ(MfalEntries(), nullptr);
    EXPECT_EQ(typeid(*TGISWrite::GetGISObject(gfMFAL)), typeid(TGISWriteMIF));

    FakeLibrary lib;
    fake = &lib;
    SetMfalEntriesForTesting(&FakeEntries);
    EXPECT_TRUE(TGISWrite::MFAL_supported());
    {
        testutil::TempDir dir;
        auto w = TGISWrite::GetGISObject(gfMFAL);
        EXPECT_EQ(typeid(*w), typeid(TGISWriteMFAL));
        w->FileName = dir / "grid";
        w->StartHeader(0, otRegion);
        AddCell(*w, "", Square(0, 0, 1));
        w->Close();
    }
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"150", "106", "134", "102:7"}));
    SetMfalEntriesForTesting(nullptr);
    fake = nullptr;
    EXPECT_EQ(MfalStatus(), MfalNotLoadable);
    EXPECT_EQ(typeid(*TGISWrite::GetGISObject(gfMFAL)), typeid(TGISWriteMIF));
}

} // namespace
