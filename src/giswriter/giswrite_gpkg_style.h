#pragma once
// The default style of a GeoPackage layer, as QGIS keeps it in the table
// layer_styles: a QGIS style document (QML) and the same symbol as an OGC Styled
// Layer Descriptor (SLD 1.1) for other clients. Regions get a transparent fill and
// the pen's outline, so the cells lie over whatever is beneath them; polylines
// the pen's line; points a circle in the symbol's colour. Internal to the writer
// family.

#include "giswrite_base.h"

#include <string>
#include <string_view>

namespace pwnet {

struct TGpkgStyle {
    std::string Qml;
    std::string Sld;
};

// The style of LayerName, whose geometries are of kind Kind (otNone has none: both
// texts empty). Colours are Windows colour values (0x00BBGGRR).
TGpkgStyle MakeLayerStyle(std::string_view LayerName, TObjectTypes Kind, const TMIPen& Pen,
                          const TMISymbol& Symbol);

} // namespace pwnet
