// Layer state rules, the layer list and the abstract table's base behaviour.

#include "PlaniVP.h"
#include "PlaniVPL.h"
#include "mapview_test_env.h"

#include <gtest/gtest.h>

using namespace plani;
using mvtest::TTestTable;

namespace {

template <typename F> std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

// --- Layer state ------------------------------------------------------------------------------

TEST(LayerState, DefaultsAndAssign) {
    TLayerState s;
    EXPECT_TRUE(s.Visible());
    EXPECT_TRUE(s.Selectable());
    EXPECT_FALSE(s.Editable());
    EXPECT_TRUE(s.Infoable());
    EXPECT_FALSE(s.StyleOverride());
    EXPECT_FALSE(s.AutoLabel());
    EXPECT_FALSE(s.ZoomLayered());
    s.SetEditable(true);
    s.SetZLMaxScale(5);
    TLayerState t;
    int changes = 0;
    t.OnChange = [&] { ++changes; };
    t.Assign(&s);
    EXPECT_TRUE(t.Editable());
    EXPECT_EQ(t.ZLMaxScale(), 5);
    t.Assign(nullptr);
    EXPECT_FALSE(t.Editable());
    EXPECT_EQ(t.ZLMaxScale(), 0);
    EXPECT_EQ(changes, 2);
}

// Each row: the table's attributes, the setter calls in order, the flags after
// them (Visible, Selectable, Editable, Infoable).
TEST(LayerState, FlagRulesFollowTheTablesAttributes) {
    const TGraphicTableAttributes all =
        AttrSet(gtaDraw) | AttrSet(gtaInfo) | AttrSet(gtaSelect) | AttrSet(gtaEdit);
    const TGraphicTableAttributes drawOnly = AttrSet(gtaDraw);
    enum Op { VisOff, VisOn, SelOff, SelOn, EdOff, EdOn, InfOff, InfOn };
    struct Case {
        const char* name;
        TGraphicTableAttributes attrs;
        std::vector<Op> ops;
        bool vis, sel, ed, inf;
    } cases[] = {
        {"editable needs gtaEdit", drawOnly, {EdOn}, true, true, false, true},
        {"selectable needs gtaSelect", drawOnly, {SelOff, SelOn}, true, false, false, true},
        {"infoable needs gtaInfo", drawOnly, {InfOff, InfOn}, true, true, false, false},
        {"visible off clears the rest", all, {EdOn, VisOff}, false, false, false, false},
        {"selectable on sets visible", all, {VisOff, SelOn}, true, true, false, false},
        {"editable on sets selectable and visible", all, {VisOff, EdOn}, true, true, true, false},
        {"infoable on sets visible", all, {VisOff, InfOn}, true, false, false, true},
        {"selectable off clears editable", all, {EdOn, SelOff}, true, false, false, true},
        {"visible needs gtaDraw", AttrSet(gtaInfo), {VisOff, VisOn}, false, false, false, false},
    };
    for (const auto& c : cases) {
        TTestTable table;
        table.attrs = c.attrs;
        TLayerListItem item(&table);
        TLayerState& s = item.LayerState();
        for (Op op : c.ops) {
            switch (op) {
            case VisOff:
                s.SetVisible(false);
                break;
            case VisOn:
                s.SetVisible(true);
                break;
            case SelOff:
                s.SetSelectable(false);
                break;
            case SelOn:
                s.SetSelectable(true);
                break;
            case EdOff:
                s.SetEditable(false);
                break;
            case EdOn:
                s.SetEditable(true);
                break;
            case InfOff:
                s.SetInfoable(false);
                break;
            case InfOn:
                s.SetInfoable(true);
                break;
            }
        }
        EXPECT_EQ(s.Visible(), c.vis) << c.name;
        EXPECT_EQ(s.Selectable(), c.sel) << c.name;
        EXPECT_EQ(s.Editable(), c.ed) << c.name;
        EXPECT_EQ(s.Infoable(), c.inf) << c.name;
    }
}

TEST(LayerState, ZoomVisibleUsesTheBandOnlyWithAScale) {
    TLayerState s;
    s.SetZoomLayered(true);
    s.SetZLMinScale(1000);
    s.SetZLMaxScale(5000);
    EXPECT_TRUE(s.ZoomVisible(1000));
    EXPECT_TRUE(s.ZoomVisible(5000));
    EXPECT_FALSE(s.ZoomVisible(999));
    EXPECT_FALSE(s.ZoomVisible(5001));
    EXPECT_TRUE(s.ZoomVisible(-1)); // no units: the band is ignored
    s.SetVisible(false);
    EXPECT_FALSE(s.ZoomVisible(-1));
    EXPECT_FALSE(s.ZoomVisible(2000));
}

TEST(LayerItem, StyleOverrideStream) {
    TTestTable table;
    TLayerListItem item(&table);
    TBasicObjectStyle red;
    red.PenColor = 255;
    EXPECT_EQ(MessageOf([&] { item.InitStyleOverride(red); }),
              "InitStyleOverride: GraphicTable is inactive");
    EXPECT_EQ(MessageOf([&] { item.OverrideStyle(1, red); }),
              "OverrideStyle: Layer has not been InitStyleOverride'd");
    item.LayerState().SetStyleOverride(true); // refused while the stream is empty
    EXPECT_FALSE(item.LayerState().StyleOverride());
    TLayerListItem noTable(nullptr);
    EXPECT_EQ(MessageOf([&] { noTable.InitStyleOverride(red); }),
              "InitStyleOverride: Invalid GraphicTable in layer");

    table.count = 3;
    table.Open();
    item.InitStyleOverride(red);
    EXPECT_EQ(item.RecStyleOver().Size(), 4 * 12); // IDs 0..3
    EXPECT_TRUE(item.LayerState().StyleOverride());
    TBasicObjectStyle blue;
    blue.PenColor = 0xFF0000;
    item.OverrideStyle(2, blue);
    TBasicObjectStyle read;
    std::memcpy(&read, item.RecStyleOver().Memory() + 24, 12);
    EXPECT_EQ(+read.PenColor, 0xFF0000u);
    std::memcpy(&read, item.RecStyleOver().Memory() + 36, 12);
    EXPECT_EQ(+read.PenColor, 255u);
    item.InitStyleOverride(red); // a second initialisation starts afresh
    EXPECT_EQ(item.RecStyleOver().Size(), 4 * 12);
    std::memcpy(&read, item.RecStyleOver().Memory() + 24, 12);
    EXPECT_EQ(+read.PenColor, 255u);
    item.RemoveStyleOverride();
    EXPECT_EQ(item.RecStyleOver().Size(), 0);
    EXPECT_FALSE(item.LayerState().StyleOverride());
}

// --- Layer list ---------------------------------------------------------------------------------

class LayerListTest : public ::testing::Test {
protected:
    LayerListTest() {
        vp.setObjectName("GraphicViewport1");
        a.SetName("A");
        b.SetName("B");
        c.SetName("C");
    }
    TGraphicViewport vp;
    TTestTable a, b, c;
};

TEST_F(LayerListTest, NewLayersGoOnTopAndIndexesFollow) {
    TLayerList& l = vp.Layers();
    int changes = 0;
    l.OnChange = [&](TLayerList&) { ++changes; };
    EXPECT_EQ(l.Add(&a), 0);
    EXPECT_EQ(l.Add(&b), 0);
    EXPECT_EQ(l.Insert(&c, 99), 2); // clamped to the end: the bottom layer
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(l.GetLayerItem(0)->GraphicTable(), &b);
    EXPECT_EQ(l.GetLayerItem(1)->GraphicTable(), &a);
    EXPECT_EQ(l.GetLayerItem(2)->GraphicTable(), &c);
    EXPECT_EQ(l.IndexOfTable(&c), 2);
    EXPECT_EQ(l.IndexOf(l.GetLayerItem(1)), 1);
    EXPECT_EQ(a.ViewportCount(), 1);
    EXPECT_EQ(l.GetLayerItem(3), nullptr);
    EXPECT_EQ(l.GetLayerItem(-1), nullptr);

    EXPECT_EQ(l.Move(2, 0), 0);
    EXPECT_EQ(l.GetLayerItem(0)->GraphicTable(), &c);
    EXPECT_EQ(l.Move(0, 50), 2);
    EXPECT_EQ(l.MoveBy(2, -1), 1);
    EXPECT_TRUE(l.Exchange(0, 2));
    EXPECT_FALSE(l.Exchange(0, 3));
    EXPECT_FALSE(l.Delete(3));
    EXPECT_FALSE(l.Delete(-1));

    EXPECT_TRUE(l.Remove(&a));
    EXPECT_FALSE(l.Remove(&a));
    EXPECT_EQ(a.ViewportCount(), 0);
    EXPECT_EQ(l.Count(), 2);
    l.RemoveAll();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(b.ViewportCount(), 0);
}

TEST_F(LayerListTest, InsertRefusesBadTablesAndLeavesTheListUnchanged) {
    TLayerList& l = vp.Layers();
    l.Add(&a);
    EXPECT_EQ(MessageOf([&] { l.Add(nullptr); }), "Add/InsertLayer: Invalid GraphicTable");
    EXPECT_EQ(MessageOf([&] { l.Add(&a); }), "Add Layer: A already used in GraphicViewport1");
    EXPECT_THROW(l.Add(&a), CEError);

    vp.Display().SetUnits(muMetres);
    b.SetUnits(muKm);
    EXPECT_EQ(MessageOf([&] { l.Add(&b); }),
              "Units of graphic table are not the same as the viewport units");
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(b.ViewportCount(), 0);
    c.SetUnits(muNone);
    EXPECT_NO_THROW(l.Add(&c)); // a table without units fits any viewport
    b.SetUnits(muMetres);
    EXPECT_NO_THROW(l.Add(&b));

    // Custom units compare the metres per unit within a relative 1e-13.
    TGraphicViewport custom;
    custom.Display().SetUnits(muCustom);
    custom.Display().SetMetresPerUnit(2.0);
    TTestTable near, far;
    near.SetUnits(muCustom);
    near.SetMetresPerUnit(2.0 * (1 + 1e-14));
    far.SetUnits(muCustom);
    far.SetMetresPerUnit(2.0 * (1 + 1e-12));
    EXPECT_NO_THROW(custom.Layers().Add(&near));
    EXPECT_THROW(custom.Layers().Add(&far), Exception);
}

TEST_F(LayerListTest, StoredLayerDataRestoresTheOrderAndWritesItBack) {
    TLayerList& l = vp.Layers();
    std::vector<TLayerDataEntry> stored(3);
    stored[0].Table = &a;
    stored[1].Table = &b;
    stored[1].Visible = false; // as a hidden layer is stored
    stored[1].Selectable = false;
    stored[1].Infoable = false;
    stored[2].Table = &c;
    stored[2].Selectable = false;
    stored[2].Editable = true; // editable implies selectable and visible
    int changes = 0;
    l.OnChange = [&](TLayerList&) { ++changes; };
    l.ReadLayerData(stored);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(l.Count(), 3);
    EXPECT_EQ(l.GetLayerItem(0)->GraphicTable(), &c);
    EXPECT_EQ(l.GetLayerItem(2)->GraphicTable(), &a);
    EXPECT_FALSE(l.GetLayerItem(1)->LayerState().Visible());
    EXPECT_FALSE(l.GetLayerItem(1)->LayerState().Selectable());
    EXPECT_TRUE(l.GetLayerItem(0)->LayerState().Selectable());
    EXPECT_TRUE(l.GetLayerItem(0)->LayerState().Editable());
    // The flags pass through the setters in their stored order, so a later flag's
    // implication wins over an earlier one.
    TGraphicViewport other;
    TLayerDataEntry odd;
    odd.Table = &a;
    odd.Visible = false;
    other.Layers().ReadLayerData({odd});
    EXPECT_TRUE(other.Layers().GetLayerItem(0)->LayerState().Visible());
    std::vector<TLayerDataEntry> written = l.WriteLayerData();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].Table, &a);
    EXPECT_EQ(written[1].Table, &b);
    EXPECT_EQ(written[2].Table, &c);
    EXPECT_FALSE(written[1].Visible);
    EXPECT_TRUE(written[2].Editable);
}

TEST_F(LayerListTest, StateChangesReachTheListAndAssignCopiesLayers) {
    TLayerList& l = vp.Layers();
    l.Add(&a);
    l.Add(&b);
    TLayerListItem* changed = nullptr;
    l.OnLayerStateChange = [&](TLayerList&, TLayerListItem& item) { changed = &item; };
    l.GetLayerItem(1)->LayerState().SetVisible(false);
    EXPECT_EQ(changed, l.GetLayerItem(1));
    l.GetLayerItem(0)->SetThematicTable(&c);
    EXPECT_EQ(l.IndexOfThematicTable(&c), 0);

    TGraphicViewport other;
    other.Layers().Assign(l);
    ASSERT_EQ(other.Layers().Count(), 2);
    EXPECT_EQ(other.Layers().GetLayerItem(0)->GraphicTable(), &b);
    EXPECT_EQ(other.Layers().GetLayerItem(1)->GraphicTable(), &a);
    EXPECT_FALSE(other.Layers().GetLayerItem(1)->LayerState().Visible());
    EXPECT_EQ(other.Layers().GetLayerItem(0)->ThematicTable(), &c);
    EXPECT_EQ(a.ViewportCount(), 2);
}

TEST_F(LayerListTest, ExtentsUnionAndVisibleExtents) {
    TLayerList& l = vp.Layers();
    EXPECT_TRUE(IsEmptyFloatRect(l.GetExtents()));
    EXPECT_TRUE(IsEmptyFloatRect(l.GetVisibleExtents()));
    a.ext = {0, 10, 10, 0};
    b.ext = {5, 20, 30, 5};
    c.ext = {-100, 100, 100, -100};
    a.Open();
    b.Open();
    c.Open();
    c.count = 0; // active but empty: not part of the visible extents
    l.Add(&a);
    l.Add(&b);
    l.Add(&c);
    EXPECT_EQ(l.GetVisibleExtents(), (TFloatRect{0, 20, 30, 0}));
    l.GetLayerItem(1)->LayerState().SetVisible(false); // b
    EXPECT_EQ(l.GetVisibleExtents(), (TFloatRect{0, 10, 10, 0}));
    EXPECT_EQ(l.GetExtents(), (TFloatRect{-100, 100, 100, -100}));
    a.Close();
    EXPECT_TRUE(IsEmptyFloatRect(l.GetVisibleExtents()));
}

TEST_F(LayerListTest, DestroyingEitherSideUnlinksTheOther) {
    {
        TTestTable temp("Temp");
        vp.Layers().Add(&temp);
        vp.Layers().Add(&a);
        EXPECT_EQ(vp.Layers().Count(), 2);
    }
    EXPECT_EQ(vp.Layers().Count(), 1);
    EXPECT_EQ(vp.Layers().GetLayerItem(0)->GraphicTable(), &a);
    {
        TGraphicViewport temp;
        temp.Layers().Add(&b);
        EXPECT_EQ(b.ViewportCount(), 1);
    }
    EXPECT_EQ(b.ViewportCount(), 0);
}

// --- Abstract table ---------------------------------------------------------------------------

TEST(AbstractTable, BaseBehaviourAndMessages) {
    TGraphicTable t;
    TSpatialObjTable s;
    EXPECT_EQ(t.Description(), "Graphic Table");
    EXPECT_EQ(s.Description(), "Spatial object table");
    EXPECT_EQ(t.Units(), muNone);
    EXPECT_EQ(t.MetresPerUnit(), -1.0);
    EXPECT_FALSE(t.Active());
    EXPECT_TRUE(t.NotifyOnChange());
    EXPECT_EQ(t.Attributes(), AttrSet(gtaDraw));
    EXPECT_FALSE(t.CreateNewTable());
    EXPECT_EQ(t.CreateObject(TObjectInfo{}, nullptr), 0);
    EXPECT_FALSE(t.DeleteObject(1));
    EXPECT_EQ(t.ObjectCount(), 0);
    EXPECT_EQ(t.HighestObjNo(), 0);
    EXPECT_TRUE(IsEmptyFloatRect(t.Extents()));
    EXPECT_EQ(t.CheckForObject(0, 0, 1), 0);
    EXPECT_EQ(t.SelectionCount(), 0);
    TPolyLineSetD2 obj;
    EXPECT_EQ(MessageOf([&] { t.ModifyObj(obj); }), "Method not implemented");
    EXPECT_EQ(MessageOf([&] { t.ObjectExtents(1); }), "Method not implemented");
    EXPECT_EQ(MessageOf([&] { t.SelectIntersect(obj, false); }), "Method not implemented");
    EXPECT_EQ(MessageOf([&] { t.SetSearchArea({}); }), "Method not implemented");
    EXPECT_EQ(MessageOf([&] { t.MoveObjectTo(1, 0, 0); }), "Method not implemented");

    t.SetUnits(muKm);
    EXPECT_EQ(t.MetresPerUnit(), 1000.0);
    t.SetMetresPerUnit(3.0);
    t.SetUnits(muCustom); // a custom unit keeps what was set by hand
    EXPECT_EQ(t.MetresPerUnit(), 3.0);

    EXPECT_EQ(t.ComponentName(), "Graphic Table");
    t.SetDescription("");
    t.SetDiskLocation("/data/x.pgf");
    EXPECT_EQ(t.ComponentName(), "/data/x.pgf");
    t.SetName("PGFTable1");
    EXPECT_EQ(t.ComponentName(), "PGFTable1");

    int opened = 0, closed = 0;
    t.OnActivate = [&](TSpatialObjTable&) { ++opened; };
    t.OnDeactivate = [&](TSpatialObjTable&) { ++closed; };
    t.SetObjectNo(7);
    t.SetActive(true);
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(t.ObjectNo(), 1);
    t.SetActive(true); // no change, no second open
    t.SetActive(false);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
}

// A change notification grows the area by the table's margin, at least 6
// pixels' worth; with redrawing held back the area waits in the viewport.
TEST(TableNotification, MarginOfTwoPixelsGrowsBySix) {
    TGraphicViewport vp;
    vp.resize(400, 200);
    vp.Display().SetReq({0, 100, 100, 0}); // actual (-50, 100, 150, 0): 0.5 world units per pixel
    TTestTable t;
    t.ext = {0, 100, 100, 0};
    vp.SetAutoRedraw(false);
    vp.Layers().Add(&t);
    vp.NotifySelectionChange(nullptr); // computes the actual view; nothing to draw
    t.NotifyChange({40, 60, 60, 40}, 2, false);
    EXPECT_EQ(vp.ModifiedGraphicArea(), (TFloatRect{37, 63, 63, 37}));
    t.NotifyChange({10, 12, 12, 10}, 20, false); // a margin above 6 is kept
    EXPECT_EQ(vp.ModifiedGraphicArea(), (TFloatRect{0, 63, 63, 0}));
}

TEST(TableNotification, BusyCountCollectsChangesUntilTheLastEnd) {
    TGraphicViewport vp;
    vp.resize(400, 200);
    vp.Display().SetReq({0, 100, 100, 0});
    TTestTable t;
    t.ext = {0, 100, 100, 0};
    t.Open();
    vp.Layers().Add(&t);
    vp.ProcessGTableNotifyMessages(); // brings the off-screen images to the widget's size
    t.BeginViewportUpdate();
    t.BeginViewportUpdate();
    const int drawsBefore = t.draws;
    t.NotifyChange({10, 20, 20, 10}, 0, false);
    t.NotifyChange({70, 80, 80, 70}, 0, false);
    EXPECT_EQ(t.draws, drawsBefore);
    EXPECT_FALSE(IsEmptyFloatRect(vp.ModifiedGraphicArea()));
    t.EndViewportUpdate(false);
    EXPECT_EQ(t.draws, drawsBefore); // still one level busy
    t.EndViewportUpdate(true);
    EXPECT_EQ(t.draws, drawsBefore + 1); // the union, once
    EXPECT_TRUE(IsEmptyFloatRect(vp.ModifiedGraphicArea()));
    // The union of both areas, grown by 6 pixels (3 world units) on each side.
    EXPECT_NEAR(t.lastVp.Left, 7.0, 0.5);
    EXPECT_NEAR(t.lastVp.Right, 83.0, 0.5);
    EXPECT_NEAR(t.lastVp.Bottom, 7.0, 0.5);
    EXPECT_NEAR(t.lastVp.Top, 83.0, 0.5);
    EXPECT_EQ(vp.BusyRefCount(), 0);
    vp.DecBusyRefCount(false); // never below 0
    EXPECT_EQ(vp.BusyRefCount(), 0);
}
