#include "PlaniVPL.h"

#include "PlaniVP.h"

#include <algorithm>
#include <cmath>

namespace plani {

// --- TLayerState ----------------------------------------------------------------------------

void TLayerState::Assign(const TLayerState* Source) {
    if (Source) {
        pVisible = Source->pVisible;
        pSelectable = Source->pSelectable;
        pEditable = Source->pEditable;
        pInfoable = Source->pInfoable;
        pStyleOverride = Source->pStyleOverride;
        pAutoLabel = Source->pAutoLabel;
        pZoomLayered = Source->pZoomLayered;
        pZLMinScale = Source->pZLMinScale;
        pZLMaxScale = Source->pZLMaxScale;
    } else {
        pVisible = pSelectable = pInfoable = true;
        pEditable = pStyleOverride = pAutoLabel = pZoomLayered = false;
        pZLMinScale = pZLMaxScale = 0.0;
    }
    Changed();
}

bool TLayerState::ZoomVisible(double aVPScale) const {
    if (pZoomLayered && aVPScale >= 0)
        return pVisible && pZLMinScale <= aVPScale && aVPScale <= pZLMaxScale;
    return pVisible;
}

bool TLayerState::Offers(TGraphicTableAttribute a) const {
    if (!powner)
        return true;
    TGraphicTable* gt = powner->GraphicTable();
    return gt && InAttrs(gt->Attributes(), a);
}

void TLayerState::SetVisible(bool v) {
    if (!v || Offers(gtaDraw)) {
        pVisible = v;
        if (!v)
            pSelectable = pEditable = pInfoable = false;
    }
    Changed();
}

void TLayerState::SetSelectable(bool v) {
    if (!v || Offers(gtaSelect)) {
        pSelectable = v;
        if (v)
            pVisible = true;
        else
            pEditable = false;
    }
    Changed();
}

void TLayerState::SetEditable(bool v) {
    if (!v || Offers(gtaEdit)) {
        pEditable = v;
        if (v)
            pSelectable = pVisible = true;
    }
    Changed();
}

void TLayerState::SetInfoable(bool v) {
    if (!v || Offers(gtaInfo)) {
        pInfoable = v;
        if (v)
            pVisible = true;
    }
    Changed();
}

void TLayerState::SetStyleOverride(bool v) {
    if (!v || !powner || powner->RecStyleOver().Size() > 0)
        pStyleOverride = v;
    Changed();
}

void TLayerState::SetAutoLabel(bool v) {
    pAutoLabel = v;
    Changed();
}

void TLayerState::SetZoomLayered(bool v) {
    pZoomLayered = v;
    Changed();
}

void TLayerState::SetZLMinScale(double v) {
    pZLMinScale = v;
    Changed();
}

void TLayerState::SetZLMaxScale(double v) {
    pZLMaxScale = v;
    Changed();
}

// --- TLayerListItem ---------------------------------------------------------------------------

TLayerListItem::TLayerListItem(TLayerList* powner, TGraphicTable* gt)
    : pGT(gt), pState(std::make_unique<TLayerState>(this)),
      pAutoLabelParams(std::make_unique<TAutoLabelParams>()), fowner(powner) {
    pState->OnChange = [this] {
        if (OnChange)
            OnChange();
    };
}

void TLayerListItem::InitStyleOverride(const TBasicObjectStyle& Defaults) {
    if (!pGT)
        throw CEError("InitStyleOverride: Invalid GraphicTable in layer");
    if (!pGT->Active())
        throw CEError("InitStyleOverride: GraphicTable is inactive");
    const int32_t n = std::max<int32_t>(0, pGT->HighestObjNo());
    // Rewritten from the start, so a second initialisation leaves no stale overrides.
    rso.Clear();
    for (int32_t i = 0; i <= n; ++i)
        rso.WriteValue(Defaults);
    pState->SetStyleOverride(true);
}

void TLayerListItem::OverrideStyle(int32_t ObjectID, const TBasicObjectStyle& Style) {
    if (rso.Size() == 0)
        throw CEError("OverrideStyle: Layer has not been InitStyleOverride'd");
    if (ObjectID < 0)
        return;
    rso.SetPosition(static_cast<int64_t>(ObjectID) * 12);
    rso.WriteValue(Style);
}

void TLayerListItem::RemoveStyleOverride() {
    rso.Clear();
    pState->SetStyleOverride(false);
}

// --- TLayerList -------------------------------------------------------------------------------

TLayerList::TLayerList(TGraphicViewport* ViewportOwner) : fOwner(ViewportOwner) {}

TLayerList::~TLayerList() {
    // Unlink the tables without touching a viewport that is going away.
    for (auto& item : ListItems)
        if (item->GraphicTable())
            item->GraphicTable()->RemoveViewportLink(fOwner);
    ListItems.clear();
}

void TLayerList::Assign(const TLayerList& Source) {
    if (&Source == this)
        return;
    RemoveAll();
    for (int i = Source.Count() - 1; i >= 0; --i) {
        const TLayerListItem* src = Source.ListItems[static_cast<size_t>(i)].get();
        int at = InsertUsingState(src->GraphicTable(), 0, &src->LayerState());
        TLayerListItem* dst = ListItems[static_cast<size_t>(at)].get();
        const std::vector<uint8_t>& bytes = src->RecStyleOver().Bytes();
        dst->RecStyleOver().Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        dst->SetThematicTable(src->ThematicTable());
    }
    if (fOwner)
        fOwner->update();
    Changed();
}

int TLayerList::InsertUsingState(TGraphicTable* gt, int LayerNo, const TLayerState* LayerState) {
    if (!gt)
        throw CEError("Add/InsertLayer: Invalid GraphicTable");
    if (IndexOfTable(gt) >= 0)
        throw CEError("Add Layer: " + gt->ComponentName() + " already used in " +
                      (fOwner ? fOwner->Name() : std::string()));
    LayerNo = std::clamp(LayerNo, 0, Count());
    if (fOwner) {
        const TViewportParameters& d = fOwner->Display();
        bool same;
        if (d.Units() == muCustom) {
            double a = gt->MetresPerUnit(), b = d.MetresPerUnit();
            same = a == b || std::abs(a - b) <= 1e-13 * std::max(std::abs(a), std::abs(b));
        } else {
            same = gt->Units() == d.Units() || gt->Units() == muNone;
        }
        if (!same)
            throw Exception("Units of graphic table are not the same as the viewport units");
    }
    auto item = std::make_unique<TLayerListItem>(this, gt);
    if (LayerState)
        item->LayerState().Assign(LayerState);
    TLayerListItem* raw = item.get();
    raw->OnChange = [this, raw] {
        if (OnLayerStateChange)
            OnLayerStateChange(*this, *raw);
    };
    ListItems.insert(ListItems.begin() + LayerNo, std::move(item));
    if (!InitializingLayers)
        Changed();
    if (fOwner) {
        gt->AddViewportLink(fOwner);
        if (gt->Active() && !InitializingLayers)
            fOwner->NotifyOnGraphicChange(gt, gt->Extents(), false);
    }
    return LayerNo;
}

void TLayerList::DeleteItem(int LayerNo) {
    std::unique_ptr<TLayerListItem> item = std::move(ListItems[static_cast<size_t>(LayerNo)]);
    ListItems.erase(ListItems.begin() + LayerNo);
    TGraphicTable* gt = item->GraphicTable();
    item.reset();
    if (!gt)
        return;
    if (fOwner)
        gt->RemoveViewportLink(fOwner);
    if (fOwner && gt->Active() && !gt->Destroying() && !fOwner->Destroying())
        fOwner->NotifyOnGraphicChange(gt, gt->Extents(), true);
}

bool TLayerList::Remove(TGraphicTable* gt) {
    bool any = false;
    for (int i = Count() - 1; i >= 0; --i)
        if (ListItems[static_cast<size_t>(i)]->GraphicTable() == gt) {
            DeleteItem(i);
            any = true;
        }
    if (any)
        Changed();
    return any;
}

bool TLayerList::Delete(int LayerNo) {
    if (LayerNo < 0 || LayerNo >= Count())
        return false;
    DeleteItem(LayerNo);
    Changed();
    return true;
}

void TLayerList::RemoveAll() {
    std::vector<std::unique_ptr<TLayerListItem>> items = std::move(ListItems);
    ListItems.clear();
    for (auto& item : items)
        if (item->GraphicTable() && fOwner)
            item->GraphicTable()->RemoveViewportLink(fOwner);
    items.clear();
    if (fOwner && !fOwner->Destroying())
        fOwner->update();
    Changed();
}

int TLayerList::Move(int LayerNo, int NewPosition) {
    if (LayerNo < 0 || LayerNo >= Count())
        return LayerNo;
    NewPosition = std::clamp(NewPosition, 0, Count() - 1);
    auto item = std::move(ListItems[static_cast<size_t>(LayerNo)]);
    ListItems.erase(ListItems.begin() + LayerNo);
    ListItems.insert(ListItems.begin() + NewPosition, std::move(item));
    Changed();
    return NewPosition;
}

bool TLayerList::Exchange(int LayerA, int LayerB) {
    if (LayerA < 0 || LayerA >= Count() || LayerB < 0 || LayerB >= Count())
        return false;
    std::swap(ListItems[static_cast<size_t>(LayerA)], ListItems[static_cast<size_t>(LayerB)]);
    Changed();
    return true;
}

int TLayerList::IndexOf(const TLayerListItem* Item) const {
    for (int i = 0; i < Count(); ++i)
        if (ListItems[static_cast<size_t>(i)].get() == Item)
            return i;
    return -1;
}

int TLayerList::IndexOfTable(const TGraphicTable* gt) const {
    for (int i = 0; i < Count(); ++i)
        if (ListItems[static_cast<size_t>(i)]->GraphicTable() == gt)
            return i;
    return -1;
}

int TLayerList::IndexOfThematicTable(const TGraphicTable* gt) const {
    for (int i = 0; i < Count(); ++i)
        if (ListItems[static_cast<size_t>(i)]->ThematicTable() == gt)
            return i;
    return -1;
}

TLayerListItem* TLayerList::GetLayerItem(int LayerNo) const {
    if (LayerNo < 0 || LayerNo >= Count())
        return nullptr;
    return ListItems[static_cast<size_t>(LayerNo)].get();
}

TFloatRect TLayerList::GetExtents() const {
    TFloatRect r;
    bool first = true;
    for (const auto& item : ListItems) {
        if (!item->GraphicTable())
            continue;
        TFloatRect e = item->GraphicTable()->Extents();
        r = first ? e : UnionFloatRect(r, e);
        first = false;
    }
    return r;
}

TFloatRect TLayerList::GetVisibleExtents() const {
    TFloatRect r;
    bool first = true;
    for (const auto& item : ListItems) {
        TGraphicTable* gt = item->GraphicTable();
        if (!gt || !item->LayerState().Visible() || !gt->Active() || gt->ObjectCount() == 0)
            continue;
        TFloatRect e = gt->Extents();
        r = first ? e : UnionFloatRect(r, e);
        first = false;
    }
    return r;
}

TFloatRect TLayerList::GetSelectionExtents() const {
    TFloatRect r;
    bool first = true;
    for (const auto& item : ListItems) {
        TGraphicTable* gt = item->GraphicTable();
        if (!gt || gt->SelectionCount() == 0)
            continue;
        TFloatRect e = gt->SelectionExtents();
        r = first ? e : UnionFloatRect(r, e);
        first = false;
    }
    return r;
}

void TLayerList::ClearSelection() {
    for (auto& item : ListItems)
        if (item->GraphicTable())
            item->GraphicTable()->ClearSelection();
}

void TLayerList::DeleteSelection() {
    for (auto& item : ListItems)
        if (item->GraphicTable() && item->LayerState().Editable())
            item->GraphicTable()->DeleteSelection();
}

bool TLayerList::CheckForObject(const TFloatPoint& p, double pw, double GVScale, bool InfoableOnly,
                                TGraphicTable*& GT, int32_t& ObjectID) {
    for (auto& item : ListItems) {
        TLayerState& st = item->LayerState();
        if (!st.Visible() && st.Selectable())
            st.SetSelectable(false);
        if (!st.ZoomVisible(GVScale))
            continue;
        if (!st.Infoable() && InfoableOnly)
            continue;
        for (TGraphicTable* t : {item->ThematicTable(), item->GraphicTable()}) {
            if (!t || !t->Active())
                continue;
            int32_t id = t->CheckForObject(p.X, p.Y, pw);
            if (id != 0) {
                GT = t;
                ObjectID = id;
                return true;
            }
        }
    }
    return false;
}

int TLayerList::GetSelectionLayers(std::vector<TLayerListItem*>* aLayerList) const {
    int n = 0;
    for (const auto& item : ListItems)
        if (item->GraphicTable() && item->GraphicTable()->SelectionCount() > 0) {
            if (aLayerList)
                aLayerList->push_back(item.get());
            ++n;
        }
    return n;
}

int TLayerList::GetVisEdSelLayers(std::vector<TLayerListItem*>* aLayerList, double aVPScale) const {
    int n = 0;
    for (const auto& item : ListItems)
        if (item->GraphicTable() && item->GraphicTable()->SelectionCount() > 0 &&
            item->LayerState().Editable() && item->LayerState().ZoomVisible(aVPScale)) {
            if (aLayerList)
                aLayerList->push_back(item.get());
            ++n;
        }
    return n;
}

int TLayerList::TopSelectableObjectLayer() {
    for (int i = 0; i < Count(); ++i) {
        TLayerListItem* item = ListItems[static_cast<size_t>(i)].get();
        TLayerState& st = item->LayerState();
        if (!st.Visible() && st.Selectable())
            st.SetSelectable(false);
        TGraphicTable* gt = item->GraphicTable();
        if (st.Selectable() && gt && gt->Active() && gt->ObjectCount() > 0)
            return i;
    }
    return -1;
}

int TLayerList::TopVisibleEditableLayer() const {
    for (int i = 0; i < Count(); ++i) {
        const TLayerState& st = ListItems[static_cast<size_t>(i)]->LayerState();
        if (st.Editable() && st.Visible())
            return i;
    }
    return -1;
}

void TLayerList::ReadLayerData(const std::vector<TLayerDataEntry>& Entries) {
    InitializingLayers = true;
    try {
        for (const auto& e : Entries) {
            // A state without owner: the setters' implications apply, the attribute checks do not.
            TLayerState st;
            st.SetVisible(e.Visible);
            st.SetSelectable(e.Selectable);
            st.SetEditable(e.Editable);
            st.SetInfoable(e.Infoable);
            st.SetStyleOverride(e.StyleOverride);
            st.SetZoomLayered(e.ZoomLayered);
            st.SetZLMinScale(e.ZLMinScale);
            st.SetZLMaxScale(e.ZLMaxScale);
            if (e.Table)
                InsertUsingState(e.Table, 0, &st);
        }
    } catch (...) {
        InitializingLayers = false;
        throw;
    }
    InitializingLayers = false;
    Changed();
}

std::vector<TLayerDataEntry> TLayerList::WriteLayerData() const {
    std::vector<TLayerDataEntry> out;
    for (int i = Count() - 1; i >= 0; --i) {
        const TLayerListItem& item = *ListItems[static_cast<size_t>(i)];
        const TLayerState& st = item.LayerState();
        out.push_back({item.GraphicTable(), st.Visible(), st.Selectable(), st.Editable(),
                       st.Infoable(), st.StyleOverride(), st.ZoomLayered(), st.ZLMinScale(),
                       st.ZLMaxScale()});
    }
    return out;
}

} // namespace plani
