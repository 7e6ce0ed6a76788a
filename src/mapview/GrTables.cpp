#include "GrTables.h"

#include "PlaniVP.h"

#include <QCoreApplication>
#include <algorithm>

namespace plani {

void RefreshDuringDraw(QWidget* pc, const TRect& cr) {
    if (pc && pc->isVisible())
        pc->repaint(ToQRect(cr));
    QCoreApplication::processEvents();
}

TGraphicTable::TGraphicTable() {
    fDescrip = "Graphic Table";
}

TGraphicTable::~TGraphicTable() {
    BeginDestroy();
    DetachFromViewports();
}

void TGraphicTable::DetachFromViewports() {
    BeginDestroy();
    // Removing the layer unlinks the viewport from this list.
    while (!AttachedVPList.empty()) {
        TGraphicViewport* vp = AttachedVPList.back();
        AttachedVPList.pop_back();
        vp->Layers().Remove(this);
    }
}

void TGraphicTable::Open() {
    TSpatialObjTable::Open();
    NotifyChange(Extents(), 20, false);
}

void TGraphicTable::Close() {
    TFloatRect oldExtents, oldSel;
    if (!Destroying()) {
        oldExtents = Extents();
        oldSel = SelectionExtents();
        ClearSelection();
    }
    TSpatialObjTable::Close();
    if (Destroying())
        return;
    for (auto* vp : AttachedVPList)
        vp->IncBusyRefCount();
    NotifyChange(oldExtents, 20, true);
    NotifySelectionChanged(oldSel, 5);
    for (auto* vp : std::vector<TGraphicViewport*>(AttachedVPList))
        vp->DecBusyRefCount(false);
}

bool TGraphicTable::DrawGraphic(const TFloatRect&, QPainter&, const TRect&, TMemoryStream*,
                                QWidget*, int, bool&) {
    return false;
}

bool TGraphicTable::DrawSelection(const TFloatRect&, QPainter&, const TRect&, bool) {
    return false;
}
int32_t TGraphicTable::CheckForObject(double, double, double) {
    return 0;
}
bool TGraphicTable::PointInObject(int32_t, double, double) {
    return false;
}
bool TGraphicTable::MoveObject(int32_t, double, double) {
    return false;
}

bool TGraphicTable::MoveObjectTo(int32_t ObjectID, double x, double y) {
    TFloatPoint c = FloatRectCentre(ObjectExtents(ObjectID));
    return MoveObject(ObjectID, x - c.X, y - c.Y);
}

bool TGraphicTable::AddToSelection(int32_t, bool) {
    return false;
}
int32_t TGraphicTable::SelectWithinRect(const TFloatRect&, bool) {
    return 0;
}
int32_t TGraphicTable::SelectWithinCirc(double, double, double, bool) {
    return 0;
}
int32_t TGraphicTable::SelectWithinPoly(TMemoryStream&, bool) {
    return 0;
}
bool TGraphicTable::SelectWithin(TGraphicTable*, int32_t) {
    return false;
}
int32_t TGraphicTable::GetSelection(std::vector<int32_t>&) {
    return 0;
}
bool TGraphicTable::SetSelection(const std::vector<int32_t>&) {
    return false;
}
bool TGraphicTable::IsSelected(int32_t) {
    return false;
}
bool TGraphicTable::MoveSelection(double, double) {
    return false;
}
void TGraphicTable::SelectIntersect(TSpatialObjE2&, bool) {
    throw Exception("Method not implemented");
}
void TGraphicTable::SetSearchArea(const TFloatRect&) {
    throw Exception("Method not implemented");
}

bool TGraphicTable::Draw(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso) {
    bool cancel = false;
    return DrawGraphic(vp, c, cr, rso, nullptr, 0, cancel);
}

void TGraphicTable::AddViewportLink(TGraphicViewport* vp) {
    if (vp && std::find(AttachedVPList.begin(), AttachedVPList.end(), vp) == AttachedVPList.end())
        AttachedVPList.push_back(vp);
}

void TGraphicTable::RemoveViewportLink(TGraphicViewport* vp) {
    if (Destroying())
        return;
    AttachedVPList.erase(std::remove(AttachedVPList.begin(), AttachedVPList.end(), vp),
                         AttachedVPList.end());
}

void TGraphicTable::NotifyChange(const TFloatRect& area, int margin, bool Erase) {
    if (IsEmptyFloatRect(area) || !fNotifyVP)
        return;
    if (margin < 7)
        margin = 6;
    for (auto* vp : std::vector<TGraphicViewport*>(AttachedVPList)) {
        double g = vp->width() > 0 ? margin * vp->Display().ActualWidth() / vp->width() : 0;
        vp->NotifyOnGraphicChange(
            this, FloatRect(area.Left - g, area.Bottom - g, area.Right + g, area.Top + g), Erase);
    }
}

void TGraphicTable::NotifySelectionChanged(const TFloatRect& area, int margin) {
    if (!fNotifyVP)
        return;
    TFloatRect a = IsEmptyFloatRect(area) ? TFloatRect{-1e-16, 1e-16, 1e-16, -1e-16} : area;
    for (auto* vp : std::vector<TGraphicViewport*>(AttachedVPList)) {
        double g = vp->width() > 0 ? margin * vp->Display().ActualWidth() / vp->width() : 0;
        vp->NotifySelectionChange(this,
                                  FloatRect(a.Left - g, a.Bottom - g, a.Right + g, a.Top + g));
    }
}

void TGraphicTable::NotifySelectionChanged() {
    if (!fNotifyVP)
        return;
    for (auto* vp : std::vector<TGraphicViewport*>(AttachedVPList))
        vp->NotifySelectionChange(this);
}

void TGraphicTable::BeginViewportUpdate() {
    for (auto* vp : AttachedVPList)
        vp->IncBusyRefCount();
}

void TGraphicTable::EndViewportUpdate(bool aAlwaysProcessMsgs) {
    for (auto* vp : std::vector<TGraphicViewport*>(AttachedVPList))
        vp->DecBusyRefCount(aAlwaysProcessMsgs);
}

} // namespace plani
