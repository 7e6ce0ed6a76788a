#include "PlaniVP.h"

#include "PlaniNavigation.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace plani {

// --- Cursors ----------------------------------------------------------------------------------

namespace {

enum class TCursorPicture { Info, ZoomIn, ZoomOut, SelectRect, SelectCirc };

// 32 x 32 pictures drawn black over a white halo, so they show on any map.
QCursor MakeCursor(TCursorPicture kind) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    auto stroke = [&p](const std::function<void()>& draw) {
        p.setPen(QPen(Qt::white, 3));
        draw();
        p.setPen(QPen(Qt::black, 1));
        draw();
    };
    auto arrow = [&] {
        QPolygon a;
        a << QPoint(1, 1) << QPoint(1, 17) << QPoint(5, 13) << QPoint(8, 19) << QPoint(10, 18)
          << QPoint(7, 12) << QPoint(12, 12);
        p.setBrush(Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawPolygon(a);
    };
    int hx = 1, hy = 1;
    switch (kind) {
    case TCursorPicture::Info:
        arrow();
        stroke([&] {
            p.drawLine(20, 14, 20, 15);
            p.drawLine(20, 18, 20, 26);
        });
        break;
    case TCursorPicture::ZoomIn:
    case TCursorPicture::ZoomOut:
        stroke([&] {
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPoint(12, 12), 8, 8);
            p.drawLine(18, 18, 28, 28);
            p.drawLine(8, 12, 16, 12);
            if (kind == TCursorPicture::ZoomIn)
                p.drawLine(12, 8, 12, 16);
        });
        hx = hy = 12; // the lens centre
        break;
    case TCursorPicture::SelectRect:
    case TCursorPicture::SelectCirc:
        arrow();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        if (kind == TCursorPicture::SelectRect)
            p.drawRect(15, 15, 14, 12);
        else
            p.drawEllipse(QPoint(22, 22), 7, 7);
        break;
    }
    p.end();
    return QCursor(pm, hx, hy);
}

QCursor CursorForMode(TViewportMode m) {
    switch (m) {
    case vpmInfo:
        return MakeCursor(TCursorPicture::Info);
    case vpmPan:
        return QCursor(Qt::OpenHandCursor);
    case vpmZoomIn:
        return MakeCursor(TCursorPicture::ZoomIn);
    case vpmZoomOut:
        return MakeCursor(TCursorPicture::ZoomOut);
    case vpmSelectRect:
        return MakeCursor(TCursorPicture::SelectRect);
    case vpmSelectCirc:
        return MakeCursor(TCursorPicture::SelectCirc);
    case vpmRuler:
    case vpmSelectPoly:
    case vpmCreatePolygon:
    case vpmCreatePolyline:
    case vpmCreatePoint:
    case vpmCreateText:
    case vpmCreateEllipse:
    case vpmCreatePolyBezier:
        return QCursor(Qt::CrossCursor);
    default:
        return QCursor(Qt::ArrowCursor); // user mode, individual and containing selection
    }
}

bool HasArea(const TFloatRect& r) {
    return r.Left != r.Right && r.Top != r.Bottom;
}

// The union that collects pending areas: an empty collector takes the new area.
TFloatRect Collect(const TFloatRect& acc, const TFloatRect& a) {
    return IsEmptyFloatRect(acc) ? a : UnionFloatRect(acc, a);
}

TFloatRect ClipTo(const TFloatRect& a, const TFloatRect& view) {
    return {std::max(a.Left, view.Left), std::min(a.Top, view.Top), std::min(a.Right, view.Right),
            std::max(a.Bottom, view.Bottom)};
}

} // namespace

// --- TViewportParameters ----------------------------------------------------------------------

void TViewportParameters::SetReq(const TFloatRect& R) {
    pReq = NormalizeFloatRect(R);
    pActual = {};
}

void TViewportParameters::SetReqLeft(double v) {
    pActual = {};
    pReq.Left = v;
}
void TViewportParameters::SetReqTop(double v) {
    pActual = {};
    pReq.Top = v;
}
void TViewportParameters::SetReqRight(double v) {
    pActual = {};
    pReq.Right = v;
}
void TViewportParameters::SetReqBottom(double v) {
    pActual = {};
    pReq.Bottom = v;
}

void TViewportParameters::SetReqCentreX(double v) {
    double d = v - ReqCentreX();
    pReq.Left += d;
    pReq.Right += d;
}

void TViewportParameters::SetReqCentreY(double v) {
    double d = v - ReqCentreY();
    pReq.Top += d;
    pReq.Bottom += d;
}

double TViewportParameters::ScaleOf(double worldWidth) const {
    if (funits == muNone)
        return -1.0;
    const double screenMetres = fowner->width() * 0.0254 / fowner->logicalDpiX();
    return worldWidth * fmpu / screenMetres;
}

double TViewportParameters::ReqScale() const {
    return ScaleOf(pReq.Right - pReq.Left);
}
double TViewportParameters::ActualScale() const {
    return ScaleOf(ActualWidth());
}

void TViewportParameters::SetReqScale(double s) {
    if (funits == muNone) {
        fhold_scale = -1.0;
        return;
    }
    fhold_scale = s;
    const double cx = ReqCentreX(), cy = ReqCentreY();
    const double hw = s * (fowner->width() * 0.0254 / fowner->logicalDpiX()) / fmpu / 2;
    const double hh = s * (fowner->height() * 0.0254 / fowner->logicalDpiY()) / fmpu / 2;
    SetReqLeft(cx - hw);
    SetReqRight(cx + hw);
    SetReqTop(cy + hh);
    SetReqBottom(cy - hh);
}

double TViewportParameters::ActualWidth() const {
    return std::abs(pActual.Right - pActual.Left);
}
double TViewportParameters::ActualHeight() const {
    return std::abs(pActual.Top - pActual.Bottom);
}

void TViewportParameters::SetUnits(TMapUnits u) {
    funits = u;
    if (u != muCustom)
        fmpu = MetresPerUnitOf(u);
}

void TViewportParameters::SetActual(const TFloatRect& R, bool Notify) {
    pActual = R;
    TGraphicViewport& vp = *fowner;
    if (HasArea(R) && vp.width() > 0 && vp.height() > 0)
        vp.ftr = std::make_unique<TWDTransform>(R, TRect{0, 0, vp.width(), vp.height()});
    else
        vp.ftr.reset();
    if (OnViewChange && Notify) {
        vp.fModifiedGraphicArea = FitRectToDevice(pReq, {0, 0, vp.width(), vp.height()});
        OnViewChange(*this, vp.fScreenBM);
    }
}

// --- TGraphicViewport: life and properties ------------------------------------------------------

TGraphicViewport::TGraphicViewport(QWidget* parent)
    : QWidget(parent), fLL(std::make_unique<TLayerList>(this)),
      fVPParm(std::make_unique<TViewportParameters>(this)) {
    resize(140, 100);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    fMoveTimer.setSingleShot(true);
    fMoveTimer.setInterval(fMoveDelay);
    ResizeBitmaps();
    EraseBitmaps();
    setCursor(CursorForMode(fMode));
}

TGraphicViewport::~TGraphicViewport() {
    fDestroying = true;
    fCancelOperationFlag = true;
    RestorePanCursor();
    fLL.reset(); // unlinks every table
}

void TGraphicViewport::Assign(const TGraphicViewport& Source) {
    fVPParm->Assign(*Source.fVPParm);
    SetBackgroundColor(Source.fBackGroundColor);
    fLL->Assign(*Source.fLL);
}

void TGraphicViewport::SetAutoRedraw(bool v) {
    fAutoRedraw = v;
    ProcessPendingIfAllowed();
}

void TGraphicViewport::SetBackgroundColor(TColor c) {
    fBackGroundColor = c;
    RedrawImageData(false);
}

void TGraphicViewport::SetMode(TViewportMode m) {
    fMode = m;
    setCursor(CursorForMode(m));
    fPolyDataStream.Clear();
    if (OnRulerChange)
        OnRulerChange(*this, 0.0);
}

void TGraphicViewport::SetZoomLimits(double MinWidth, double MaxWidth) {
    fMinViewWidth = MinWidth;
    fMaxViewWidth = MaxWidth;
}

void TGraphicViewport::SetMoveDelay(uint16_t v) {
    fMoveDelay = v;
    fMoveTimer.setInterval(v);
}

// --- Bitmaps
// --------------------------------------------------------------------------------------

QSize TGraphicViewport::BitmapPixels() const {
    const qreal ratio = devicePixelRatio();
    const QSize s = size().expandedTo(QSize(0, 0));
    return {static_cast<int>(std::ceil(s.width() * ratio)),
            static_cast<int>(std::ceil(s.height() * ratio))};
}

bool TGraphicViewport::BitmapsFitWidget() const {
    return fScreenBM.size() == BitmapPixels() && fScreenBM.devicePixelRatio() == devicePixelRatio();
}

void TGraphicViewport::ResizeBitmaps() {
    const QSize s = BitmapPixels();
    fScreenBM = QImage(s, QImage::Format_RGB32);
    fSelectBM = QImage(s, QImage::Format_ARGB32_Premultiplied);
    // Everything draws in the widget's own (logical) pixels; the painter scales.
    fScreenBM.setDevicePixelRatio(devicePixelRatio());
    fSelectBM.setDevicePixelRatio(devicePixelRatio());
}

void TGraphicViewport::EraseBitmaps() {
    if (!fScreenBM.isNull())
        fScreenBM.fill(ColorToQColor(fBackGroundColor));
    if (!fSelectBM.isNull())
        fSelectBM.fill(Qt::transparent);
}

void TGraphicViewport::FillSelectArea(const TRect& r) {
    if (fSelectBM.isNull())
        return;
    QPainter p(&fSelectBM);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(ToQRect(r), Qt::transparent);
}

void TGraphicViewport::ScheduleFullRedraw() {
    fPendingFullRedraw = true;
    if (fRedrawBusy || fRedrawPosted || fDestroying)
        return;
    fRedrawPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            fRedrawPosted = false;
            if (!fPendingFullRedraw)
                return;
            if (fRedrawBusy)
                return; // re-posted when that drawing ends
            fPendingFullRedraw = false;
            RedrawImageData(true);
        },
        Qt::QueuedConnection);
}

// --- View
// -----------------------------------------------------------------------------------------

void TGraphicViewport::UpdateActualView() {
    TViewportParameters& d = *fVPParm;
    if (!IsEmptyFloatRect(d.pActual) && HasArea(d.pReq))
        return;
    if (!HasArea(d.pReq)) {
        TFloatRect e = fLL->GetVisibleExtents();
        if (e.Left == e.Right && e.Left != 0) {
            e.Left -= std::abs(e.Left * 0.1);
            e.Right += std::abs(e.Right * 0.1);
        }
        if (e.Top == e.Bottom && e.Top != 0) {
            e.Top += std::abs(e.Top * 0.1);
            e.Bottom -= std::abs(e.Bottom * 0.1);
        }
        d.SetReq(e);
    }
    // A widget without width or height has no aspect ratio to fit to.
    if (width() <= 0 || height() <= 0)
        return;
    const TRect dev{0, 0, width(), height()};
    d.SetActual(FitRectToDevice(d.pReq, dev), true);
    d.SetActual(FitRectToDevice(d.pReq, dev), false);
}

void TGraphicViewport::RedrawImageData(bool aForceRedraw) {
    if (fDestroying || !isVisible())
        return;
    if (fRedrawBusy) {
        // Stop the drawing of the old view and draw the new one as soon as it has stopped.
        CancelOperation();
        ScheduleFullRedraw();
        return;
    }
    fModifiedGraphicArea = fVPParm->pActual;
    QCoreApplication::processEvents();
    if (fDestroying || fRedrawBusy) {
        if (fRedrawBusy)
            ScheduleFullRedraw();
        return;
    }
    if (!BitmapsFitWidget())
        ResizeBitmaps();
    EraseBitmaps();
    UpdateActualView();
    if (aForceRedraw) {
        fPendingFullRedraw = false;
        if (!fScreenBM.isNull()) {
            QPainter p(&fScreenBM);
            GenerateImageData(p, {0, 0, width(), height()}, fVPParm->pActual, true, true, true);
        }
        fModifiedGraphicArea = {};
        fModifiedSelectionArea = {};
    } else {
        ProcessGTableNotifyMessages();
    }
    update();
}

void TGraphicViewport::ZoomToVisibleExtents() {
    fVPParm->SetReq({});
    RedrawImageData(false);
}

void TGraphicViewport::ZoomAbout(const TFloatPoint& Anchor, double Factor) {
    TViewportParameters& d = *fVPParm;
    UpdateActualView();
    if (!HasArea(d.pActual))
        return;
    const double f = LimitZoomFactor(d.ActualWidth(), Factor, fMinViewWidth, fMaxViewWidth);
    if (f == 1.0)
        return;
    // The actual view has the widget's aspect ratio, so the request is shown as it is.
    d.SetReq(ZoomFloatRectAbout(d.pActual, Anchor, f));
    RedrawImageData(true);
}

TFloatRect TGraphicViewport::GenerateImageData(QPainter& c, const TRect& CanvasArea,
                                               const TFloatRect& vp, bool GenLayers,
                                               bool GenSelection, bool Erase) {
    return DrawLayers(c, CanvasArea, vp, GenLayers, GenSelection, fLL->Count() - 1, Erase);
}

TFloatRect TGraphicViewport::DrawLayers(QPainter& c, const TRect& CanvasArea, const TFloatRect& vp,
                                        bool GenLayers, bool GenSelection, int TopLayer,
                                        bool Erase) {
    const bool onScreenBM = c.device() == &fScreenBM;
    TopLayer = std::min(TopLayer, fLL->Count() - 1);
    if (fRedrawBusy) {
        // A drawing is running (this call came from an event it let through): stop
        // it and redraw everything once it has stopped. The running drawing keeps
        // its busy state, so button-downs stay ignored until it ends.
        CancelOperation();
        ScheduleFullRedraw();
        return {};
    }
    auto finish = [&] {
        fRedrawBusy = false;
        if (onScreenBM)
            update();
        if (fPendingFullRedraw)
            ScheduleFullRedraw();
    };
    if (CanvasArea.Left >= CanvasArea.Right || CanvasArea.Top >= CanvasArea.Bottom ||
        vp.Left >= vp.Right || vp.Bottom >= vp.Top) {
        finish();
        return {};
    }
    fRedrawBusy = true;
    const TFloatRect result = FitRectToDevice(vp, CanvasArea);
    if (!HasArea(result)) {
        finish();
        return {};
    }
    fCancelOperationFlag = false;
    if (OnPreRedraw)
        OnPreRedraw(*this, c);
    if (fCancelOperationFlag) {
        finish();
        return result;
    }
    QWidget* pc = onScreenBM ? this : nullptr;
    const QRect area = ToQRect(CanvasArea);
    c.save();
    c.setClipRect(area, c.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (Erase) {
        if (onScreenBM) {
            if (GenLayers)
                c.fillRect(area, ColorToQColor(fBackGroundColor));
            if (GenSelection)
                FillSelectArea(CanvasArea);
        } else {
            c.fillRect(area, ColorToQColor(fBackGroundColor));
        }
    }
    std::unique_ptr<QPainter> sel;
    if (GenSelection && onScreenBM && !fSelectBM.isNull()) {
        sel = std::make_unique<QPainter>(&fSelectBM);
        sel->setClipRect(area);
        sel->setPen(QPen(ColorToQColor(fSelectColor), 1, Qt::SolidLine));
        sel->setBrush(QBrush(ColorToQColor(fSelectColor), ToQtBrushStyle(fSelectStyle)));
    }
    const double scale = fVPParm->ActualScale();
    for (int i = TopLayer; i >= 0; --i) {
        TLayerListItem* item = fLL->GetLayerItem(i); // the list may change while events run
        if (!item || !item->GraphicTable() || !item->LayerState().ZoomVisible(scale))
            continue;
        TGraphicTable* gt = item->GraphicTable();
        TGraphicTable* th = item->ThematicTable();
        if (GenLayers) {
            TMemoryStream* rso =
                item->LayerState().StyleOverride() ? &item->RecStyleOver() : nullptr;
            gt->DrawGraphic(result, c, CanvasArea, rso, pc, 440, fCancelOperationFlag);
            if (th && !fCancelOperationFlag)
                th->DrawGraphic(result, c, CanvasArea, nullptr, pc, 440, fCancelOperationFlag);
        }
        if (!fCancelOperationFlag && GenSelection) {
            if (sel) {
                gt->DrawSelection(result, *sel, CanvasArea, true);
                if (th)
                    th->DrawSelection(result, *sel, CanvasArea, true);
            } else {
                gt->DrawSelection(result, c, CanvasArea, false);
                if (th)
                    th->DrawSelection(result, c, CanvasArea, false);
            }
        }
        if (fCancelOperationFlag)
            break;
    }
    sel.reset();
    fRedrawBusy = false;
    if (OnPostRedraw)
        OnPostRedraw(*this, c);
    c.restore();
    finish();
    return result;
}

void TGraphicViewport::ProcessPendingIfAllowed() {
    if (RedrawAllowed() &&
        (!IsEmptyFloatRect(fModifiedGraphicArea) || !IsEmptyFloatRect(fModifiedSelectionArea)))
        ProcessGTableNotifyMessages();
}

TRect TGraphicViewport::WorldToCanvasRect(const TFloatRect& a) const {
    TRect r = CoOrdToScreen(a);
    if (r.Left > r.Right)
        std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom)
        std::swap(r.Top, r.Bottom);
    if (r.Right - r.Left < 1)
        r.Right = r.Left + 1;
    if (r.Bottom - r.Top < 1)
        r.Bottom = r.Top + 1;
    return r;
}

void TGraphicViewport::ProcessGTableNotifyMessages() {
    if (fRedrawBusy) {
        CancelOperation();
        ScheduleFullRedraw();
        return;
    }
    if (!BitmapsFitWidget()) {
        fModifiedGraphicArea = FitRectToDevice(fVPParm->pReq, {0, 0, width(), height()});
        ResizeBitmaps();
        EraseBitmaps();
    }
    UpdateActualView();
    if (fScreenBM.isNull())
        return;
    if (!IsEmptyFloatRect(fModifiedGraphicArea)) {
        TRect r = WorldToCanvasRect(fModifiedGraphicArea);
        TFloatRect area = ScreenToCoOrd(r);
        fModifiedGraphicArea = {};
        QPainter p(&fScreenBM);
        GenerateImageData(p, r, area, true, true, true);
    }
    if (!IsEmptyFloatRect(fModifiedSelectionArea)) {
        const double g = width() > 0 ? 6 * fVPParm->ActualWidth() / width() : 0;
        TFloatRect a = fModifiedSelectionArea;
        a = {a.Left - g, a.Top + g, a.Right + g, a.Bottom - g};
        TRect r = WorldToCanvasRect(a);
        TFloatRect area = ScreenToCoOrd(r);
        fModifiedSelectionArea = {};
        QPainter p(&fScreenBM);
        GenerateImageData(p, r, area, false, true, true);
    }
}

void TGraphicViewport::NotifyOnGraphicChange(TGraphicTable* Sender, const TFloatRect& a,
                                             bool Erase) {
    UpdateActualView();
    if (fDestroying)
        return;
    const int li = fLL->IndexOfTable(Sender);
    if (li >= 0 && !fLL->GetLayerItem(li)->LayerState().Visible())
        return;
    TFloatRect A = NormalizeFloatRect(a);
    const TFloatRect& actual = fVPParm->pActual;
    if (HasArea(actual)) {
        if (!FloatRectsOverlap(A, actual))
            return;
        A = ClipTo(A, actual);
    }
    // Until the off-screen images have the widget's size (a hidden or freshly
    // resized widget) the change waits for the next full drawing.
    if (RedrawAllowed() && BitmapsFitWidget() && !fScreenBM.isNull()) {
        int top;
        if (Erase)
            top = fLL->Count() - 1;
        else if (li >= 0)
            top = li;
        else
            return;
        TRect r = WorldToCanvasRect(A);
        A = ScreenToCoOrd(r);
        if (fRedrawBusy) {
            CancelOperation();
            ScheduleFullRedraw();
            return;
        }
        if (Erase)
            FillSelectArea(r);
        QPainter p(&fScreenBM);
        if (Erase)
            p.fillRect(ToQRect(r), ColorToQColor(fBackGroundColor));
        DrawLayers(p, r, A, true, Erase, top, Erase);
    } else {
        fModifiedGraphicArea = Collect(fModifiedGraphicArea, A);
    }
}

void TGraphicViewport::NotifySelectionChange(TGraphicTable* aSender) {
    UpdateActualView();
    if (!fMultiSelect && aSender && aSender->SelectionCount() > 0)
        for (int i = 0; i < fLL->Count(); ++i) {
            TGraphicTable* gt = fLL->GetLayerItem(i)->GraphicTable();
            if (gt && gt != aSender)
                gt->ClearSelection();
        }
    ProcessPendingIfAllowed();
}

void TGraphicViewport::NotifySelectionChange(TGraphicTable* aSender, const TFloatRect& aArea) {
    UpdateActualView();
    if (!fMultiSelect && aSender && aSender->SelectionCount() > 0)
        for (int i = 0; i < fLL->Count(); ++i) {
            TGraphicTable* gt = fLL->GetLayerItem(i)->GraphicTable();
            if (gt && gt != aSender)
                gt->ClearSelection();
        }
    TFloatRect A = NormalizeFloatRect(aArea);
    const TFloatRect& actual = fVPParm->pActual;
    if (HasArea(actual)) {
        if (!FloatRectsOverlap(A, actual))
            return;
        A = ClipTo(A, actual);
    }
    fModifiedSelectionArea = Collect(fModifiedSelectionArea, A);
    ProcessPendingIfAllowed();
}

void TGraphicViewport::DecBusyRefCount(bool aAlwaysProcessMsgs) {
    fBusyRefCount = std::max(0, fBusyRefCount - 1);
    if (aAlwaysProcessMsgs)
        ProcessGTableNotifyMessages();
    else
        ProcessPendingIfAllowed();
}

void TGraphicViewport::CancelOperation() {
    fCancelOperationFlag = true;
    fPolyDataStream.Clear();
    if (fSelectBoxActive)
        update();
    fSelectBoxActive = false;
}

// --- Coordinates
// ------------------------------------------------------------------------------------

TFloatPoint TGraphicViewport::ScreenToCoOrd(const TPoint& p) const {
    const double aw = fVPParm->ActualWidth(), ah = fVPParm->ActualHeight();
    const int W = width(), H = height();
    TFloatPoint r;
    r.X = (aw != 0 && W != 0) ? p.X * (aw / W) + fVPParm->pActual.Left : 0;
    r.Y = (ah != 0 && H != 0) ? fVPParm->pActual.Top - p.Y * (ah / H) : 0;
    return r;
}

TFloatRect TGraphicViewport::ScreenToCoOrd(const TRect& aRect) const {
    TFloatPoint a = ScreenToCoOrd(TPoint{aRect.Left, aRect.Top});
    TFloatPoint b = ScreenToCoOrd(TPoint{aRect.Right, aRect.Bottom});
    return {a.X, a.Y, b.X, b.Y};
}

TPoint TGraphicViewport::CoOrdToScreen(const TFloatPoint& p) const {
    const double aw = fVPParm->ActualWidth(), ah = fVPParm->ActualHeight();
    TPoint r;
    r.X = aw != 0 ? RoundToInt32((p.X - fVPParm->pActual.Left) * (width() / aw)) : 0;
    r.Y = ah != 0 ? RoundToInt32((fVPParm->pActual.Top - p.Y) * (height() / ah)) : 0;
    return r;
}

TRect TGraphicViewport::CoOrdToScreen(const TFloatRect& aRect) const {
    TPoint a = CoOrdToScreen(aRect.TopLeft());
    TPoint b = CoOrdToScreen(aRect.BottomRight());
    return {a.X, a.Y, b.X, b.Y};
}

// --- Selection-related navigation
// -------------------------------------------------------------------

void TGraphicViewport::ZoomToSelection() {
    TFloatRect s = fLL->GetSelectionExtents();
    if (HasArea(s)) {
        fVPParm->SetReq(s);
        RedrawImageData(false);
    } else {
        CenterOnSelection();
    }
}

void TGraphicViewport::CenterOnSelection() {
    TFloatRect s = fLL->GetSelectionExtents();
    if (IsEmptyFloatRect(s))
        return;
    TFloatPoint c = FloatRectCentre(s);
    const double hw = fVPParm->ActualWidth() / 2, hh = fVPParm->ActualHeight() / 2;
    fVPParm->SetReq({c.X - hw, c.Y + hh, c.X + hw, c.Y - hh});
    RedrawImageData(false);
}

void TGraphicViewport::MakeSelectionVisible() {
    const TFloatRect actual = fVPParm->pActual;
    const TFloatRect s = fLL->GetSelectionExtents();
    TFloatPoint shift;
    if (PanToContain(actual, s, shift)) {
        if (!FloatRectsOverlap(actual, s))
            shift = FloatPointDelta(FloatRectCentre(actual), FloatRectCentre(s));
        fVPParm->SetReq(OffsetFloatRect(actual, shift));
        RedrawImageData(false);
    } else {
        ZoomToVisibleExtents();
    }
}

void TGraphicViewport::PanToLocation(const TFloatPoint& Center) {
    const double w = fVPParm->ActualWidth(), h = fVPParm->ActualHeight();
    if (w == 0 || h == 0)
        return;
    fVPParm->SetReq({Center.X - w / 2, Center.Y + h / 2, Center.X + w / 2, Center.Y - h / 2});
    RedrawImageData(false);
}

bool TGraphicViewport::CheckForObject(int x, int y, TGraphicTable*& GT, int32_t& RecordID,
                                      bool InfoableOnly) {
    TFloatPoint p = ScreenToCoOrd(TPoint{x, y});
    const double pw = width() > 0 ? 2 * fVPParm->ActualWidth() / width() : 0;
    // Zoom-layered layers are tested against the same scale as in drawing.
    return fLL->CheckForObject(p, pw, fVPParm->ActualScale(), InfoableOnly, GT, RecordID);
}

double TGraphicViewport::DiagonalPixels() const {
    return std::sqrt(static_cast<double>(width()) * width() +
                     static_cast<double>(height()) * height());
}

double TGraphicViewport::DiagonalNonEarthDistance(bool NonEarth, double MeasurementRadius) const {
    const TFloatRect& a = fVPParm->pActual;
    if (NonEarth)
        return FloatPointDistance(a.TopLeft(), a.BottomRight());
    return GreatCircleDistance(a.TopLeft(), a.BottomRight(), MeasurementRadius, true,
                               0.017453292519943295);
}

double TGraphicViewport::GisUnitsPerPoint(bool NonEarth, double MeasurementRadius) const {
    return DiagonalNonEarthDistance(NonEarth, MeasurementRadius) / DiagonalPixels() *
           logicalDpiY() / 72.0;
}

// --- Painting and size
// ------------------------------------------------------------------------------

void TGraphicViewport::paintEvent(QPaintEvent*) {
    if (fDestroying)
        return;
    QPainter p(this);
    if (fRedrawBusy) {
        if (!BitmapsFitWidget()) {
            // The images cannot change size under the running drawing: stop it and
            // redraw at the new size once it has stopped.
            CancelOperation();
            ScheduleFullRedraw();
            p.fillRect(rect(), ColorToQColor(fBackGroundColor));
            return;
        }
        // The picture drawn so far, shown while a long drawing lets events through.
        p.drawImage(0, 0, fScreenBM);
        return;
    }
    if (!BitmapsFitWidget()) {
        ResizeBitmaps();
        EraseBitmaps();
        ScheduleFullRedraw();
    }
    if (OnPrePaint)
        OnPrePaint(*this, p);
    TPoint from, to;
    if (PanDrag(from, to)) {
        const int dx = to.X - from.X, dy = to.Y - from.Y;
        const int W = width(), H = height();
        const QColor bg = ColorToQColor(fBackGroundColor);
        p.fillRect(dx < 0 ? QRect(W + dx, 0, -dx, H) : QRect(0, 0, dx, H), bg);
        p.fillRect(dy < 0 ? QRect(0, H + dy, W, -dy) : QRect(0, 0, W, dy), bg);
        p.drawImage(dx, dy, fScreenBM);
        p.drawImage(dx, dy, fSelectBM);
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawLine(from.X, from.Y, to.X, to.Y);
    } else {
        p.drawImage(0, 0, fScreenBM);
        p.drawImage(0, 0, fSelectBM);
        if (fSelectBoxActive) {
            // The rubber band of zoom-in and the rectangle modes.
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(QPoint(fSelectBox.Left, fSelectBox.Top),
                             QPoint(fSelectBox.Right - 1, fSelectBox.Bottom - 1)));
        }
    }
    if (OnPostPaint)
        OnPostPaint(*this, p);
}

// After a resize the actual view is fitted again to the new size about the same
// request, so that clicks converted with ScreenToCoOrd land where the picture,
// redrawn at the new size, shows them.
void TGraphicViewport::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (fDestroying)
        return;
    TViewportParameters& d = *fVPParm;
    if (d.fkeepscale)
        d.SetReqScale(d.fhold_scale);
    else if (!IsEmptyFloatRect(d.pActual))
        d.pActual = {};
    if (!IsEmptyFloatRect(d.pReq))
        UpdateActualView();
    if (isVisible())
        update();
}

// --- Mouse
// --------------------------------------------------------------------------------------------

void TGraphicViewport::RestorePanCursor() {
    if (fPanCursorSet) {
        QApplication::restoreOverrideCursor();
        fPanCursorSet = false;
    }
}

void TGraphicViewport::SetPanCursor() {
    if (!fPanCursorSet) {
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
        fPanCursorSet = true;
    }
}

bool TGraphicViewport::PanDrag(TPoint& From, TPoint& To) const {
    if (fMiddleDragging) {
        From = fMiddleFrom;
        To = fMiddleTo;
        return true;
    }
    if (fSelectBoxActive && fMode == vpmPan) {
        From = {fSelectBox.Left, fSelectBox.Top};
        To = {fSelectBox.Right, fSelectBox.Bottom};
        return true;
    }
    return false;
}

void TGraphicViewport::MiddlePress(TShiftState, int X, int Y) {
    // Not in the middle of a drag with the left button.
    if (fMouseDownFlag || fSelectBoxActive)
        return;
    fMiddleDown = true;
    fMiddleDragging = false;
    fMiddleFrom = fMiddleTo = {X, Y};
}

void TGraphicViewport::MiddleRelease(TShiftState Shift, int X, int Y) {
    fMiddleDown = false;
    if (!fMiddleDragging) {
        // A click: what the button would have done without panning.
        DoMouseDown(Qt::MiddleButton, Shift, fMiddleFrom.X, fMiddleFrom.Y);
        if (OnMouseUp)
            OnMouseUp(*this, Qt::MiddleButton, Shift, X, Y);
        return;
    }
    fMiddleDragging = false;
    fMiddleTo = {X, Y};
    RestorePanCursor();
    TViewportParameters& d = *fVPParm;
    if (HasArea(d.pActual)) {
        d.SetReq(OffsetFloatRect(d.pReq,
                                 PanShift(d.pActual, fMiddleFrom, fMiddleTo, width(), height())));
        RedrawImageData(true);
    }
    update();
}

void TGraphicViewport::DoMouseDown(Qt::MouseButton Button, TShiftState Shift, int X, int Y) {
    fmsk = Shift.testFlag(Qt::ShiftModifier) || Shift.testFlag(Qt::ControlModifier);
    if (fRedrawBusy)
        return;
    if (fDblClickFlag) {
        fDblClickFlag = false;
        fSelectBoxActive = false;
        return;
    }
    if (OnMouseDown)
        OnMouseDown(*this, Button, Shift, X, Y);
    if (Button != Qt::LeftButton)
        return;
    fCancelOperationFlag = false;
    fMoveModeState = mmNone;
    fMouseDownFlag = true;
    fSelectShiftState = Shift;
    fSelectBox = {X, Y, X, Y};
    switch (fMode) {
    case vpmPan:
    case vpmZoomIn:
    case vpmRuler:
    case vpmSelectCirc:
    case vpmSelectRect:
    case vpmSelectPoly:
    case vpmCreatePolygon:
    case vpmCreatePolyline:
    case vpmCreateEllipse:
    case vpmCreatePolyBezier:
        fSelectBoxActive = true;
        break;
    default:
        break;
    }
    if (fMode == vpmPan)
        SetPanCursor();
}

void TGraphicViewport::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::MiddleButton && fMiddleButtonPan) {
        MiddlePress(e->modifiers(), pos.x(), pos.y());
        return;
    }
    DoMouseDown(e->button(), e->modifiers(), pos.x(), pos.y());
}

void TGraphicViewport::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const int X = pos.x(), Y = pos.y();
    if (fMiddleDown) {
        fMiddleTo = {X, Y};
        if (!fMiddleDragging && std::abs(X - fMiddleFrom.X) + std::abs(Y - fMiddleFrom.Y) >=
                                    QApplication::startDragDistance()) {
            fMiddleDragging = true;
            SetPanCursor();
        }
        if (fMiddleDragging)
            update();
    }
    if (OnMouseMove) {
        // While the picture is dragged, the point under the pointer is the one it grabbed.
        TPoint from, to;
        const TFloatPoint w = ScreenToCoOrd(PanDrag(from, to) ? from : TPoint{X, Y});
        OnMouseMove(*this, e->modifiers(), X, Y, w.X, w.Y);
    }
    if (!fSelectBoxActive)
        return;
    switch (fMode) {
    case vpmPan:
        fSelectBox.Right = X;
        fSelectBox.Bottom = Y;
        update();
        break;
    case vpmSelectCirc:
    case vpmCreateEllipse:
    case vpmRuler:
    case vpmSelectPoly:
    case vpmCreatePolygon:
    case vpmCreatePolyline:
    case vpmCreatePolyBezier:
        break; // circle and line feedback belong to the modes this toolkit leaves out
    default:
        // A drag to the left or upward moves the band's left or top edge with the pointer.
        fSelectBox.Right = X;
        if (fSelectBox.Left > X)
            fSelectBox.Left = X;
        fSelectBox.Bottom = Y;
        if (fSelectBox.Top >= Y - 1)
            fSelectBox.Top = Y - 2;
        update();
        break;
    }
}

void TGraphicViewport::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const int X = pos.x(), Y = pos.y();
    if (e->button() == Qt::MiddleButton && fMiddleDown) {
        MiddleRelease(e->modifiers(), X, Y);
        return;
    }
    fMoveTimer.stop();
    fMoveModeState = mmNone;
    RestorePanCursor();
    if (OnMouseUp)
        OnMouseUp(*this, e->button(), e->modifiers(), X, Y);
    if (e->button() != Qt::LeftButton || fCancelOperationFlag)
        return;
    const bool wasDown = fMouseDownFlag;
    fSelectBoxActive = false;
    if (!wasDown)
        return;
    fMouseDownFlag = false;
    if (OnClick)
        OnClick(*this);

    TViewportParameters& d = *fVPParm;
    const double k = 1 + fZoomFactor / 100.0;
    const double w = d.ActualWidth(), h = d.ActualHeight();
    const double W = width(), H = height();
    const TRect& sb = fSelectBox;
    const double x1 = d.pActual.Left + sb.Left * w / W, x2 = d.pActual.Left + sb.Right * w / W;
    const double y1 = d.pActual.Top - sb.Top * h / H, y2 = d.pActual.Top - sb.Bottom * h / H;
    switch (fMode) {
    case vpmZoomIn:
        if (sb.Right - sb.Left < 4 || sb.Bottom - sb.Top < 4) {
            d.SetReqLeft(x1 - w / k / 2);
            d.SetReqRight(x1 + w / k / 2);
            d.SetReqBottom(y1 - h / k / 2);
            d.SetReqTop(y1 + h / k / 2);
        } else {
            d.SetReq(FloatRect(x1, y1, x2, y2));
        }
        RedrawImageData(true);
        break;
    case vpmZoomOut:
        d.SetReqLeft(x1 - w * k / 2);
        d.SetReqRight(x1 + w * k / 2);
        d.SetReqBottom(y1 - h * k / 2);
        d.SetReqTop(y1 + h * k / 2);
        RedrawImageData(true);
        break;
    case vpmPan:
        d.SetReq(OffsetFloatRect(
            d.pReq, PanShift(d.pActual, {sb.Left, sb.Top}, {X, Y}, width(), height())));
        RedrawImageData(true);
        break;
    case vpmInfo: {
        TGraphicTable* gt = nullptr;
        int32_t id = 0;
        if (OnInfoClick && CheckForObject(sb.Left, sb.Top, gt, id, true))
            OnInfoClick(*this, gt, id);
        break;
    }
    default:
        break; // the user mode leaves clicks to OnMouseDown
    }
    update();
}

void TGraphicViewport::mouseDoubleClickEvent(QMouseEvent* e) {
    if (OnDblClick)
        OnDblClick(*this);
    fSelectBoxActive = false;
    fPolyDataStream.Clear();
    update();
    // The second press of a double click is a button-down of its own.
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::MiddleButton && fMiddleButtonPan) {
        MiddlePress(e->modifiers(), pos.x(), pos.y());
        return;
    }
    DoMouseDown(e->button(), e->modifiers(), pos.x(), pos.y());
}

void TGraphicViewport::enterEvent(QEnterEvent*) {
    if (OnMouseEnter)
        OnMouseEnter(*this);
}

void TGraphicViewport::leaveEvent(QEvent*) {
    if (OnMouseLeave)
        OnMouseLeave(*this);
}

void TGraphicViewport::wheelEvent(QWheelEvent* e) {
    e->accept();
    const int delta = e->angleDelta().y();
    // Not while a drag holds the picture or a rubber band.
    if (delta == 0 || fMouseDownFlag || fSelectBoxActive || fMiddleDown)
        return;
    const QPoint pos = e->position().toPoint();
    ZoomAbout(ScreenToCoOrd(TPoint{pos.x(), pos.y()}), WheelZoomFactor(delta, fZoomFactor));
}

} // namespace plani
