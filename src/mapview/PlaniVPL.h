#pragma once
// The viewport's ordered list of layers. Layer 0 is the top layer, drawn last;
// the highest index is the bottom layer, drawn first. Each layer is a table with
// a state of visibility and other flags, a style-override stream and an
// optional thematic table drawn over it.

#include "GrTables.h"
#include "PlaniMisc.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plani {

class TGraphicViewport;
class TLayerList;
class TLayerListItem;

// Label placement parameters; automatic labelling itself is not part of this toolkit.
struct TAutoLabelParams {
    THorizAlignment HorizAlignment = haLeft;
    TVertAlignment VertAlignment = vaBottom;
    TPlaniFont Font;
    TPlaniBrush Brush;
    bool AllowTextOverlap = false;
    bool AllowBndryOverlap = true;
    TGraphicTable* TextTable = nullptr;
};

class TLayerState {
public:
    explicit TLayerState(TLayerListItem* ownerp = nullptr) : powner(ownerp) {}
    TLayerState(const TLayerState&) = delete;
    TLayerState& operator=(const TLayerState&) = delete;

    // Copies the seven flags and both scales, or restores the defaults without a
    // source; fires OnChange either way.
    void Assign(const TLayerState* Source);
    // Within the zoom band when ZoomLayered and aVPScale >= 0; otherwise Visible.
    bool ZoomVisible(double aVPScale) const;

    TLayerListItem* Owner() const { return powner; }
    bool Visible() const { return pVisible; }
    bool Selectable() const { return pSelectable; }
    bool Editable() const { return pEditable; }
    bool Infoable() const { return pInfoable; }
    bool StyleOverride() const { return pStyleOverride; }
    bool AutoLabel() const { return pAutoLabel; }
    bool ZoomLayered() const { return pZoomLayered; }
    double ZLMinScale() const { return pZLMinScale; }
    double ZLMaxScale() const { return pZLMaxScale; }

    // With an owning layer a flag becomes true only when the layer's table offers
    // the matching attribute (Visible: draw, Infoable: info, Selectable: select,
    // Editable: edit) and StyleOverride only while the override stream holds data.
    // Visible false clears Selectable, Editable and Infoable; Selectable true sets
    // Visible, false clears Editable; Editable true sets Selectable and Visible;
    // Infoable true sets Visible.
    void SetVisible(bool v);
    void SetSelectable(bool v);
    void SetEditable(bool v);
    void SetInfoable(bool v);
    void SetStyleOverride(bool v);
    void SetAutoLabel(bool v);
    void SetZoomLayered(bool v);
    void SetZLMinScale(double v);
    void SetZLMaxScale(double v);

    std::function<void()> OnChange;

private:
    bool Offers(TGraphicTableAttribute a) const;
    void Changed() {
        if (OnChange)
            OnChange();
    }

    TLayerListItem* powner;
    bool pVisible = true;
    bool pSelectable = true;
    bool pEditable = false;
    bool pInfoable = true;
    bool pStyleOverride = false;
    bool pAutoLabel = false;
    bool pZoomLayered = false;
    double pZLMinScale = 0.0;
    double pZLMaxScale = 0.0;
};

class TLayerListItem {
public:
    explicit TLayerListItem(TGraphicTable* gt) : TLayerListItem(nullptr, gt) {}
    TLayerListItem(TLayerList* powner, TGraphicTable* gt);
    TLayerListItem(const TLayerListItem&) = delete;
    TLayerListItem& operator=(const TLayerListItem&) = delete;

    // Per-object style overrides: one 12-byte style per object ID, at ID * 12.
    TMemoryStream& RecStyleOver() { return rso; }
    const TMemoryStream& RecStyleOver() const { return rso; }
    TGraphicTable* GraphicTable() const { return pGT; }
    TGraphicTable* ThematicTable() const { return pThematic; }
    void SetThematicTable(TGraphicTable* t) { pThematic = t; }
    TLayerState& LayerState() { return *pState; }
    const TLayerState& LayerState() const { return *pState; }
    void SetLayerState(const TLayerState& s) { pState->Assign(&s); }
    TAutoLabelParams& AutoLabelParams() { return *pAutoLabelParams; }
    TLayerList* Owner() const { return fowner; }

    // Fills the override stream with Defaults for IDs 0 .. HighestObjNo and sets StyleOverride.
    void InitStyleOverride(const TBasicObjectStyle& Defaults);
    void OverrideStyle(int32_t ObjectID, const TBasicObjectStyle& Style);
    void RemoveStyleOverride();

    std::function<void()> OnChange;

private:
    TMemoryStream rso;
    TGraphicTable* pGT;
    TGraphicTable* pThematic = nullptr;
    std::unique_ptr<TLayerState> pState;
    std::unique_ptr<TAutoLabelParams> pAutoLabelParams;
    TLayerList* fowner;
};

// One stored layer, as the form data of a window lists it from the bottom layer up.
struct TLayerDataEntry {
    TGraphicTable* Table = nullptr;
    bool Visible = true;
    bool Selectable = true;
    bool Editable = false;
    bool Infoable = true;
    bool StyleOverride = false;
    bool ZoomLayered = false;
    double ZLMinScale = 0.0;
    double ZLMaxScale = 0.0;
};

class TLayerList {
public:
    explicit TLayerList(TGraphicViewport* ViewportOwner = nullptr);
    ~TLayerList();
    TLayerList(const TLayerList&) = delete;
    TLayerList& operator=(const TLayerList&) = delete;

    // Re-inserts Source's layers, states, override streams and thematic tables in the same order.
    void Assign(const TLayerList& Source);

    // New layers go on top: Add(gt) = Insert(gt, 0).
    int Add(TGraphicTable* gt) { return Insert(gt, 0); }
    int Insert(TGraphicTable* gt, int LayerNo) { return InsertUsingState(gt, LayerNo, nullptr); }
    // Returns the index used. Raises CEError for a missing or already used table
    // and Exception for units that differ from the viewport's.
    int InsertUsingState(TGraphicTable* gt, int LayerNo, const TLayerState* LayerState);
    bool Remove(TGraphicTable* gt);
    bool Delete(int LayerNo);
    void RemoveAll();
    int Count() const { return static_cast<int>(ListItems.size()); }
    int Move(int LayerNo, int NewPosition);
    int MoveBy(int LayerNo, int Offset) { return Move(LayerNo, LayerNo + Offset); }
    bool Exchange(int LayerA, int LayerB);
    int IndexOf(const TLayerListItem* Item) const;
    int IndexOfTable(const TGraphicTable* gt) const;
    int IndexOfThematicTable(const TGraphicTable* gt) const;
    TLayerListItem* GetLayerItem(int LayerNo) const;

    TFloatRect GetExtents() const;
    // The union over visible, active layers that hold objects; all zero when none does.
    TFloatRect GetVisibleExtents() const;
    TFloatRect GetSelectionExtents() const;
    void ClearSelection();
    void DeleteSelection();
    bool CheckForObject(const TFloatPoint& p, double pw, double GVScale, bool InfoableOnly,
                        TGraphicTable*& GT, int32_t& ObjectID);
    int GetSelectionLayers(std::vector<TLayerListItem*>* aLayerList) const;
    int GetVisEdSelLayers(std::vector<TLayerListItem*>* aLayerList, double aVPScale) const;
    int TopSelectableObjectLayer();
    int TopVisibleEditableLayer() const;

    // The stored layer list of a window: entries from the bottom layer to the top.
    // Reading inserts each at position 0 with its flags applied through the setters.
    void ReadLayerData(const std::vector<TLayerDataEntry>& Entries);
    std::vector<TLayerDataEntry> WriteLayerData() const;

    TGraphicViewport* Owner() const { return fOwner; }
    std::function<void(TLayerList& Sender)> OnChange;
    std::function<void(TLayerList& Sender, TLayerListItem& Layer)> OnLayerStateChange;

private:
    void Changed() {
        if (OnChange)
            OnChange(*this);
    }
    void DeleteItem(int LayerNo);

    bool InitializingLayers = false;
    std::vector<std::unique_ptr<TLayerListItem>> ListItems;
    TGraphicViewport* fOwner;
};

} // namespace plani
