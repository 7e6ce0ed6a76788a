// World/device transform, rectangle helpers, clamped mappings and drawing styles.

#include "PlaniMisc.h"
#include "PlaniObjects.h"
#include "mapview_test_env.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace plani;

namespace {

void ExpectRect(const TFloatRect& r, double l, double t, double rt, double b) {
    EXPECT_DOUBLE_EQ(r.Left, l);
    EXPECT_DOUBLE_EQ(r.Top, t);
    EXPECT_DOUBLE_EQ(r.Right, rt);
    EXPECT_DOUBLE_EQ(r.Bottom, b);
}

} // namespace

TEST(Transform, WorkedExampleMapsBothWays) {
    TWDTransform tr(TFloatRect{0, 100, 200, 0}, TRect{0, 0, 400, 200});
    EXPECT_EQ(tr.WorldtoDeviceX(50), 100);
    EXPECT_EQ(tr.WorldtoDeviceY(100), 0);
    EXPECT_EQ(tr.WorldtoDeviceY(0), 200);
    EXPECT_DOUBLE_EQ(tr.DevicetoWorldY(50), 75);
    EXPECT_DOUBLE_EQ(tr.DevicetoWorldX(100), 50);
    EXPECT_LT(tr.yscale1(), 0); // north up
    EXPECT_DOUBLE_EQ(tr.xscale2(), 1 / tr.xscale1());
    // Lengths keep the sign of the scale one way and of the pixels the other.
    EXPECT_EQ(tr.WorldToDeviceYLen(10), -20);
    EXPECT_EQ(tr.WorldToDeviceXLen(10), 20);
    EXPECT_DOUBLE_EQ(tr.DeviceToWorldYLen(20), 10);
    EXPECT_DOUBLE_EQ(tr.DeviceToWorldXLen(-20), -10);
    TRect dr = tr.WorldToDevice(TFloatRect{50, 75, 100, 25});
    EXPECT_EQ(dr, (TRect{100, 50, 200, 150}));
    TFloatRect wr = tr.DevicetoWorld(TRect{100, 50, 200, 150});
    ExpectRect(wr, 50, 75, 100, 25);
    EXPECT_DOUBLE_EQ(tr.WorldToDeviceRealX(50.3), 100.6);
    EXPECT_DOUBLE_EQ(tr.WorldToDeviceRealY(99.7), 1.0); // the Y mapping rounds
}

TEST(Transform, RoundTripsThroughDevice) {
    struct Case {
        TFloatRect world;
        TRect dev;
    } cases[] = {
        {{-5626.3, 7406195.65, 8420472.01, 724531.75}, {0, 0, 880, 540}},
        {{440000, 6300000, 460000, 6280000}, {10, 20, 410, 420}},
        {{-1, 1, 1, -1}, {0, 0, 3, 3}},
    };
    for (const auto& c : cases) {
        TWDTransform tr(c.world, c.dev);
        const double halfPixelX = 0.5 * std::abs(tr.xscale2()) * (1 + 1e-9);
        const double halfPixelY = 0.5 * std::abs(tr.yscale2()) * (1 + 1e-9);
        for (int i = 0; i <= 10; ++i) {
            TFloatPoint w{c.world.Left + (c.world.Right - c.world.Left) * i / 10.0,
                          c.world.Bottom + (c.world.Top - c.world.Bottom) * i / 10.0};
            TFloatPoint back = tr.DevicetoWorld(tr.WorldToDevice(w));
            EXPECT_NEAR(back.X, w.X, halfPixelX);
            EXPECT_NEAR(back.Y, w.Y, halfPixelY);
        }
        for (int x = c.dev.Left; x <= c.dev.Right; x += 7) {
            TPoint d{x, c.dev.Bottom - (x - c.dev.Left) / 2};
            EXPECT_EQ(tr.WorldToDevice(tr.DevicetoWorld(d)), d);
        }
    }
}

TEST(Transform, RoundsHalfToEvenAndClampsTo32Bits) {
    TWDTransform tr(TFloatRect{0, 0, 1, 1}, TRect{0, 0, 1, 1}); // identity
    struct Case {
        double v;
        int32_t expected;
    } cases[] = {{2.5, 2},           {3.5, 4},
                 {-2.5, -2},         {0.5, 0},
                 {2.4, 2},           {2.6, 3},
                 {3e9, 2147483647},  {-3e9, std::numeric_limits<int32_t>::min()},
                 {1e300, 2147483647}};
    for (const auto& c : cases) {
        EXPECT_EQ(tr.WorldtoDeviceX(c.v), c.expected) << c.v;
        EXPECT_EQ(tr.WorldtoDeviceY(c.v), c.expected) << c.v;
    }
    // A degenerate world rectangle gives infinite scales and undefined values,
    // which map to the lower limit as the processor's integer conversion does.
    TWDTransform flat(TFloatRect{5, 5, 5, 5}, TRect{0, 0, 10, 10});
    EXPECT_EQ(flat.WorldtoDeviceX(6), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundToInt32(std::nan("")), std::numeric_limits<int32_t>::min());
}

TEST(Mapping, MapToDeviceClampsTo32760AndFlipsY) {
    EXPECT_EQ(MapToDeviceX(0, 100, 0, 400, 50), 200);
    EXPECT_EQ(MapToDeviceX(0, 100, 0, 400, 1e12), 32760);
    EXPECT_EQ(MapToDeviceX(0, 100, 0, 400, -1e12), -32760);
    EXPECT_EQ(MapToDeviceX(0, 4, 0, 10, 1), 2);   // 2.5 -> 2
    EXPECT_EQ(MapToDeviceX(0, 4, 0, 10, 1.4), 4); // 3.5 -> 4
    // Called with (world Bottom, world Top, device Bottom, device Top, y).
    EXPECT_EQ(MapToDeviceY(0, 100, 200, 0, 100), 0);
    EXPECT_EQ(MapToDeviceY(0, 100, 200, 0, 0), 200);
    EXPECT_EQ(MapToDeviceY(0, 100, 200, 0, 25), 150);
    EXPECT_EQ(MapToDeviceY(0, 100, 200, 0, -1e12), 32760);
}

TEST(Mapping, FitRectToDeviceGrowsOneDimensionAboutTheCentre) {
    ExpectRect(FitRectToDevice({0, 100, 100, 0}, {0, 0, 200, 100}), -50, 100, 150, 0);
    ExpectRect(FitRectToDevice({0, 100, 100, 0}, {0, 0, 100, 200}), 0, 150, 100, -50);
    ExpectRect(FitRectToDevice({0, 100, 100, 0}, {0, 0, 50, 50}), 0, 100, 100, 0); // tie
    ExpectRect(FitRectToDevice({-50, 100, 150, 0}, {0, 0, 400, 200}), -50, 100, 150, 0);
}

TEST(Helpers, PointAndRectangleFunctions) {
    ExpectRect(FloatRect(10, 0, 0, 5), 0, 5, 10, 0);
    ExpectRect(FloatRectFromPoints({10, 0}, {0, 5}), 0, 5, 10, 0);
    EXPECT_TRUE(IsEmptyFloatRect(EmptyFloatRect()));
    EXPECT_FALSE(IsEmptyFloatRect({0, 0, 0, -1e-300}));
    ExpectRect(ExtendFloatRect({}, {3, 4}), 3, 4, 3, 4);
    ExpectRect(ExtendFloatRect({1, 2, 1, 2}, {3, 4}), 1, 4, 3, 2);
    ExpectRect(ExtendFloatRectByRect({}, {0, 10, 5, 2}), 0, 10, 5, 2);
    ExpectRect(UnionFloatRect({0, 10, 10, 0}, {5, 20, 20, 5}), 0, 20, 20, 0);
    ExpectRect(OffsetFloatRect({0, 10, 10, 0}, {1, -1}), 1, 9, 11, -1);
    EXPECT_EQ(FloatRectSize({10, 0, 0, 5}), (TFloatPoint{10, 5}));
    EXPECT_EQ(FloatRectCentre({0, 10, 10, 0}), (TFloatPoint{5, 5}));
    EXPECT_EQ(AddFloatPoints({1, 2}, {3, 4}), (TFloatPoint{4, 6}));
    EXPECT_EQ(FloatPointDelta({1, 2}, {3, 5}), (TFloatPoint{2, 3}));
    EXPECT_EQ(ScaleFloatPoint({1, 2}, 3), (TFloatPoint{3, 6}));
    EXPECT_DOUBLE_EQ(FloatPointLength({3, 4}), 5);
    EXPECT_DOUBLE_EQ(FloatPointDistance({1, 1}, {4, 5}), 5);
    EXPECT_TRUE(FloatPointsEqual({1, 2}, {1, 2}));
    EXPECT_TRUE(PointExceeds({2, 0}, {1, 1}));
    EXPECT_FALSE(PointExceeds({1, 1}, {1, 1}));
    EXPECT_TRUE(PointInFloatRect({10, 0}, {0, 10, 10, 0})); // edges included
    EXPECT_FALSE(PointInFloatRect({10.001, 0}, {0, 10, 10, 0}));
    EXPECT_TRUE(FloatRectsOverlap({0, 10, 10, 0}, {10, 20, 20, 10})); // touching corner
    EXPECT_FALSE(FloatRectsOverlap({0, 10, 10, 0}, {10.5, 20, 20, 10}));
    EXPECT_TRUE(FloatRectsIntersect({10, 0, 0, 10}, {5, 5, 20, 20})); // unnormalised input
    EXPECT_TRUE(FloatRectWithin({1, 9, 9, 1}, {0, 10, 10, 0}));
    EXPECT_TRUE(FloatRectWithin({0, 10, 10, 0}, {0, 10, 10, 0}));
    EXPECT_FALSE(FloatRectWithin({-1, 9, 9, 1}, {0, 10, 10, 0}));
    EXPECT_TRUE(FloatRectsShareEdge({0, 10, 10, 0}, {0, 20, 20, 5}));
    EXPECT_FALSE(FloatRectsShareEdge({0, 10, 10, 0}, {1, 20, 20, 5}));
    TFloatPoint p;
    p.Long() = 12;
    p.Lat() = 55;
    EXPECT_EQ(p, (TFloatPoint{12, 55}));
}

TEST(Helpers, PanToContainGivesTheLeastShift) {
    const TFloatRect view{0, 100, 100, 0};
    struct Case {
        TFloatRect target;
        TFloatPoint shift;
    } cases[] = {
        {{10, 90, 20, 80}, {0, 0}},    {{-30, 50, -10, 40}, {-30, 0}},
        {{90, 50, 130, 40}, {30, 0}},  {{10, 130, 20, 120}, {0, 30}},
        {{10, -5, 20, -20}, {0, -20}}, {{-10, 110, 0, 100}, {-10, 10}},
    };
    for (const auto& c : cases) {
        TFloatPoint s{99, 99};
        ASSERT_TRUE(PanToContain(view, c.target, s));
        EXPECT_EQ(s, c.shift);
    }
    TFloatPoint untouched{7, 7};
    EXPECT_FALSE(PanToContain(view, {0, 100, 101, 0}, untouched));
    EXPECT_FALSE(PanToContain(view, {0, 101, 100, 0}, untouched));
    EXPECT_EQ(untouched, (TFloatPoint{7, 7}));
}

TEST(Helpers, GreatCircleDistance) {
    const double deg = 0.017453292519943295, R = 6371000;
    EXPECT_NEAR(GreatCircleDistance({0, 0}, {1, 0}, R, false, deg), R * deg, 1e-6);
    EXPECT_NEAR(GreatCircleDistance({12, 55}, {12, 56}, R, false, deg), R * deg, 1e-6);
    // Clamped latitudes: beyond the pole counts as the pole.
    EXPECT_NEAR(GreatCircleDistance({0, 80}, {0, 100}, R, true, deg), 10 * R * deg, 1e-6);
    EXPECT_DOUBLE_EQ(GreatCircleDistance({3, 4}, {3, 4}, R, true, deg), 0);
}

TEST(Units, MetresPerUnitTable) {
    const double expected[] = {1.0,     1000.0,   1609.344, 1852.0, 0.3048,
                               0.91439, 111195.0, 0.0254,   1.0,    -1.0};
    for (int u = muMetres; u <= muNone; ++u)
        EXPECT_DOUBLE_EQ(MetresPerUnitOf(static_cast<TMapUnits>(u)), expected[u]);
}

TEST(Styles, PointsToPixels) {
    struct Case {
        int dpi;
        double pts;
        int px;
    } cases[] = {{96, 0.1, 1},   {96, 0, 0},     {96, 1, 1}, {96, 72, 96},
                 {96, 1.875, 2}, {96, 2.625, 4}, {144, 1, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(PointsToPixels(c.dpi, c.pts), c.px) << c.pts;
    QImage img(4, 4, QImage::Format_RGB32);
    QPainter p(&img);
    EXPECT_EQ(PointsToPixels(p, 72), img.logicalDpiX());
}

TEST(Styles, PenDefaultsLayersAndWidth) {
    TPlaniPen pen;
    EXPECT_EQ(pen.PenLayers(), 1);
    EXPECT_EQ(pen.EndCap(), lecSquare);
    EXPECT_EQ(pen.Joins(), ljMiter);
    EXPECT_FLOAT_EQ(pen.GetPenLayer(2).Width(), 1.0f);
    EXPECT_TRUE(pen.GetPenLayer(0).Transparent());
    EXPECT_EQ(pen.GetPenLayer(1).Owner(), &pen);
    EXPECT_THROW(pen.GetPenLayer(3), ERangeError);
    EXPECT_THROW(pen.GetPenLayer(-1), ERangeError);
    EXPECT_THROW(pen.SetPenLayers(4), ERangeError);
    pen.GetPenLayer(2).SetWidth(9); // not in use
    pen.GetPenLayer(1).SetWidth(4);
    EXPECT_FLOAT_EQ(pen.Width(), 1);
    pen.SetPenLayers(2);
    EXPECT_FLOAT_EQ(pen.Width(), 4);
    TPlaniPen copy;
    copy.Assign(pen);
    EXPECT_EQ(copy.PenLayers(), 2);
    EXPECT_FLOAT_EQ(copy.GetPenLayer(2).Width(), 9);
    EXPECT_EQ(copy.GetPenLayer(2).Owner(), &copy);
}

TEST(Styles, PenBinaryFormWithTwoLayersIs31Bytes) {
    TPlaniPen pen;
    pen.SetPenLayers(2);
    pen.GetPenLayer(0).SetFGColor(0x0000FF);
    pen.GetPenLayer(0).SetBGColor(0x112233);
    pen.GetPenLayer(0).SetWidth(1.5f);
    pen.GetPenLayer(0).SetStyle(psDash);
    pen.GetPenLayer(0).SetTransparent(false);
    pen.GetPenLayer(1).SetFGColor(0x00FF00);
    pen.GetPenLayer(1).SetWidth(6);
    pen.SetEndCap(lecRound);
    pen.SetJoins(ljBevel);
    TMemoryStream s;
    pen.WriteTo(s);
    ASSERT_EQ(s.Size(), 31);
    const uint8_t* b = s.Memory();
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[1], 0xFF); // layer 0 foreground, little-endian
    EXPECT_EQ(b[5], 0x33); // background
    EXPECT_EQ(b[9], psDash);
    float w;
    std::memcpy(&w, b + 10, 4);
    EXPECT_FLOAT_EQ(w, 1.5f);
    EXPECT_EQ(b[14], 0); // not transparent
    EXPECT_EQ(b[29], lecRound);
    EXPECT_EQ(b[30], ljBevel);

    TPlaniPen back;
    back.GetPenLayer(2).SetFGColor(0xABCDEF);
    s.SetPosition(0);
    back.ReadFrom(s);
    EXPECT_EQ(back.PenLayers(), 2);
    EXPECT_EQ(back.GetPenLayer(0).FGColor(), 0x0000FFu);
    EXPECT_EQ(back.GetPenLayer(0).BGColor(), 0x112233u);
    EXPECT_EQ(back.GetPenLayer(0).Style(), psDash);
    EXPECT_FALSE(back.GetPenLayer(0).Transparent());
    EXPECT_FLOAT_EQ(back.GetPenLayer(1).Width(), 6);
    EXPECT_EQ(back.GetPenLayer(2).FGColor(), 0xABCDEFu); // layer 2 untouched
    EXPECT_EQ(back.EndCap(), lecRound);
    EXPECT_EQ(back.Joins(), ljBevel);
}

TEST(Styles, BadPenRecordsAreRefused) {
    TPlaniPen pen;
    pen.GetPenLayer(0).SetFGColor(0x123456);
    {
        // A count above 3 is refused before the pen changes.
        TMemoryStream s;
        s.WriteByte(4);
        for (int i = 0; i < 4 * 14 + 2; ++i)
            s.WriteByte(0xEE);
        s.SetPosition(0);
        EXPECT_THROW(pen.ReadFrom(s), ERangeError);
        EXPECT_EQ(pen.PenLayers(), 1);
        EXPECT_EQ(pen.GetPenLayer(0).FGColor(), 0x123456u);
    }
    {
        TMemoryStream s;
        s.WriteByte(2);
        s.WriteUInt32(0); // a layer record cut short
        s.SetPosition(0);
        EXPECT_THROW(pen.ReadFrom(s), EReadError);
    }
}

TEST(Styles, BrushBinaryAndComponentForms) {
    TPlaniBrush brush;
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(brush.FgColor(), 0xFFFFFFu);
    EXPECT_EQ(brush.BgColor(), 0u);
    EXPECT_TRUE(brush.Transparent());
    brush.SetStyle(bsCross);
    brush.SetFgColor(0x010203);
    brush.SetBgColor(0x040506);
    brush.SetTransparent(false);
    TMemoryStream s;
    brush.WriteTo(s);
    ASSERT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Memory()[0], 0x03);
    EXPECT_EQ(s.Memory()[8], bsCross);
    EXPECT_EQ(s.Memory()[9], 0);
    TPlaniBrush back;
    s.SetPosition(0);
    back.ReadFrom(s);
    EXPECT_EQ(back.Style(), bsCross);
    EXPECT_EQ(back.FgColor(), 0x010203u);
    EXPECT_EQ(back.BgColor(), 0x040506u);
    EXPECT_FALSE(back.Transparent());

    TMemoryStream v;
    TValueWriter w(v);
    brush.WriteTo(w);
    v.SetPosition(0);
    TValueReader r(v);
    TPlaniBrush viaValues;
    viaValues.ReadFrom(r);
    EXPECT_EQ(viaValues.Style(), bsCross);
    EXPECT_EQ(viaValues.BgColor(), 0x040506u);
    EXPECT_FALSE(viaValues.Transparent());
    TPlaniBrush copy;
    copy.Assign(brush);
    EXPECT_EQ(copy.FgColor(), brush.FgColor());
}

TEST(Styles, PenComponentFormRoundTripAndLimits) {
    TPlaniPen pen;
    pen.SetPenLayers(3);
    pen.GetPenLayer(2).SetWidth(2.5f);
    pen.GetPenLayer(2).SetStyle(psDot);
    pen.GetPenLayer(1).SetTransparent(false);
    pen.SetJoins(ljRound);
    TMemoryStream v;
    TValueWriter w(v);
    pen.WriteTo(w);
    v.SetPosition(0);
    TValueReader r(v);
    TPlaniPen back;
    back.ReadFrom(r);
    EXPECT_EQ(back.PenLayers(), 3);
    EXPECT_FLOAT_EQ(back.GetPenLayer(2).Width(), 2.5f);
    EXPECT_EQ(back.GetPenLayer(2).Style(), psDot);
    EXPECT_FALSE(back.GetPenLayer(1).Transparent());
    EXPECT_EQ(back.Joins(), ljRound);

    for (int64_t count : {4, 256, -1}) {
        TMemoryStream bad;
        TValueWriter bw(bad);
        bw.WriteInteger(count);
        bad.SetPosition(0);
        TValueReader br(bad);
        EXPECT_THROW(back.ReadFrom(br), ERangeError) << count;
    }
    // A value of the wrong type is not misread.
    TMemoryStream wrong;
    TValueWriter ww(wrong);
    ww.WriteBoolean(true);
    wrong.SetPosition(0);
    TValueReader wr(wrong);
    EXPECT_THROW(back.ReadFrom(wr), EReadError);
}

TEST(Styles, FontAssignTakesTheExtendedStyle) {
    TPlaniFont a, b;
    a.setFamily("DejaVu Sans");
    a.SetExtStyle(1 << efsOutline);
    b.Assign(a);
    EXPECT_EQ(b.ExtStyle(), 1 << efsOutline);
    EXPECT_EQ(b.family(), a.family());
    TPlaniFont c;
    c.SetExtStyle(1 << efsShadow);
    c.Assign(QFont("DejaVu Serif"));
    EXPECT_EQ(c.ExtStyle(), 1 << efsShadow); // a plain font has none to give
}

// Pens draw through QPainter with their joins and caps; a cased line is a wide
// lower layer under a narrow upper one.
TEST(StylesDrawing, LayeredPenDrawsCasedLine) {
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    TPolyLineSetD2_PGF line;
    line.Parts.push_back({{{0, 20}, {40, 20}}});
    line.Pen.SetPenLayers(2);
    line.Pen.GetPenLayer(0).SetFGColor(0x0000FF); // red, narrow, on top
    line.Pen.GetPenLayer(0).SetWidth(0.75f);      // 1 px at 96 dpi
    line.Pen.GetPenLayer(1).SetFGColor(0x000000); // black casing
    line.Pen.GetPenLayer(1).SetWidth(6);          // 8 px
    line.Pen.SetEndCap(lecFlat);
    {
        QPainter p(&img);
        line.Draw(p, TWDTransform({0, 40, 40, 0}, {0, 0, 40, 40}));
    }
    EXPECT_EQ(img.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(20, 17), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(20, 23), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(20, 10), qRgb(255, 255, 255));
}

TEST(StylesDrawing, PenHandleCarriesJoinsCapsAndStyle) {
    QImage img(10, 10, QImage::Format_RGB32);
    QPainter p(&img);
    TPlaniPen pen;
    pen.SetJoins(ljRound);
    pen.SetEndCap(lecFlat);
    pen.GetPenLayer(0).SetStyle(psDashDot);
    pen.GetPenLayer(0).SetWidth(3);
    pen.GetPenLayer(0).SetFGColor(0x00FF00);
    pen.GetPenLayer(0).SetBGColor(0x0000FF);
    pen.GetPenLayer(0).SetFGPenHandle(p);
    EXPECT_EQ(p.pen().joinStyle(), Qt::RoundJoin);
    EXPECT_EQ(p.pen().capStyle(), Qt::FlatCap);
    EXPECT_EQ(p.pen().style(), Qt::DashDotLine);
    EXPECT_EQ(p.pen().width(), 4);
    EXPECT_EQ(p.pen().color(), QColor(0, 255, 0));
    pen.GetPenLayer(0).SetBGPenHandle(p);
    EXPECT_EQ(p.pen().style(), Qt::SolidLine); // the background pen is always solid
    EXPECT_EQ(p.pen().color(), QColor(255, 0, 0));
    pen.GetPenLayer(0).SetStyle(psClear);
    pen.GetPenLayer(0).SetFGPenHandle(p);
    EXPECT_EQ(p.pen().style(), Qt::NoPen);
}

TEST(StylesDrawing, OpaqueLayerDrawsItsBackgroundUnderTheDashes) {
    QImage img(60, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    TPolyLineSetD2_PGF line;
    line.Parts.push_back({{{0, 10}, {60, 10}}});
    line.Pen.GetPenLayer(0).SetFGColor(0x000000);
    line.Pen.GetPenLayer(0).SetBGColor(0x00FF00);
    line.Pen.GetPenLayer(0).SetStyle(psDot);
    line.Pen.GetPenLayer(0).SetTransparent(false);
    {
        QPainter p(&img);
        line.Draw(p, TWDTransform({0, 20, 60, 0}, {0, 0, 60, 20}));
    }
    bool sawGreen = false, sawBlack = false, sawWhite = false;
    for (int x = 5; x < 55; ++x) {
        QRgb c = img.pixel(x, 10);
        sawGreen |= c == qRgb(0, 255, 0);
        sawBlack |= c == qRgb(0, 0, 0);
        sawWhite |= c == qRgb(255, 255, 255);
    }
    EXPECT_TRUE(sawGreen);
    EXPECT_TRUE(sawBlack);
    EXPECT_FALSE(sawWhite);
}

TEST(StylesDrawing, BrushHatchWithAndWithoutBackground) {
    for (bool transparent : {true, false}) {
        QImage img(16, 16, QImage::Format_RGB32);
        img.fill(Qt::white);
        TPlaniBrush b;
        b.SetStyle(bsHorizontal);
        b.SetFgColor(0x0000FF);
        b.SetBgColor(0x00FF00);
        b.SetTransparent(transparent);
        {
            QPainter p(&img);
            b.SetBrushHandle(p);
            p.setPen(Qt::NoPen);
            p.drawRect(0, 0, 16, 16);
        }
        int red = 0, other = 0;
        for (int y = 0; y < 16; ++y) {
            QRgb c = img.pixel(8, y);
            if (c == qRgb(255, 0, 0))
                ++red;
            else if (c == (transparent ? qRgb(255, 255, 255) : qRgb(0, 255, 0)))
                ++other;
        }
        EXPECT_GT(red, 0);
        EXPECT_EQ(red + other, 16) << "transparent " << transparent;
    }
}

TEST(StylesDrawing, DrawBitmapLeavesOutTheTransparentColour) {
    QImage bmp(4, 4, QImage::Format_RGB32);
    bmp.fill(QColor(255, 0, 255));
    bmp.setPixel(0, 0, qRgb(0, 0, 255));
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        DrawBitmap(p, TRect{0, 0, 8, 8}, bmp, true, 0xFF00FF);
    }
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(1, 1), qRgb(0, 0, 255)); // stretched by 2
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 255, 255));
    {
        QPainter p(&img);
        DrawBitmap(p, TRect{0, 0, 8, 8}, bmp);
    }
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 255));
}

TEST(Streams, MemoryStreamReadsWritesAndReportsShortReads) {
    TMemoryStream s;
    s.WriteInt32(-7);
    s.WriteDouble(2.5);
    EXPECT_EQ(s.Size(), 12);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadInt32(), -7);
    EXPECT_DOUBLE_EQ(s.ReadDouble(), 2.5);
    EXPECT_THROW(s.ReadByte(), EReadError);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    s.SetSize(6);
    s.SetPosition(2);
    EXPECT_EQ(s.ReadInt32(), 0); // grown with zeros
}

TEST(Records, ObjectAndTextRecordsKeepTheirByteLayouts) {
    TObjectInfo info;
    info.ObjectType = otPolyline;
    info.SubType = -2;
    info.DeletedFlag = true;
    info.Centroid = {1.5, -2.5};
    info.Extents = {0, 10, 20, -5};
    info.Style.PenColor = 0x0000FF;
    info.Style.BrushStyle = bsCross;
    TMemoryStream s;
    info.WriteTo(s);
    ASSERT_EQ(s.Size(), 64);
    const uint8_t* b = s.Memory();
    EXPECT_EQ(b[0], otPolyline);
    int16_t sub;
    std::memcpy(&sub, b + 1, 2);
    EXPECT_EQ(sub, -2);
    EXPECT_EQ(b[3], 1);
    double v;
    std::memcpy(&v, b + 4, 8);
    EXPECT_EQ(v, 1.5);
    std::memcpy(&v, b + 20 + 8, 8); // Extents.Top
    EXPECT_EQ(v, 10);
    EXPECT_EQ(b[52], 0xFF);
    EXPECT_EQ(b[63], bsCross);
    s.SetPosition(0);
    TObjectInfo back;
    back.ReadFrom(s);
    EXPECT_EQ(back.Extents, info.Extents);
    EXPECT_EQ(back.Centroid, info.Centroid);
    EXPECT_TRUE(back.DeletedFlag);

    TTextInfo ti;
    std::strcpy(ti.Text, "Odense");
    ti.InsertionPoint = {3, 4};
    ti.Angle = 45;
    std::strcpy(ti.FontName, "Arial");
    ti.FontSize = 9;
    ti.FontStyle = 3;
    TMemoryStream t;
    ti.WriteTo(t);
    ASSERT_EQ(t.Size(), 327);
    float angle;
    std::memcpy(&angle, t.Memory() + 287, 4);
    EXPECT_EQ(angle, 45.0f);
    EXPECT_STREQ(reinterpret_cast<const char*>(t.Memory() + 291), "Arial");
    EXPECT_EQ(t.Memory()[326], 3);
    t.SetPosition(0);
    TTextInfo tb;
    tb.ReadFrom(t);
    EXPECT_STREQ(tb.Text, "Odense");
    EXPECT_EQ(tb.InsertionPoint, (TFloatPoint{3, 4}));
    EXPECT_EQ(tb.FontSize, 9);
    t.SetSize(326);
    t.SetPosition(0);
    EXPECT_THROW(tb.ReadFrom(t), EReadError);
}
