#pragma once
// The outline of the area of interest in the map pane: its rings, in the grid
// system's metres, as lines in a layer of their own between the background map and
// the extent rectangle.

#include "area.h"

#include <QPointer>
#include <memory>

namespace plani {
class TGraphicViewport;
class TPGFTable;
} // namespace plani

namespace quadrel {

class TAreaOutline {
public:
    // Adds the layer to Viewport just below its top layer (the extent rectangle).
    explicit TAreaOutline(plani::TGraphicViewport& Viewport);
    ~TAreaOutline();
    TAreaOutline(const TAreaOutline&) = delete;
    TAreaOutline& operator=(const TAreaOutline&) = delete;

    // Draws the rings of Area instead of what was drawn; nothing for null.
    void Show(const TArea* Area);
    plani::TPGFTable& Table() { return *FTable; }

private:
    QPointer<plani::TGraphicViewport> FViewport;
    std::unique_ptr<plani::TPGFTable> FTable;
};

} // namespace quadrel
