#pragma once
// The pictures of the toolbar's five map buttons, drawn in code so that they stay
// sharp at any device pixel ratio.

#include <QIcon>

namespace quadrel {

enum class TMapButton { ZoomAll, ZoomIn, ZoomOut, Pan, SelectArea };

QIcon MapButtonIcon(TMapButton Button);

} // namespace quadrel
