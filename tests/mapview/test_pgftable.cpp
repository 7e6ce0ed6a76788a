// The in-memory vector table: creation, checks, store layout, search and drawing.

#include "PGFtable.h"
#include "mapview_test_env.h"

#include <QImage>
#include <QPainter>
#include <cstring>
#include <gtest/gtest.h>

using namespace plani;

namespace {

using Part = std::vector<TFloatPoint>;

TMemoryStream LineData(const std::vector<Part>& parts) {
    TMemoryStream s;
    s.WriteInt32(static_cast<int32_t>(parts.size()));
    for (const auto& p : parts) {
        s.WriteInt32(static_cast<int32_t>(p.size()));
        for (const auto& v : p) {
            s.WriteDouble(v.X);
            s.WriteDouble(v.Y);
        }
    }
    s.SetPosition(0);
    return s;
}

TBasicObjectStyle Style(TColor pen, uint8_t width = 1) {
    TBasicObjectStyle s;
    s.PenColor = pen;
    s.PenMode = pmCopy;
    s.PenWidth = width;
    s.PenStyle = psSolid;
    s.BrushColor = 0xFFFF;
    return s;
}

template <typename F> std::pair<std::string, int> ErrorOf(F&& f) {
    try {
        f();
    } catch (const CEError& e) {
        return {e.what(), e.Kind};
    } catch (const std::exception& e) {
        return {e.what(), -1};
    }
    return {"(no error)", -2};
}

class PGFTableTest : public ::testing::Test {
protected:
    PGFTableTest() {
        t.SetName("PGFTable1");
        t.SetRamFile(true);
        t.CreateNewTable();
    }
    TPGFTable t;
};

const TFloatPoint a{0, 0}, b{10, 0}, c{10, 5}, d{0, 5};

} // namespace

TEST_F(PGFTableTest, NewTableIsActiveAndEmpty) {
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(t.ObjectCount(), 0);
    EXPECT_EQ(t.HighestObjNo(), 0);
    EXPECT_TRUE(IsEmptyFloatRect(t.Extents()));
    EXPECT_EQ(t.Attributes(),
              AttrSet(gtaDraw) | AttrSet(gtaInfo) | AttrSet(gtaSelect) | AttrSet(gtaEdit));
    EXPECT_EQ(t.MainFile()->Bytes().size(), 603u);
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QImage before = img;
    QPainter p(&img);
    EXPECT_FALSE(t.Draw({0, 10, 10, 0}, p, {0, 0, 20, 20}, nullptr));
    p.end();
    EXPECT_EQ(img, before);
}

TEST_F(PGFTableTest, PolylinesGetIdsExtentsAndCentroid) {
    int added = 0, lastId = 0;
    t.OnObjectAdd = [&](TSpatialObjTable&, int32_t id) {
        ++added;
        lastId = id;
    };
    TMemoryStream ring = LineData({{a, b, c, d, a}});
    EXPECT_EQ(t.CreatePolyline(Style(255), ring), 1);
    EXPECT_EQ(t.Extents(), (TFloatRect{0, 5, 10, 0}));
    TObjectInfo info;
    TMemoryStream ed;
    ASSERT_TRUE(t.FetchObject(1, info, &ed));
    EXPECT_EQ(info.ObjectType, otPolyline);
    EXPECT_EQ(info.Centroid, (TFloatPoint{5, 2.5}));
    EXPECT_EQ(+info.Style.PenColor, 255u);
    EXPECT_EQ(+info.Style.BrushColor, 0xFFFFu);
    EXPECT_EQ(ed.Bytes(), ring.Bytes());

    TMemoryStream second = LineData({{{20, -5}, {30, 8}}});
    EXPECT_EQ(t.CreatePolyline(Style(0), second), 2);
    EXPECT_EQ(t.Extents(), (TFloatRect{0, 8, 30, -5}));
    EXPECT_EQ(t.ObjectCount(), 2);
    EXPECT_EQ(t.HighestObjNo(), 2);
    EXPECT_EQ(t.ObjectExtents(2), (TFloatRect{20, 8, 30, -5}));
    EXPECT_EQ(added, 2);
    EXPECT_EQ(lastId, 2);
    EXPECT_TRUE(t.Modified());

    t.CreateNewTable(); // empties the table; IDs start again at 1
    EXPECT_EQ(t.ObjectCount(), 0);
    EXPECT_EQ(t.CreatePolyline(Style(0), second), 1);
    EXPECT_EQ(t.Extents(), (TFloatRect{20, 8, 30, -5}));
}

TEST_F(PGFTableTest, StoreLayoutChainsTheRecords) {
    TMemoryStream ring = LineData({{a, b, c, d, a}});
    t.CreatePolyline(Style(255), ring);
    TMemoryStream line = LineData({{a, b}});
    t.CreatePolyline(Style(0x00FF00, 3), line);
    const uint8_t* m = t.MainFile()->Memory();
    EXPECT_EQ(m[0], 28);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m + 1), 28),
              "Planispherique Graphic Table");
    const TPGFHeader& h = t.MainHeader(); // packed: fields are compared by value (+)
    EXPECT_EQ(+h.Version, 115);
    EXPECT_EQ(+h.IncVersion, 1);
    EXPECT_EQ(+h.Layers, 1);
    EXPECT_EQ(+h.FirstObjPos, 603);
    const int32_t second = 603 + 81 + static_cast<int32_t>(ring.Size());
    EXPECT_EQ(+h.LastObjPos, second);
    EXPECT_EQ(+h.LastObjID, 2);
    EXPECT_EQ(t.MainFile()->Bytes().size(), static_cast<size_t>(second + 81 + line.Size()));
    TPGFRecordHeader r1, r2;
    std::memcpy(&r1, m + 603, 52);
    std::memcpy(&r2, m + second, 52);
    EXPECT_EQ(+r1.ObjectID, 1);
    EXPECT_EQ(+r1.ObjectType, +otPolyline);
    EXPECT_EQ(+r1.NextPos, second);
    EXPECT_EQ(+r1.EDLength, ring.Size());
    EXPECT_EQ(+r1.EDPos, 603 + 81);
    EXPECT_EQ(+r2.ObjectID, 2);
    EXPECT_EQ(+r2.NextPos, 0);
    TPGFStyleBlock s2;
    std::memcpy(&s2, m + second + 52, 29);
    EXPECT_EQ(+s2.PenColor, 0x00FF00u);
    EXPECT_EQ(+s2.PenWidth, 3);
    EXPECT_EQ(+s2.PenMode, +pmCopy);
    // The header at the start of the store is the table's header.
    EXPECT_EQ(std::memcmp(m, &h, sizeof h), 0);
}

// Malformed object data is refused and leaves records and counters as they were.
TEST_F(PGFTableTest, MalformedObjectsAreRefusedWithoutChangingTheTable) {
    const TFloatPoint p{3, 3};
    TMemoryStream ring = LineData({{a, b, c, d, a}});
    t.CreatePolyline(Style(255), ring);
    const TPGFHeader before = t.MainHeader();
    const size_t sizeBefore = t.MainFile()->Bytes().size();

    struct Case {
        const char* name;
        TObjectType type;
        int16_t subtype;
        std::function<TMemoryStream()> data;
        std::string message;
        int kind; // ceDataFormatError, ceGeneral or -1 for a plain error
    } cases[] = {
        {"polyline with all vertices equal", otPolyline, 0,
         [&] {
             return LineData({{p, p, p}});
         },
         "Error while checking polyline object - Must have at least 2 unique vertices",
         ceDataFormatError},
        {"polyline ring of one vertex", otPolyline, 0,
         [&] {
             return LineData({{p, p}});
         },
         "Error while checking polyline object - Must have at least 2 unique vertices",
         ceDataFormatError},
        {"polygon a b a", otPolygon, 0,
         [&] {
             return LineData({{a, b, a}});
         },
         "Error while checking polygon object - Must have at least 3 unique vertices",
         ceDataFormatError},
        {"second part bad", otPolyline, 0,
         [&] {
             return LineData({{a, b}, {c, c}});
         },
         "Error while checking polyline object - Must have at least 2 unique vertices",
         ceDataFormatError},
        {"vertex list cut short", otPolyline, 0,
         [&] {
             TMemoryStream s = LineData({{a, b, c}});
             s.SetSize(s.Size() - 8);
             return s;
         },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"no data at all", otPolyline, 0, [] { return TMemoryStream(); },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"huge vertex count", otPolyline, 0,
         [] {
             TMemoryStream s;
             s.WriteInt32(1);
             s.WriteInt32(0x7FFFFFFF);
             s.SetPosition(0);
             return s;
         },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"text too short", otText, 0,
         [] {
             TMemoryStream s;
             s.SetSize(300);
             return s;
         },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"point too short", otPoint, 0,
         [] {
             TMemoryStream s;
             s.WriteInt16(1);
             return s;
         },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"ellipse too short", otEllipse, 0,
         [] {
             TMemoryStream s;
             s.SetSize(31);
             return s;
         },
         "Error while checking graphic object - Extended data record too short", ceDataFormatError},
        {"unknown object type", static_cast<TObjectType>(8), 0, [] { return TMemoryStream(); },
         "Invalid obj_info.ObjectType field", -1},
        {"unknown point subtype", otPoint, 4,
         [] {
             TMemoryStream s;
             s.SetSize(4);
             return s;
         },
         "Invalid obj_info.SubType field", -1},
        {"zero parts", otPolyline, 0,
         [] {
             TMemoryStream s;
             s.WriteInt32(0);
             return s;
         },
         "Invalid extended data", -1},
    };
    for (auto& c : cases) {
        TObjectInfo info;
        info.ObjectType = c.type;
        info.SubType = c.subtype;
        info.Extents = {0, 1, 1, 0};
        TMemoryStream data = c.data();
        auto [msg, kind] = ErrorOf([&] { t.CreateObject(info, &data); });
        EXPECT_EQ(msg, c.message) << c.name;
        EXPECT_EQ(kind, c.kind) << c.name;
        EXPECT_EQ(t.ObjectCount(), 1) << c.name;
        EXPECT_EQ(t.MainFile()->Bytes().size(), sizeBefore) << c.name;
        EXPECT_EQ(std::memcmp(&t.MainHeader(), &before, sizeof before), 0) << c.name;
    }
    // Accepted: (a, a, b) has two unique vertices; a closed triangle has three.
    TMemoryStream aab = LineData({{a, a, b}});
    EXPECT_EQ(t.CreatePolyline(Style(0), aab), 2);
    TMemoryStream tri = LineData({{a, b, c, a}});
    EXPECT_EQ(t.CreatePolygon(Style(0), tri), 3);
}

TEST_F(PGFTableTest, CalcExtentsAndCentroidRefusals) {
    TFloatRect e;
    TFloatPoint cen;
    TMemoryStream any = LineData({{a, b}});
    struct Case {
        TObjectType type;
        std::function<TMemoryStream()> data;
        std::string message;
    } cases[] = {
        {otPoint,
         [&] {
             return LineData({{a, b}});
         },
         "CalcExtentsAndCentroid can't be used with Ellipses or Points"},
        {otEllipse,
         [&] {
             return LineData({{a, b}});
         },
         "CalcExtentsAndCentroid can't be used with Ellipses or Points"},
        {otPolyline, [] { return TMemoryStream(); }, "Invalid extended data"},
        {otPolyline, [&] { return LineData({}); }, "Invalid extended data"},
        {otPolyline, [&] { return LineData({{a}}); }, "Must have at least 2 vertices"},
        {otPolyline,
         [&] {
             TMemoryStream s = LineData({{a, b}});
             s.SetSize(s.Size() - 1);
             return s;
         },
         "Invalid extended data"},
    };
    for (auto& c : cases) {
        TMemoryStream data = c.data();
        EXPECT_EQ(
            ErrorOf([&] { TSpatialObjTable::CalcExtentsAndCentroid(c.type, data, e, cen); }).first,
            c.message);
    }
    // Two parts: the centroid weighs each segment by its length.
    TMemoryStream two = LineData({{{0, 0}, {10, 0}}, {{0, 10}, {0, 40}}});
    TSpatialObjTable::CalcExtentsAndCentroid(otPolyline, two, e, cen);
    EXPECT_EQ(e, (TFloatRect{0, 40, 10, 0}));
    EXPECT_DOUBLE_EQ(cen.X, (10 * 5.0 + 30 * 0.0) / 40);
    EXPECT_DOUBLE_EQ(cen.Y, (10 * 0.0 + 30 * 25.0) / 40);
}

TEST_F(PGFTableTest, OtherObjectKindsAreStored) {
    TPointInfo pi{3, 12};
    EXPECT_EQ(t.CreatePoint(Style(0), {5, 6}, pi), 1);
    EXPECT_EQ(t.ObjectExtents(1), (TFloatRect{5, 6, 5, 6}));
    EXPECT_EQ(t.CreateEllipse(Style(0), {0, 10, 0, 0}), -1); // no width: nothing created
    EXPECT_EQ(t.CreateEllipse(Style(0), {0, 10, 20, 0}), 2);
    TTextInfo ti;
    std::strcpy(ti.Text, "Aarhus");
    ti.InsertionPoint = {100, 100};
    ti.Width = -40;
    ti.Height = 10;
    ti.Angle = -90;
    EXPECT_EQ(t.CreateText(Style(0), ti), 3);
    TObjectInfo info;
    TMemoryStream ed;
    ASSERT_TRUE(t.FetchObject(3, info, &ed));
    TTextInfo back;
    back.ReadFrom(ed);
    EXPECT_FLOAT_EQ(back.Angle, 270);
    EXPECT_DOUBLE_EQ(back.Width, 40);
    EXPECT_STREQ(back.Text, "Aarhus");
    EXPECT_EQ(t.ObjectCount(), 3);
    EXPECT_FALSE(t.FetchObject(9, info, &ed));
}

TEST_F(PGFTableTest, InactiveTablesAndTheDiskForm) {
    t.Close();
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(ErrorOf([&] {
                  TObjectInfo i;
                  t.FetchObject(1, i, nullptr);
              }).first,
              "Unable to fetch data from an inactive table");
    EXPECT_EQ(ErrorOf([&] { t.ObjectExtents(1); }).first,
              "InternalFindObjectLocation: Table inactive");
    // Reopened after Close, the in-memory table is empty.
    t.Open();
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(t.ObjectCount(), 0);
    EXPECT_TRUE(IsEmptyFloatRect(t.Extents()));

    TPGFTable disk;
    disk.SetName("PGFTable2");
    EXPECT_FALSE(disk.RamFile());
    EXPECT_EQ(ErrorOf([&] { disk.CreateNewTable(); }),
              std::make_pair(std::string("Create error: No DiskLocation specified"), 0));
    TMemoryStream line = LineData({{a, b}});
    EXPECT_EQ(ErrorOf([&] { disk.CreatePolyline(Style(0), line); }).first,
              "CreateObject failed, table not active");
    disk.Open(); // the disk form is not provided: the table stays closed
    EXPECT_FALSE(disk.Active());
}

TEST_F(PGFTableTest, CloseAndReopenKeepsNothingAndFiresEvents) {
    int opened = 0, closed = 0;
    t.OnActivate = [&](TSpatialObjTable&) { ++opened; };
    t.OnDeactivate = [&](TSpatialObjTable&) { ++closed; };
    TMemoryStream line = LineData({{a, b}});
    t.CreatePolyline(Style(0), line);
    t.CreateNewTable();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(t.ObjectCount(), 0);
    t.SetPointWidth(0);
    EXPECT_EQ(t.PointWidth(), 1);
    t.SetUnits(muMetres);
    EXPECT_EQ(+t.MainHeader().units, +muMetres);
    EXPECT_EQ(+t.MainHeader().mpu, 1.0);
}

TEST_F(PGFTableTest, SearchAreasMeetOnEdges) {
    TMemoryStream l1 = LineData({{{0, 0}, {10, 10}}});
    TMemoryStream l2 = LineData({{{20, 0}, {30, 10}}});
    t.CreatePolyline(Style(0), l1);
    t.CreatePolyline(Style(0), l2);
    auto ids = [&](const TFloatRect& r) {
        std::vector<int32_t> out;
        int32_t h = t.CreateSearchArea(r);
        int32_t id;
        TObjectInfo info;
        while (h && t.FetchFromSearchArea(h, id, info, nullptr))
            out.push_back(id);
        if (h) {
            EXPECT_TRUE(t.DestroySearchArea(h));
        }
        return out;
    };
    EXPECT_EQ(ids({10, 20, 20, 10}), (std::vector<int32_t>{1, 2})); // touches both on their edges
    EXPECT_EQ(ids({11, 5, 19, 0}), (std::vector<int32_t>{}));
    EXPECT_EQ(ids({25, 5, 26, 4}), (std::vector<int32_t>{2}));
    EXPECT_EQ(ids({5, 5, 5, 5}), (std::vector<int32_t>{1, 2})); // no area: the whole table
    EXPECT_EQ(t.CreateSearchArea({100, 200, 200, 100}), 0);     // beyond the extents
    EXPECT_FALSE(t.DestroySearchArea(12345));
}

// --- Drawing ------------------------------------------------------------------------------------

namespace {

QImage Render(TPGFTable& t, const TFloatRect& vp, int w, int h, TMemoryStream* rso = nullptr) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    t.Draw(vp, p, {0, 0, w, h}, rso);
    return img;
}

} // namespace

TEST_F(PGFTableTest, DrawsPolylinesAtTheirWorldPositions) {
    TMemoryStream ring = LineData({{{10, 10}, {90, 10}, {90, 40}, {10, 40}, {10, 10}}});
    t.CreatePolyline(Style(255), ring);
    // 100 x 50 world units onto 200 x 100 pixels: 2 pixels per unit.
    QImage img = Render(t, {0, 50, 100, 0}, 200, 100);
    TWDTransform tr({0, 50, 100, 0}, {0, 0, 200, 100});
    EXPECT_EQ(img.pixel(tr.WorldtoDeviceX(50), tr.WorldtoDeviceY(10)), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(tr.WorldtoDeviceX(90), tr.WorldtoDeviceY(25)), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(tr.WorldtoDeviceX(50), tr.WorldtoDeviceY(25)), qRgb(255, 255, 255));
    // A view that only touches the extents along an edge still draws what lies on it.
    QImage edge = Render(t, {90, 40, 120, 10}, 60, 60);
    TWDTransform te({90, 40, 120, 10}, {0, 0, 60, 60});
    EXPECT_EQ(edge.pixel(te.WorldtoDeviceX(90), te.WorldtoDeviceY(25)), qRgb(255, 0, 0));
}

TEST_F(PGFTableTest, StyleOverrideAndStreamPenChangeTheColour) {
    TMemoryStream l1 = LineData({{{0, 10}, {100, 10}}});
    t.CreatePolyline(Style(255), l1);
    // A second line whose data carries its own pen (green).
    TMemoryStream l2 = LineData({{{0, 30}, {100, 30}}});
    l2.SetPosition(l2.Size());
    TPlaniPen pen;
    pen.GetPenLayer(0).SetFGColor(0x00FF00);
    pen.WriteTo(l2);
    l2.SetPosition(0);
    t.CreatePolyline(Style(255), l2);
    const TFloatRect vp{0, 40, 100, 0};
    TWDTransform tr(vp, {0, 0, 100, 40});
    QImage img = Render(t, vp, 100, 40);
    EXPECT_EQ(img.pixel(50, tr.WorldtoDeviceY(10)), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(50, tr.WorldtoDeviceY(30)), qRgb(0, 255, 0));
    // Override: object 1 drawn blue.
    TMemoryStream rso;
    TBasicObjectStyle def = Style(255), blue = Style(0xFF0000);
    for (int id = 0; id <= 2; ++id)
        rso.WriteValue(id == 1 ? blue : def);
    QImage over = Render(t, vp, 100, 40, &rso);
    EXPECT_EQ(over.pixel(50, tr.WorldtoDeviceY(10)), qRgb(0, 0, 255));
}

// With two passes, pen layer 1 of every polyline is drawn before pen layer 0 of
// any, so each line's narrow top layer shows over the other's casing.
TEST_F(PGFTableTest, PenLayerPassesDrawLowerLayersOfAllLinesFirst) {
    t.SetLayers(2);
    auto cased = [&](const TFloatPoint& p, const TFloatPoint& q, TColor top) {
        TMemoryStream s = LineData({{p, q}});
        s.SetPosition(s.Size());
        TPlaniPen pen;
        pen.SetPenLayers(2);
        pen.SetEndCap(lecFlat);
        pen.GetPenLayer(0).SetFGColor(top);
        pen.GetPenLayer(0).SetWidth(0.75f); // 1 px
        pen.GetPenLayer(1).SetFGColor(0);
        pen.GetPenLayer(1).SetWidth(6); // 8 px
        pen.WriteTo(s);
        s.SetPosition(0);
        t.CreatePolyline(Style(0), s);
    };
    cased({0, 20}, {40, 20}, 0x0000FF); // horizontal, red on top
    cased({20, 0}, {20, 40}, 0x00FF00); // vertical, green on top, drawn later
    QImage img = Render(t, {0, 40, 40, 0}, 40, 40);
    EXPECT_EQ(img.pixel(20, 20), qRgb(0, 255, 0)); // the later line's top layer
    EXPECT_EQ(img.pixel(17, 20), qRgb(255, 0, 0)); // red over the green line's casing
    EXPECT_EQ(img.pixel(20, 17), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(17, 17), qRgb(0, 0, 0));

    // Objects other than polyline sets are drawn whole in the first pass only:
    // a polygon created after a one-layer polyline still lies under it.
    t.CreateNewTable();
    TMemoryStream line = LineData({{{0, 20}, {40, 20}}});
    t.CreatePolyline(Style(255), line);
    TMemoryStream square = LineData({{{5, 5}, {35, 5}, {35, 35}, {5, 35}, {5, 5}}});
    TBasicObjectStyle fill = Style(0xFF0000);
    fill.BrushColor = 0xFF0000;
    fill.BrushStyle = bsSolid;
    t.CreatePolygon(fill, square);
    QImage under = Render(t, {0, 40, 40, 0}, 40, 40);
    EXPECT_EQ(under.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(under.pixel(20, 10), qRgb(0, 0, 255));
}

TEST_F(PGFTableTest, PreDrawHandlerCanReplaceObjectsAndClosingCancels) {
    for (int i = 0; i < 5; ++i) {
        TMemoryStream s = LineData({{{0, double(i)}, {10, double(i)}}});
        t.CreatePolyline(Style(255), s);
    }
    int seen = 0;
    t.OnPreDrawObject = [&](TGraphicTable&, int32_t id, std::unique_ptr<TSpatialObjE2>& obj) {
        ++seen;
        if (id == 1)
            obj.reset(); // not drawn
        if (id == 3)
            t.Close(); // the drawing stops after this object
    };
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    bool cancel = false;
    EXPECT_TRUE(t.DrawGraphic({0, 10, 10, 0}, p, {0, 0, 20, 20}, nullptr, nullptr, 0, cancel));
    EXPECT_TRUE(cancel);
    EXPECT_EQ(seen, 3);
}
