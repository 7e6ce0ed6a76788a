#pragma once
// The map pane: a widget that shows an ordered list of layer tables at a
// requested world area, fitted to its own aspect ratio, and lets the user zoom
// and pan with the mouse or handle clicks in a user mode. Layers are drawn into
// an off-screen image (and the selection into an overlay), and the widget is
// always painted from those two images, so exposing it never redraws layers.

#include "GrTables.h"
#include "PlaniMisc.h"
#include "PlaniVPL.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace plani {

enum TViewportMode : uint8_t {
    vpmUserDefined,
    vpmInfo,
    vpmPan,
    vpmZoomIn,
    vpmZoomOut,
    vpmRuler,
    vpmSelectIndiv,
    vpmSelectCirc,
    vpmSelectRect,
    vpmSelectPoly,
    vpmSelectContaining,
    vpmCreatePolygon,
    vpmCreatePolyline,
    vpmCreatePoint,
    vpmCreateText,
    vpmCreateEllipse,
    vpmCreatePolyBezier
};
enum TMoveMode : uint8_t { mmNone, mmMove, mmPoint, mmLine, mmPoly, mmSize, mmAngle };

class TGraphicViewport;
class TViewportParameters;

using TShiftState = Qt::KeyboardModifiers;
using TVPMouseEvent = std::function<void(TGraphicViewport& Sender, Qt::MouseButton Button,
                                         TShiftState Shift, int X, int Y)>;
using TVPMouseMoveEvent = std::function<void(TGraphicViewport& Sender, TShiftState Shift, int X,
                                             int Y, double vpX, double vpY)>;
using TVPNotifyEvent = std::function<void(TGraphicViewport& Sender)>;
using TVPInfoClickEvent =
    std::function<void(TGraphicViewport& Sender, TGraphicTable*& GT, int32_t RecordID)>;
using TGVDrawEvent = std::function<void(TGraphicViewport& Sender, QPainter& Canvas)>;
using TGVPaintEvent = std::function<void(TGraphicViewport& Sender, QPainter& Canvas)>;
using TVPRulerChangeEvent = std::function<void(TGraphicViewport& Sender, double Distance)>;
// Sent by the display parameters with the viewport's layer image.
using TGVViewChangeEvent = std::function<void(TViewportParameters& Sender, QImage& Canvas)>;

// The requested world area and the area actually shown, which is the request
// grown to the widget's aspect ratio; all zero means not computed yet.
class TViewportParameters {
public:
    explicit TViewportParameters(TGraphicViewport* Aowner) : fowner(Aowner) {}
    TViewportParameters(const TViewportParameters&) = delete;
    TViewportParameters& operator=(const TViewportParameters&) = delete;
    void Assign(const TViewportParameters& Source) { SetReq(Source.pReq); }

    const TFloatRect& Req() const { return pReq; }
    // Stores the normalised rectangle and clears the actual view.
    void SetReq(const TFloatRect& R);
    const TFloatRect& Actual() const { return pActual; }
    double ReqLeft() const { return pReq.Left; }
    double ReqTop() const { return pReq.Top; }
    double ReqRight() const { return pReq.Right; }
    double ReqBottom() const { return pReq.Bottom; }
    // Store one edge as given (no normalising) and clear the actual view.
    void SetReqLeft(double v);
    void SetReqTop(double v);
    void SetReqRight(double v);
    void SetReqBottom(double v);
    double ReqCentreX() const { return (pReq.Left + pReq.Right) / 2; }
    double ReqCentreY() const { return (pReq.Top + pReq.Bottom) / 2; }
    // Shift the request; the actual view is left as it is.
    void SetReqCentreX(double v);
    void SetReqCentreY(double v);
    // Ground metres per metre of screen; -1 without units.
    double ReqScale() const;
    void SetReqScale(double s);
    double ActualScale() const;
    TFloatPoint ActualCentre() const { return FloatRectCentre(pActual); }
    double ActualWidth() const;
    double ActualHeight() const;
    TMapUnits Units() const { return funits; }
    void SetUnits(TMapUnits u);
    double MetresPerUnit() const { return fmpu; }
    void SetMetresPerUnit(double v) { fmpu = v; }
    bool KeepScale() const { return fkeepscale; }
    void SetKeepScale(bool v) { fkeepscale = v; }
    double HeldScale() const { return fhold_scale; }
    TGraphicViewport* Owner() const { return fowner; }

    TGVViewChangeEvent OnViewChange;

private:
    friend class TGraphicViewport;
    void SetActual(const TFloatRect& R, bool Notify);
    double ScaleOf(double worldWidth) const;

    TFloatRect pReq;
    TFloatRect pActual;
    TGraphicViewport* fowner;
    bool fkeepscale = false;
    double fhold_scale = -1.0;
    TMapUnits funits = muNone;
    double fmpu = -1.0;
};

class TGraphicViewport : public QWidget {
    Q_OBJECT
public:
    explicit TGraphicViewport(QWidget* parent = nullptr);
    ~TGraphicViewport() override;

    // The requested area, the background colour and the layers of Source.
    void Assign(const TGraphicViewport& Source);
    std::string Name() const { return objectName().toStdString(); }
    bool Destroying() const { return fDestroying; }

    bool AutoRedraw() const { return fAutoRedraw; }
    void SetAutoRedraw(bool v);
    TColor BackgroundColor() const { return fBackGroundColor; }
    void SetBackgroundColor(TColor c);
    TLayerList& Layers() { return *fLL; }
    const TLayerList& Layers() const { return *fLL; }
    void SetLayers(const TLayerList& l) { fLL->Assign(l); }
    TViewportMode Mode() const { return fMode; }
    // Stores the mode, sets its cursor, empties the clicked points, OnRulerChange(0).
    void SetMode(TViewportMode m);
    TViewportParameters& Display() { return *fVPParm; }
    const TViewportParameters& Display() const { return *fVPParm; }
    bool MultiSelect() const { return fMultiSelect; }
    void SetMultiSelect(bool v) { fMultiSelect = v; }
    uint16_t MoveDelay() const { return fMoveDelay; }
    void SetMoveDelay(uint16_t v);
    uint16_t ZoomFactor() const { return fZoomFactor; }
    void SetZoomFactor(uint16_t v) { fZoomFactor = v; }
    // The narrowest and widest view (world width) that the wheel zooms to; 0 is no bound.
    double MinViewWidth() const { return fMinViewWidth; }
    double MaxViewWidth() const { return fMaxViewWidth; }
    void SetZoomLimits(double MinWidth, double MaxWidth);
    // Whether a drag with the middle button pans the map in every mode. A middle
    // click without a drag is then reported (OnMouseDown, OnMouseUp) on release.
    bool MiddleButtonPan() const { return fMiddleButtonPan; }
    void SetMiddleButtonPan(bool v) { fMiddleButtonPan = v; }
    bool RedrawBusy() const { return fRedrawBusy; }
    TColor SelectColor() const { return fSelectColor; }
    void SetSelectColor(TColor c) { fSelectColor = c; }
    TBrushStyle SelectStyle() const { return fSelectStyle; }
    void SetSelectStyle(TBrushStyle s) { fSelectStyle = s; }
    bool AtomicOps() const { return fAtomicOps; }
    void SetAtomicOps(bool v) { fAtomicOps = v; }

    TVPMouseEvent OnMouseDown, OnMouseUp;
    TVPMouseMoveEvent OnMouseMove;
    TVPNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
    TVPInfoClickEvent OnInfoClick;
    TGVDrawEvent OnPreRedraw, OnPostRedraw;
    TGVPaintEvent OnPrePaint, OnPostPaint;
    TVPRulerChangeEvent OnRulerChange;

    // Redraw from the current request: with aForceRedraw every layer is drawn,
    // otherwise only the areas that changed meanwhile.
    void RedrawImageData(bool aForceRedraw);
    // Draws the world rectangle vp onto CanvasArea of c; returns the world
    // rectangle actually drawn (vp fitted to CanvasArea), all zero when nothing was.
    TFloatRect GenerateImageData(QPainter& c, const TRect& CanvasArea, const TFloatRect& vp,
                                 bool GenLayers, bool GenSelection, bool Erase);
    // Clears the request, so the next view shows the visible layers' extents.
    void ZoomToVisibleExtents();
    // Zooms by Factor (> 1 closer) about the world point Anchor, which keeps its
    // place in the pane, within the zoom limits, and redraws. The mouse wheel does
    // this about the point under the pointer, ZoomFactor per notch, in every mode.
    void ZoomAbout(const TFloatPoint& Anchor, double Factor);
    void ProcessGTableNotifyMessages();
    void NotifyOnGraphicChange(TGraphicTable* Sender, const TFloatRect& a, bool Erase);
    void NotifySelectionChange(TGraphicTable* aSender);
    void NotifySelectionChange(TGraphicTable* aSender, const TFloatRect& aArea);
    TFloatPoint ScreenToCoOrd(const TPoint& p) const;
    TFloatRect ScreenToCoOrd(const TRect& aRect) const;
    TPoint CoOrdToScreen(const TFloatPoint& p) const;
    TRect CoOrdToScreen(const TFloatRect& aRect) const;
    // Stops a running drawing at its next check and ends a rubber band.
    void CancelOperation();
    void IncBusyRefCount() { ++fBusyRefCount; }
    void DecBusyRefCount(bool aAlwaysProcessMsgs);
    int BusyRefCount() const { return fBusyRefCount; }

    void ZoomToSelection();
    void CenterOnSelection();
    void MakeSelectionVisible();
    void PanToLocation(const TFloatPoint& Center);
    bool CheckForObject(int x, int y, TGraphicTable*& GT, int32_t& RecordID, bool InfoableOnly);
    double DiagonalPixels() const;
    double DiagonalNonEarthDistance(bool NonEarth, double MeasurementRadius) const;
    double GisUnitsPerPoint(bool NonEarth, double MeasurementRadius) const;

    const QImage& ScreenBM() const { return fScreenBM; }
    const QImage& SelectBM() const { return fSelectBM; }
    // The transform from the actual view to the widget, or none.
    const TWDTransform* Transform() const { return ftr.get(); }
    const TFloatRect& ModifiedGraphicArea() const { return fModifiedGraphicArea; }
    const TFloatRect& ModifiedSelectionArea() const { return fModifiedSelectionArea; }
    const TRect& SelectBox() const { return fSelectBox; }
    bool SelectBoxActive() const { return fSelectBoxActive; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    friend class TViewportParameters;

    void UpdateActualView();
    TFloatRect DrawLayers(QPainter& c, const TRect& CanvasArea, const TFloatRect& vp,
                          bool GenLayers, bool GenSelection, int TopLayer, bool Erase);
    bool RedrawAllowed() const { return fAutoRedraw && !(fBusyRefCount > 0 && fAtomicOps); }
    void ProcessPendingIfAllowed();
    // The off-screen images hold the widget at the screen's device pixel ratio, so
    // that lines and the map are drawn sharp on a high-density screen.
    QSize BitmapPixels() const;
    bool BitmapsFitWidget() const;
    void ResizeBitmaps();
    void EraseBitmaps();
    void FillSelectArea(const TRect& r);
    TRect WorldToCanvasRect(const TFloatRect& a) const;
    // A full redraw once the running drawing (if any) has stopped.
    void ScheduleFullRedraw();
    void DoMouseDown(Qt::MouseButton Button, TShiftState Shift, int X, int Y);
    void RestorePanCursor();
    void SetPanCursor();
    // The picture is being dragged (pan mode, or the middle button): from where to where.
    bool PanDrag(TPoint& From, TPoint& To) const;
    void MiddlePress(TShiftState Shift, int X, int Y);
    void MiddleRelease(TShiftState Shift, int X, int Y);

    bool fAutoRedraw = true;
    TColor fBackGroundColor = 0xFFFFFF;
    std::unique_ptr<TLayerList> fLL;
    TViewportMode fMode = vpmUserDefined;
    std::unique_ptr<TViewportParameters> fVPParm;
    bool fMultiSelect = false;
    uint16_t fMoveDelay = 500;
    uint16_t fZoomFactor = 25;
    bool fRedrawBusy = false;
    TColor fSelectColor = 255;
    TBrushStyle fSelectStyle = bsDiagCross;
    bool fAtomicOps = true;

    QImage fScreenBM;
    // Premultiplied ARGB: pixels never drawn stay transparent, which is what the
    // background colour as the overlay's transparent colour amounts to.
    QImage fSelectBM;
    TRect fSelectBox;
    TShiftState fSelectShiftState;
    bool fSelectBoxActive = false;
    bool fMouseDownFlag = false;
    bool fCancelOperationFlag = false;
    TMemoryStream fPolyDataStream;
    bool fmsk = false;
    bool fDblClickFlag = false;
    QTimer fMoveTimer;
    TMoveMode fMoveModeState = mmNone;
    std::unique_ptr<TWDTransform> ftr;
    TFloatRect fModifiedGraphicArea;
    TFloatRect fModifiedSelectionArea;
    int fBusyRefCount = 0;

    bool fDestroying = false;
    bool fPanCursorSet = false;
    bool fPendingFullRedraw = false;
    bool fRedrawPosted = false;
    TPoint fLastMouse;

    double fMinViewWidth = 0;
    double fMaxViewWidth = 0;
    bool fMiddleButtonPan = false;
    bool fMiddleDown = false;     // the middle button is held (with MiddleButtonPan)
    bool fMiddleDragging = false; // and has moved far enough to pan
    TPoint fMiddleFrom, fMiddleTo;
};

} // namespace plani
