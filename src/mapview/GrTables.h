#pragma once
// The drawable layer table: a spatial table that draws itself into a map
// viewport, keeps the list of viewports that show it and tells them which
// world area changed.

#include "SObjTables.h"

#include <QWidget>
#include <vector>

class QPainter;

namespace plani {

class TGraphicViewport;
class TGraphicTable;

enum TGraphicTableAttribute : uint8_t { gtaDraw, gtaInfo, gtaSelect, gtaEdit };
using TGraphicTableAttributes = uint8_t; // a set: bit (1 << TGraphicTableAttribute)
constexpr TGraphicTableAttributes AttrSet(TGraphicTableAttribute a) {
    return static_cast<uint8_t>(1u << a);
}
constexpr bool InAttrs(TGraphicTableAttributes s, TGraphicTableAttribute a) {
    return (s & AttrSet(a)) != 0;
}

using TDrawObjEvent =
    std::function<void(TGraphicTable& sender, int32_t objID, std::unique_ptr<TSpatialObjE2>& obj)>;

// During a long draw a table shows its progress on the window and lets pending
// events run: it repaints pc over the canvas area drawn so far (the viewport
// paints from the off-screen image being drawn) and processes pending events.
void RefreshDuringDraw(QWidget* pc, const TRect& cr);

class TGraphicTable : public TSpatialObjTable {
public:
    TGraphicTable();
    ~TGraphicTable() override;

    bool NotifyOnChange() const { return fNotifyVP; }
    void SetNotifyOnChange(bool v) { fNotifyVP = v; }
    TDrawObjEvent OnPreDrawObject;

    void Open() override;
    void Close() override;

    virtual TGraphicTableAttributes Attributes() { return AttrSet(gtaDraw); }
    // Draws the world rectangle vp onto the device rectangle cr of c. rso is the
    // layer's style-override stream or none; pc the window to refresh every pd
    // milliseconds during a long draw; Cancel is polled and stops the draw.
    virtual bool DrawGraphic(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso,
                             QWidget* pc, int pd, bool& Cancel);
    virtual bool DrawSelection(const TFloatRect& vp, QPainter& c, const TRect& cr, bool Internal);
    virtual int32_t CheckForObject(double x, double y, double pw);
    virtual bool PointInObject(int32_t ObjectID, double x, double y);
    virtual bool MoveObject(int32_t ObjectID, double xShift, double yShift);
    virtual bool MoveObjectTo(int32_t ObjectID, double x, double y);
    virtual void ClearSelection() {}
    virtual bool AddToSelection(int32_t ObjectID, bool Append);
    virtual int32_t SelectWithinRect(const TFloatRect& SA, bool Append);
    virtual int32_t SelectWithinCirc(double x, double y, double radius, bool Append);
    virtual int32_t SelectWithinPoly(TMemoryStream& PolyData, bool Append);
    virtual bool SelectWithin(TGraphicTable* gt, int32_t ObjectID);
    virtual int32_t GetSelection(std::vector<int32_t>& l);
    virtual bool SetSelection(const std::vector<int32_t>& l);
    virtual bool IsSelected(int32_t ObjectID);
    virtual TFloatRect SelectionExtents() { return {}; }
    virtual int32_t SelectionCount() { return 0; }
    virtual bool MoveSelection(double xShift, double yShift);
    virtual bool DeleteSelection() { return false; }
    virtual void SelectIntersect(TSpatialObjE2& obj, bool append); // "Method not implemented"
    virtual void SetSearchArea(const TFloatRect& rect);            // "Method not implemented"

    // DrawGraphic without a refresh window and with a cancel flag of its own.
    bool Draw(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso);

    void AddViewportLink(TGraphicViewport* vp);
    void RemoveViewportLink(TGraphicViewport* vp); // ignored while being destroyed
    int ViewportCount() const { return static_cast<int>(AttachedVPList.size()); }
    const std::vector<TGraphicViewport*>& AttachedViewports() const { return AttachedVPList; }

    // Tell every attached viewport that the world area changed, grown by margin
    // pixels (at least 6).
    void NotifyChange(const TFloatRect& area, int margin, bool Erase);
    void NotifySelectionChanged(const TFloatRect& area, int margin);
    void NotifySelectionChanged();
    // Bracket multi-step changes so that the viewports draw their union once.
    void BeginViewportUpdate();
    void EndViewportUpdate(bool aAlwaysProcessMsgs);

protected:
    // Leaves every attached viewport's layer list; the concrete class's destructor
    // calls it after closing the table.
    void DetachFromViewports();

private:
    bool fNotifyVP = true;
    std::vector<TGraphicViewport*> AttachedVPList;
};

} // namespace plani
