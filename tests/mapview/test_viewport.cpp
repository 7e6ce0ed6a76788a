// The map viewport as a widget: view fitting, conversions, the mouse modes,
// drawing of raster and vector layers, and resizing. Runs on the offscreen platform.

#include "PGFtable.h"
#include "PlaniVP.h"
#include "RasterTable.h"
#include "mapview_test_env.h"
#include "temp_dir.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace plani;
using mvtest::TTestTable;

namespace {

void ExpectRectNear(const TFloatRect& r, double l, double t, double rt, double b,
                    double eps = 1e-9) {
    EXPECT_NEAR(r.Left, l, eps);
    EXPECT_NEAR(r.Top, t, eps);
    EXPECT_NEAR(r.Right, rt, eps);
    EXPECT_NEAR(r.Bottom, b, eps);
}

TMemoryStream LineData(const std::vector<TFloatPoint>& pts) {
    TMemoryStream s;
    s.WriteInt32(1);
    s.WriteInt32(static_cast<int32_t>(pts.size()));
    for (const auto& p : pts) {
        s.WriteDouble(p.X);
        s.WriteDouble(p.Y);
    }
    s.SetPosition(0);
    return s;
}

TBasicObjectStyle RedPen() {
    TBasicObjectStyle s;
    s.PenColor = 255;
    s.PenMode = pmCopy;
    s.PenWidth = 1;
    s.PenStyle = psSolid;
    s.BrushColor = 0xFFFF;
    return s;
}

// QTest takes the point (0, 0) for the widget's centre; this sends exactly the point given.
void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b);
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), b, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// One turn of the mouse wheel over the widget: Delta eighths of a degree (120 a notch).
void SendWheel(QWidget* w, QPoint pos, int Delta) {
    QWheelEvent e(QPointF(pos), w->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, Delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

class ViewportTest : public ::testing::Test {
protected:
    ViewportTest() {
        vp.setObjectName("GraphicViewport1");
        vp.resize(400, 200);
        vp.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&vp));
        QCoreApplication::processEvents();
    }
    void ShowRequest(const TFloatRect& r) {
        vp.Display().SetReq(r);
        vp.RedrawImageData(true);
    }
    QRgb ScreenPixel(const TFloatPoint& w) {
        TPoint p = vp.CoOrdToScreen(w);
        return vp.ScreenBM().pixel(p.X, p.Y);
    }
    TGraphicViewport vp;
};

} // namespace

TEST_F(ViewportTest, RequestIsFittedAndConvertedBothWays) {
    ShowRequest({0, 100, 100, 0});
    EXPECT_EQ(vp.Display().Actual(), (TFloatRect{-50, 100, 150, 0}));
    EXPECT_EQ(vp.ScreenToCoOrd(TPoint{200, 100}), (TFloatPoint{50, 50}));
    EXPECT_EQ(vp.CoOrdToScreen(TFloatPoint{150, 0}), (TPoint{400, 200}));
    EXPECT_EQ(vp.CoOrdToScreen(TFloatRect{-50, 100, 150, 0}), (TRect{0, 0, 400, 200}));
    EXPECT_EQ(vp.ScreenToCoOrd(TRect{0, 0, 400, 200}), (TFloatRect{-50, 100, 150, 0}));
    EXPECT_EQ(vp.CoOrdToScreen(TFloatPoint{-50.25, 100}), (TPoint{0, 0})); // -0.5 rounds to even
    EXPECT_EQ(vp.CoOrdToScreen(TFloatPoint{1e12, 0}).X, 2147483647);
    ASSERT_NE(vp.Transform(), nullptr);
    EXPECT_EQ(vp.Transform()->WorldtoDeviceX(50), 200);
    EXPECT_DOUBLE_EQ(vp.Display().ActualWidth(), 200);
    EXPECT_DOUBLE_EQ(vp.Display().ActualHeight(), 100);
    EXPECT_EQ(vp.Display().ActualCentre(), (TFloatPoint{50, 50}));
}

TEST_F(ViewportTest, ZoomToVisibleExtentsOfASinglePoint) {
    TTestTable t;
    t.ext = {10, 20, 10, 20};
    t.Open();
    vp.Layers().Add(&t);
    vp.ZoomToVisibleExtents();
    vp.RedrawImageData(true);
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{9, 22, 11, 18}));
    ExpectRectNear(vp.Display().Actual(), 6, 22, 14, 18);
}

TEST_F(ViewportTest, ZoomToVisibleExtentsWithNothingVisible) {
    TTestTable hidden;
    hidden.ext = {0, 10, 10, 0};
    vp.Layers().Add(&hidden);
    vp.Layers().GetLayerItem(0)->LayerState().SetVisible(false);
    hidden.Open();
    vp.ZoomToVisibleExtents();
    vp.RedrawImageData(true);
    EXPECT_TRUE(IsEmptyFloatRect(vp.Display().Req()));
    EXPECT_TRUE(IsEmptyFloatRect(vp.Display().Actual()));
    EXPECT_EQ(vp.ScreenToCoOrd(TPoint{200, 100}), (TFloatPoint{0, 0}));
    EXPECT_EQ(vp.CoOrdToScreen(TFloatPoint{5, 5}), (TPoint{0, 0}));
    EXPECT_EQ(vp.Transform(), nullptr);
    EXPECT_EQ(hidden.draws, 0);
}

TEST_F(ViewportTest, ZoomInByClickCentresOnThePoint) {
    ShowRequest({0, 100, 100, 0});
    vp.SetMode(vpmZoomIn);
    EXPECT_EQ(vp.cursor().shape(), Qt::BitmapCursor);
    QTest::mouseClick(&vp, Qt::LeftButton, {}, QPoint(200, 100));
    ExpectRectNear(vp.Display().Req(), 50 - 80, 50 + 40, 50 + 80, 50 - 40);
    ExpectRectNear(vp.Display().Actual(), -30, 90, 130, 10);
}

TEST_F(ViewportTest, ZoomInByRubberBand) {
    ShowRequest({0, 100, 100, 0});
    vp.SetMode(vpmZoomIn);
    QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseMove(&vp, QPoint(300, 150));
    EXPECT_TRUE(vp.SelectBoxActive());
    EXPECT_EQ(vp.SelectBox(), (TRect{100, 50, 300, 150}));
    QTest::mouseRelease(&vp, Qt::LeftButton, {}, QPoint(300, 150));
    EXPECT_FALSE(vp.SelectBoxActive());
    ExpectRectNear(vp.Display().Req(), 0, 75, 100, 25);
}

// Dragging left or up moves the band's left or top edge with the pointer: a band
// from (10, 10) to (3, 50) has no width and zooms in about (3, 10) as a click.
TEST_F(ViewportTest, RubberBandDraggedLeftZoomsAsAClick) {
    ShowRequest({0, 100, 100, 0});
    vp.SetMode(vpmZoomIn);
    QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&vp, QPoint(3, 50));
    EXPECT_EQ(vp.SelectBox(), (TRect{3, 10, 3, 50}));
    QTest::mouseRelease(&vp, Qt::LeftButton, {}, QPoint(3, 50));
    const double x = -50 + 3 * 0.5, y = 100 - 10 * 0.5;
    ExpectRectNear(vp.Display().Req(), x - 80, y + 40, x + 80, y - 40);
}

TEST_F(ViewportTest, ZoomOutAboutTheClickWithoutRubberBand) {
    ShowRequest({0, 100, 100, 0});
    vp.SetMode(vpmZoomOut);
    SendMouse(&vp, QEvent::MouseButtonPress, QPoint(0, 0));
    EXPECT_FALSE(vp.SelectBoxActive());
    SendMouse(&vp, QEvent::MouseButtonRelease, QPoint(0, 0));
    ExpectRectNear(vp.Display().Req(), -50 - 125, 100 + 62.5, -50 + 125, 100 - 62.5);
}

TEST_F(ViewportTest, PanDragMovesThePictureThenTheRequest) {
    TTestTable block;
    block.ext = {0, 100, 100, 0};
    block.fill = Qt::blue;
    block.Open();
    vp.Layers().Add(&block);
    ShowRequest({0, 100, 100, 0}); // the block covers pixels 100..299 across
    vp.SetMode(vpmPan);
    EXPECT_EQ(vp.cursor().shape(), Qt::OpenHandCursor);
    double dragWorldX = 0;
    vp.OnMouseMove = [&](TGraphicViewport&, TShiftState, int, int, double wx, double) {
        dragWorldX = wx;
    };
    QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(&vp, QPoint(140, 120));
    EXPECT_DOUBLE_EQ(dragWorldX, 0); // the drag's start point, in world units
    // While dragging, the picture is shown moved and the uncovered strips are blank.
    QImage shown = vp.grab().toImage();
    EXPECT_EQ(shown.pixel(20, 100), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(200, 10), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(139, 100), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(141, 100), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(339, 100), qRgb(0, 0, 255));
    QTest::mouseRelease(&vp, Qt::LeftButton, {}, QPoint(140, 120));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // 40 pixels right and 20 down: 20 world units west and 10 north.
    ExpectRectNear(vp.Display().Req(), -20, 110, 80, 10);
    EXPECT_EQ(ScreenPixel({50, 50}), qRgb(0, 0, 255));
    EXPECT_EQ(vp.ScreenBM().pixel(130, 100), qRgb(255, 255, 255));
}

TEST_F(ViewportTest, UserModeClickFiresOnlyItsEvents) {
    ShowRequest({0, 100, 100, 0});
    int downs = 0, ups = 0, dbl = 0;
    TFloatPoint clicked;
    Qt::MouseButton button = Qt::NoButton;
    vp.OnMouseDown = [&](TGraphicViewport& sender, Qt::MouseButton b, TShiftState, int x, int y) {
        ++downs;
        button = b;
        clicked = sender.ScreenToCoOrd(TPoint{x, y});
    };
    vp.OnMouseUp = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++ups; };
    vp.OnDblClick = [&](TGraphicViewport&) { ++dbl; };
    QTest::mouseClick(&vp, Qt::LeftButton, {}, QPoint(300, 50));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(button, Qt::LeftButton);
    EXPECT_EQ(clicked, (TFloatPoint{100, 75}));
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));
    EXPECT_EQ(vp.Display().Actual(), (TFloatRect{-50, 100, 150, 0}));
    EXPECT_FALSE(vp.SelectBoxActive());
    QTest::mouseClick(&vp, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(button, Qt::RightButton);
    QTest::mouseDClick(&vp, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));

    // Any button fires OnMouseDown in the zoom modes too; only the left one zooms.
    vp.SetMode(vpmZoomIn);
    QTest::mouseClick(&vp, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));
}

TEST_F(ViewportTest, ButtonDownDuringADrawingIsIgnored) {
    TTestTable t;
    t.ext = {0, 100, 100, 0};
    t.Open();
    vp.Layers().Add(&t);
    int downs = 0;
    bool busyInside = false;
    vp.OnMouseDown = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++downs; };
    t.onDraw = [&](bool&) {
        busyInside = vp.RedrawBusy();
        QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&vp, Qt::LeftButton, {}, QPoint(5, 5));
    };
    vp.SetMode(vpmZoomIn);
    ShowRequest({0, 100, 100, 0});
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0})); // no zoom either
    EXPECT_FALSE(vp.RedrawBusy());
    t.onDraw = nullptr;
    QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(downs, 1);
}

TEST_F(ViewportTest, EveryModeHasACursorAndClicksSafely) {
    ShowRequest({0, 100, 100, 0});
    int downs = 0;
    vp.OnMouseDown = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++downs; };
    struct Case {
        TViewportMode mode;
        Qt::CursorShape shape;
    } cases[] = {
        {vpmUserDefined, Qt::ArrowCursor},      {vpmInfo, Qt::BitmapCursor},
        {vpmPan, Qt::OpenHandCursor},           {vpmZoomIn, Qt::BitmapCursor},
        {vpmZoomOut, Qt::BitmapCursor},         {vpmRuler, Qt::CrossCursor},
        {vpmSelectIndiv, Qt::ArrowCursor},      {vpmSelectCirc, Qt::BitmapCursor},
        {vpmSelectRect, Qt::BitmapCursor},      {vpmSelectPoly, Qt::CrossCursor},
        {vpmSelectContaining, Qt::ArrowCursor}, {vpmCreatePolygon, Qt::CrossCursor},
        {vpmCreatePolyline, Qt::CrossCursor},   {vpmCreatePoint, Qt::CrossCursor},
        {vpmCreateText, Qt::CrossCursor},       {vpmCreateEllipse, Qt::CrossCursor},
        {vpmCreatePolyBezier, Qt::CrossCursor},
    };
    int n = 0;
    for (const auto& c : cases) {
        vp.SetMode(c.mode);
        EXPECT_EQ(vp.Mode(), c.mode);
        EXPECT_EQ(vp.cursor().shape(), c.shape) << int(c.mode);
        const bool navigates = c.mode == vpmPan || c.mode == vpmZoomIn || c.mode == vpmZoomOut;
        if (navigates)
            continue;
        QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(&vp, QPoint(80, 90));
        QTest::mouseRelease(&vp, Qt::LeftButton, {}, QPoint(80, 90));
        QTest::mouseDClick(&vp, Qt::LeftButton, {}, QPoint(80, 90));
        n += 2;
        EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0})) << int(c.mode);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(downs, n);
}

class MapPaneTest : public ViewportTest {
protected:
    MapPaneTest() {
        // A 100 x 50 background: green west half, yellow east half, at 10 units per pixel.
        QImage img(100, 50, QImage::Format_RGB32);
        img.fill(Qt::green);
        for (int y = 0; y < 50; ++y)
            for (int x = 50; x < 100; ++x)
                img.setPixel(x, y, qRgb(255, 255, 0));
        const std::string bmp = dir / "map.bmp";
        img.save(QString::fromStdString(bmp), "BMP");
        std::ofstream(dir / "map.bpw") << "10\n0\n0\n-10\n1005\n1995\n";
        raster.SetDiskLocation(bmp);
        raster.Open();
        lines.SetRamFile(true);
        lines.SetName("PGFTable1");
        lines.CreateNewTable();
        TLayerDataEntry rasterLayer, lineLayer;
        rasterLayer.Table = &raster;
        rasterLayer.Selectable = rasterLayer.Infoable = false;
        lineLayer.Table = &lines;
        lineLayer.Editable = true;
        vp.Layers().ReadLayerData({rasterLayer, lineLayer}); // the lines on top
        vp.ZoomToVisibleExtents();
        vp.RedrawImageData(true);
    }
    void NewRectangle(double x1, double y1, double x2, double y2) {
        TMemoryStream s = LineData({{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}});
        lines.CreateNewTable();
        lines.CreatePolyline(RedPen(), s);
    }
    testutil::TempDir dir;
    TRasterTable raster;
    TPGFTable lines;
};

TEST_F(MapPaneTest, DrawsTheBackgroundAndTheRectangleOverIt) {
    // Extents (1000, 2000, 2000, 1500) in a 2:1 widget: shown whole, 2.5 units per pixel.
    ExpectRectNear(vp.Display().Actual(), 1000, 2000, 2000, 1500);
    EXPECT_EQ(ScreenPixel({1200, 1700}), qRgb(0, 255, 0));
    EXPECT_EQ(ScreenPixel({1800, 1700}), qRgb(255, 255, 0));
    NewRectangle(1100, 1600, 1700, 1900);
    vp.RedrawImageData(true);
    EXPECT_EQ(ScreenPixel({1400, 1600}), qRgb(255, 0, 0));
    EXPECT_EQ(ScreenPixel({1700, 1750}), qRgb(255, 0, 0));
    EXPECT_EQ(ScreenPixel({1400, 1750}), qRgb(0, 255, 0));

    // The same view drawn into an image of another size.
    QImage other(200, 100, QImage::Format_RGB32);
    QPainter p(&other);
    TFloatRect drawn =
        vp.GenerateImageData(p, {0, 0, 200, 100}, vp.Display().Actual(), true, false, true);
    p.end();
    ExpectRectNear(drawn, 1000, 2000, 2000, 1500);
    TWDTransform tr(drawn, {0, 0, 200, 100});
    EXPECT_EQ(other.pixel(tr.WorldtoDeviceX(1400), tr.WorldtoDeviceY(1600)), qRgb(255, 0, 0));
    EXPECT_EQ(other.pixel(tr.WorldtoDeviceX(1900), tr.WorldtoDeviceY(1550)), qRgb(255, 255, 0));
}

// A table change repaints its area at once: the old rectangle is erased and the
// new one drawn over the background without a full redraw.
TEST_F(MapPaneTest, TableChangesRepaintTheirArea) {
    NewRectangle(1100, 1600, 1300, 1900);
    EXPECT_EQ(ScreenPixel({1200, 1600}), qRgb(255, 0, 0));
    NewRectangle(1600, 1600, 1900, 1900);
    EXPECT_EQ(ScreenPixel({1200, 1600}), qRgb(0, 255, 0));
    EXPECT_EQ(ScreenPixel({1750, 1600}), qRgb(255, 0, 0));
    lines.CreateNewTable();
    EXPECT_EQ(ScreenPixel({1750, 1600}), qRgb(255, 255, 0));
    raster.Close();
    EXPECT_EQ(ScreenPixel({1750, 1600}), qRgb(255, 255, 255));
}

// After a resize the actual view is the request fitted to the new size, so a
// click lands on the world position that the redrawn picture shows there.
TEST_F(MapPaneTest, ResizeKeepsClicksAndPictureTogether) {
    NewRectangle(1100, 1600, 1700, 1900);
    vp.Display().SetReq({1000, 2000, 2000, 1500});
    vp.RedrawImageData(true);
    TFloatPoint clicked;
    vp.OnMouseDown = [&](TGraphicViewport& s, Qt::MouseButton, TShiftState, int x, int y) {
        clicked = s.ScreenToCoOrd(TPoint{x, y});
    };
    for (QSize size : {QSize(600, 200), QSize(300, 300), QSize(400, 200)}) {
        vp.resize(size);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_EQ(vp.ScreenBM().size(), size);
        const TFloatRect fitted =
            FitRectToDevice({1000, 2000, 2000, 1500}, {0, 0, size.width(), size.height()});
        ExpectRectNear(vp.Display().Actual(), fitted.Left, fitted.Top, fitted.Right, fitted.Bottom);
        // Where the rectangle's west edge is drawn, a click gives its x.
        const TPoint edge = vp.CoOrdToScreen(TFloatPoint{1100, 1750});
        EXPECT_EQ(vp.ScreenBM().pixel(edge.X, edge.Y), qRgb(255, 0, 0)) << size.width();
        QTest::mouseClick(&vp, Qt::LeftButton, {}, QPoint(edge.X, edge.Y));
        EXPECT_NEAR(clicked.X, 1100, vp.Display().ActualWidth() / size.width());
        EXPECT_NEAR(clicked.Y, 1750, vp.Display().ActualHeight() / size.height());
    }
}

TEST_F(ViewportTest, ScaleFollowsTheUnitsAndKeepScaleHoldsIt) {
    ShowRequest({0, 100, 100, 0});
    EXPECT_EQ(vp.Display().ReqScale(), -1);
    vp.Display().SetReqScale(5000); // no units: nothing changes
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));
    EXPECT_EQ(vp.Display().HeldScale(), -1);

    const double dpi = vp.logicalDpiX();
    vp.Display().SetUnits(muMetres);
    EXPECT_NEAR(vp.Display().ReqScale(), 100 / (400 * 0.0254 / dpi), 1e-6);
    vp.RedrawImageData(true);
    EXPECT_NEAR(vp.Display().ActualScale(), 200 / (400 * 0.0254 / dpi), 1e-6);
    vp.Display().SetReqScale(10000);
    EXPECT_NEAR(vp.Display().ReqScale(), 10000, 1e-6);
    EXPECT_NEAR(vp.Display().ReqCentreX(), 50, 1e-9);
    vp.Display().SetKeepScale(true);
    vp.resize(800, 200);
    QCoreApplication::processEvents();
    EXPECT_NEAR(vp.Display().ReqScale(), 10000, 1e-6); // the request grew with the widget
    EXPECT_NEAR(vp.Display().ActualScale(), 10000, 1e-6);
}

// The stored display properties, read in their stored order, leave the request
// equal to the four stored edges.
TEST_F(ViewportTest, StoredDisplayPropertiesInOrder) {
    TViewportParameters& d = vp.Display();
    d.SetReqScale(-1);
    d.SetReqCentreX(4283850.299195001);
    d.SetReqCentreY(4063239.52112);
    d.SetReqLeft(-407353.2934125);
    d.SetReqTop(7748239.5209575);
    d.SetReqRight(8975053.891802501);
    d.SetReqBottom(378239.5212825006);
    d.SetUnits(muNone);
    d.SetMetresPerUnit(-1);
    d.SetKeepScale(false);
    EXPECT_EQ(d.Req(),
              (TFloatRect{-407353.2934125, 7748239.5209575, 8975053.891802501, 378239.5212825006}));
    EXPECT_TRUE(IsEmptyFloatRect(d.Actual()));
}

// A long drawing lets events through every 440 ms; one that cancels stops it.
TEST_F(ViewportTest, LongDrawingProcessesEventsAndCanBeCancelled) {
    TPGFTable t;
    t.SetRamFile(true);
    t.CreateNewTable();
    for (int i = 0; i < 400; ++i) {
        TMemoryStream s = LineData({{0, double(i)}, {100, double(i)}});
        t.CreatePolyline(RedPen(), s);
    }
    vp.Layers().Add(&t);
    int drawn = 0;
    t.OnPreDrawObject = [&](TGraphicTable&, int32_t, std::unique_ptr<TSpatialObjE2>&) {
        ++drawn;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    vp.Display().SetReq({0, 400, 100, 0});
    QTimer::singleShot(300, &vp,
                       [&] { vp.CancelOperation(); }); // due before the first 440 ms break
    vp.RedrawImageData(true);
    EXPECT_GT(drawn, 0);
    EXPECT_LT(drawn, 400);
    EXPECT_FALSE(vp.RedrawBusy());
}

// A redraw asked for while a drawing runs (here from inside it, as an event let
// through by a long drawing would) stops that drawing and is carried out once it
// has stopped; the running drawing stays busy meanwhile.
TEST_F(ViewportTest, RedrawRequestedDuringADrawingIsNotLost) {
    TTestTable t;
    t.ext = {0, 1000, 1000, 0};
    t.Open();
    vp.Layers().Add(&t);
    ShowRequest({0, 100, 100, 0});
    bool busyAfterNested = false;
    int downs = 0;
    vp.OnMouseDown = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++downs; };
    bool first = true;
    t.onDraw = [&](bool&) {
        if (!first)
            return;
        first = false;
        vp.Display().SetReq({200, 300, 300, 200});
        vp.RedrawImageData(true);
        busyAfterNested = vp.RedrawBusy();
        QTest::mousePress(&vp, Qt::LeftButton, {}, QPoint(5, 5));
    };
    const int before = t.draws;
    vp.RedrawImageData(true);
    EXPECT_TRUE(busyAfterNested);
    EXPECT_EQ(downs, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.draws, before + 2);
    ExpectRectNear(vp.Display().Actual(), 150, 300, 350, 200);
    ExpectRectNear(t.lastVp, 150, 300, 350, 200);
}

TEST_F(ViewportTest, BackgroundColourFillsWhatLayersLeave) {
    vp.SetBackgroundColor(0x00FFFF); // yellow
    ShowRequest({0, 100, 100, 0});
    EXPECT_EQ(vp.ScreenBM().pixel(10, 10), qRgb(255, 255, 0));
    QImage shown = vp.grab().toImage();
    EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 255, 0));
}

// The wheel zooms about the point under the pointer, ZoomFactor per notch, in every
// mode, and no further than the zoom limits.
TEST_F(ViewportTest, WheelZoomKeepsThePointUnderThePointer) {
    ShowRequest({0, 100, 100, 0}); // actual view 200 x 100 world units
    int downs = 0;
    vp.OnMouseDown = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++downs; };
    for (TViewportMode mode : {vpmUserDefined, vpmZoomIn, vpmZoomOut, vpmPan}) {
        vp.SetMode(mode);
        for (const auto& [pos, delta] :
             {std::pair{QPoint(300, 40), 120}, {QPoint(37, 181), -240}, {QPoint(0, 0), 60}}) {
            const double width = vp.Display().ActualWidth();
            const TFloatPoint under = vp.ScreenToCoOrd(TPoint{pos.x(), pos.y()});
            SendWheel(&vp, pos, delta);
            const TFloatPoint after = vp.ScreenToCoOrd(TPoint{pos.x(), pos.y()});
            EXPECT_NEAR(after.X, under.X, 1e-9 * width) << int(mode);
            EXPECT_NEAR(after.Y, under.Y, 1e-9 * width) << int(mode);
            EXPECT_NEAR(vp.Display().ActualWidth(), width / std::pow(1.25, delta / 120.0),
                        1e-9 * width);
        }
    }
    EXPECT_EQ(downs, 0); // the wheel is no click

    vp.SetMode(vpmUserDefined);
    vp.SetZoomLimits(150, 400);
    for (int i = 0; i < 10; ++i)
        SendWheel(&vp, {200, 100}, 120);
    EXPECT_NEAR(vp.Display().ActualWidth(), 150, 1e-9);
    for (int i = 0; i < 10; ++i)
        SendWheel(&vp, {200, 100}, -120);
    EXPECT_NEAR(vp.Display().ActualWidth(), 400, 1e-9);
}

TEST_F(ViewportTest, WheelWithoutAViewDoesNothing) {
    SendWheel(&vp, {200, 100}, 120);
    EXPECT_TRUE(IsEmptyFloatRect(vp.Display().Req()));
    EXPECT_EQ(vp.Transform(), nullptr);
}

// With MiddleButtonPan a drag with the middle button pans in every mode, and a
// middle click without a drag reaches OnMouseDown on release; without it a middle
// press is a button-down at once, as before.
TEST_F(ViewportTest, MiddleButtonDragPansInEveryMode) {
    std::vector<std::pair<Qt::MouseButton, TPoint>> downs;
    int ups = 0;
    vp.OnMouseDown = [&](TGraphicViewport&, Qt::MouseButton b, TShiftState, int x, int y) {
        downs.push_back({b, TPoint{x, y}});
    };
    vp.OnMouseUp = [&](TGraphicViewport&, Qt::MouseButton, TShiftState, int, int) { ++ups; };
    vp.SetMiddleButtonPan(true);
    for (TViewportMode mode : {vpmUserDefined, vpmZoomIn, vpmZoomOut, vpmPan}) {
        ShowRequest({0, 100, 100, 0});
        vp.SetMode(mode);
        downs.clear();
        // 40 pixels right and 20 down: 20 world units west and 10 north.
        SendMouse(&vp, QEvent::MouseButtonPress, {100, 100}, Qt::MiddleButton);
        SendMouse(&vp, QEvent::MouseMove, {120, 110}, Qt::MiddleButton);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
        SendMouse(&vp, QEvent::MouseMove, {140, 120}, Qt::MiddleButton);
        SendMouse(&vp, QEvent::MouseButtonRelease, {140, 120}, Qt::MiddleButton);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ExpectRectNear(vp.Display().Req(), -20, 110, 80, 10);
        EXPECT_TRUE(downs.empty()) << int(mode);
        EXPECT_EQ(vp.Mode(), mode);
    }
    // A middle click is still a click, at the place it was pressed.
    ShowRequest({0, 100, 100, 0});
    vp.SetMode(vpmUserDefined);
    ups = 0;
    SendMouse(&vp, QEvent::MouseButtonPress, {300, 50}, Qt::MiddleButton);
    SendMouse(&vp, QEvent::MouseMove, {301, 51}, Qt::MiddleButton); // less than a drag
    EXPECT_TRUE(downs.empty());
    SendMouse(&vp, QEvent::MouseButtonRelease, {301, 51}, Qt::MiddleButton);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].first, Qt::MiddleButton);
    EXPECT_EQ(downs[0].second.X, 300);
    EXPECT_EQ(downs[0].second.Y, 50);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));

    vp.SetMiddleButtonPan(false);
    downs.clear();
    SendMouse(&vp, QEvent::MouseButtonPress, {100, 100}, Qt::MiddleButton);
    EXPECT_EQ(downs.size(), 1u);
    SendMouse(&vp, QEvent::MouseMove, {140, 120}, Qt::MiddleButton);
    SendMouse(&vp, QEvent::MouseButtonRelease, {140, 120}, Qt::MiddleButton);
    EXPECT_EQ(vp.Display().Req(), (TFloatRect{0, 100, 100, 0}));
}
