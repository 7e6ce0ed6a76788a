#include "area_outline.h"

#include "PGFtable.h"
#include "PlaniVP.h"

namespace quadrel {

namespace {

using namespace plani;

// A thin solid dark green line: apart from the red extent rectangle and from the
// map's land, sea, coast and border colours.
TBasicObjectStyle OutlineStyle() {
    TBasicObjectStyle s;
    s.PenColor = 0x006400; // 0x00BBGGRR
    s.PenMode = pmCopy;
    s.PenWidth = 1;
    s.PenStyle = psSolid;
    return s;
}

} // namespace

TAreaOutline::TAreaOutline(TGraphicViewport& Viewport)
    : FViewport(&Viewport), FTable(std::make_unique<TPGFTable>()) {
    FTable->SetName("AreaOutline");
    FTable->SetRamFile(true);
    FTable->SetLayers(1);
    FTable->SetPointWidth(1);
    FTable->CreateNewTable();
    TLayerState state;
    state.SetSelectable(false);
    state.SetInfoable(false);
    Viewport.Layers().InsertUsingState(FTable.get(), 1, &state);
}

TAreaOutline::~TAreaOutline() {
    // The viewport may have gone first (the window's widgets go with it).
    if (FViewport)
        FViewport->Layers().Remove(FTable.get());
}

void TAreaOutline::Show(const TArea* Area) {
    FTable->CreateNewTable();
    if (Area) {
        const TBasicObjectStyle style = OutlineStyle();
        for (const TAreaRing& ring : Area->Rings) {
            if (ring.size() < 2)
                continue;
            TMemoryStream line;
            line.WriteInt32(1); // one part, closed
            line.WriteInt32(static_cast<int32_t>(ring.size() + 1));
            for (size_t i = 0; i <= ring.size(); ++i) {
                line.WriteDouble(ring[i % ring.size()].x);
                line.WriteDouble(ring[i % ring.size()].y);
            }
            line.SetPosition(0);
            FTable->CreatePolyline(style, line);
        }
    }
    if (FViewport)
        FViewport->RedrawImageData(true);
}

} // namespace quadrel
