#include "giswrite_gpkg_style.h"

#include "giswrite_text.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace pwnet {

namespace {

struct TRgb {
    unsigned R, G, B;
};

// A Windows colour value is 0x00BBGGRR.
TRgb Rgb(uint32_t Colour) {
    return {Colour & 0xFFu, (Colour >> 8) & 0xFFu, (Colour >> 16) & 0xFFu};
}

// QGIS writes colours as "r,g,b,alpha".
std::string QgisColour(TRgb C, unsigned Alpha) {
    char s[32];
    std::snprintf(s, sizeof s, "%u,%u,%u,%u", C.R, C.G, C.B, Alpha);
    return s;
}

std::string HexColour(TRgb C) {
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", C.R, C.G, C.B);
    return s;
}

std::string Number(double V) {
    std::string s;
    AppendFloat(s, V);
    return s;
}

// A MapInfo pen is 1 to 7 pixels wide, or from 11 on (w - 10) tenths of a point.
struct TLineWidth {
    double Value;
    const char* QgisUnit; // "Pixel" or "Point"
    double Pixels;        // at 96 dots per inch, for SLD
};

TLineWidth PenWidth(int32_t Width) {
    if (Width > 10) {
        const double points = (Width - 10) / 10.0;
        return {points, "Point", points * 96 / 72};
    }
    const double pixels = Width < 1 ? 1 : Width;
    return {pixels, "Pixel", pixels};
}

// MapInfo pen pattern 1 draws nothing, 2 a solid line, the others dashes and dots.
const char* PenStyle(int32_t Pattern) {
    return Pattern == 1 ? "no" : Pattern == 2 ? "solid" : "dash";
}

using TProps = std::vector<std::pair<std::string, std::string>>;

// A symbol layer's properties, in both forms QGIS reads: the option map of QGIS 3
// and the older <prop> elements.
void AppendSymbolLayer(std::string& Out, const char* Class, const TProps& Props) {
    Out += "        <layer class=\"";
    Out += Class;
    Out += "\" enabled=\"1\" locked=\"0\" pass=\"0\">\n          <Option type=\"Map\">\n";
    for (const auto& [k, v] : Props) {
        Out += "            <Option type=\"QString\" name=\"" + k + "\" value=\"";
        AppendXMLEscaped(Out, v);
        Out += "\"/>\n";
    }
    Out += "          </Option>\n";
    for (const auto& [k, v] : Props) {
        Out += "          <prop k=\"" + k + "\" v=\"";
        AppendXMLEscaped(Out, v);
        Out += "\"/>\n";
    }
    Out += "        </layer>\n";
}

std::string Qml(const char* SymbolType, const char* Class, const TProps& Props, int GeometryType) {
    std::string q = "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
                    "<qgis version=\"3.28.0\" styleCategories=\"Symbology\">\n"
                    "  <renderer-v2 type=\"singleSymbol\" forceraster=\"0\" "
                    "symbollevels=\"0\" enableorderby=\"0\" referencescale=\"-1\">\n"
                    "    <symbols>\n"
                    "      <symbol type=\"";
    q += SymbolType;
    q += "\" name=\"0\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n";
    AppendSymbolLayer(q, Class, Props);
    q += "      </symbol>\n"
         "    </symbols>\n"
         "    <rotation/>\n"
         "    <sizescale/>\n"
         "  </renderer-v2>\n"
         "  <blendMode>0</blendMode>\n"
         "  <featureBlendMode>0</featureBlendMode>\n"
         "  <layerGeometryType>";
    AppendInt(q, GeometryType);
    q += "</layerGeometryType>\n</qgis>\n";
    return q;
}

std::string Sld(std::string_view LayerName, const std::string& Symbolizer) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<StyledLayerDescriptor xmlns=\"http://www.opengis.net/sld\" "
                    "xmlns:ogc=\"http://www.opengis.net/ogc\" "
                    "xmlns:se=\"http://www.opengis.net/se\" "
                    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" version=\"1.1.0\" "
                    "xsi:schemaLocation=\"http://www.opengis.net/sld "
                    "http://schemas.opengis.net/sld/1.1.0/StyledLayerDescriptor.xsd\">\n"
                    "  <NamedLayer>\n    <se:Name>";
    AppendXMLEscaped(s, LayerName);
    s += "</se:Name>\n    <UserStyle>\n      <se:Name>";
    AppendXMLEscaped(s, LayerName);
    s += "</se:Name>\n      <se:FeatureTypeStyle>\n        <se:Rule>\n"
         "          <se:Name>Single symbol</se:Name>\n";
    s += Symbolizer;
    s += "        </se:Rule>\n      </se:FeatureTypeStyle>\n    </UserStyle>\n"
         "  </NamedLayer>\n</StyledLayerDescriptor>\n";
    return s;
}

std::string SldStroke(const TMIPen& Pen) {
    if (Pen.pattern == 1)
        return {};
    return "            <se:Stroke>\n"
           "              <se:SvgParameter name=\"stroke\">" +
           HexColour(Rgb(Pen.Color)) +
           "</se:SvgParameter>\n"
           "              <se:SvgParameter name=\"stroke-width\">" +
           Number(PenWidth(Pen.Width).Pixels) +
           "</se:SvgParameter>\n"
           "            </se:Stroke>\n";
}

} // namespace

TGpkgStyle MakeLayerStyle(std::string_view LayerName, TObjectTypes Kind, const TMIPen& Pen,
                          const TMISymbol& Symbol) {
    const TLineWidth width = PenWidth(Pen.Width);
    switch (Kind) {
    case otRegion: {
        const TProps props = {
            {"color", QgisColour(Rgb(0xFFFFFF), 0)}, // transparent
            {"joinstyle", "miter"},
            {"offset", "0,0"},
            {"offset_unit", "MM"},
            {"outline_color", QgisColour(Rgb(Pen.Color), 255)},
            {"outline_style", PenStyle(Pen.pattern)},
            {"outline_width", Number(width.Value)},
            {"outline_width_unit", width.QgisUnit},
            {"style", "no"},
        };
        return {Qml("fill", "SimpleFill", props, 2),
                Sld(LayerName, "          <se:PolygonSymbolizer>\n" + SldStroke(Pen) +
                                   "          </se:PolygonSymbolizer>\n")};
    }
    case otPline: {
        const TProps props = {
            {"capstyle", "square"},
            {"joinstyle", "bevel"},
            {"line_color", QgisColour(Rgb(Pen.Color), 255)},
            {"line_style", PenStyle(Pen.pattern)},
            {"line_width", Number(width.Value)},
            {"line_width_unit", width.QgisUnit},
            {"offset", "0"},
            {"offset_unit", "MM"},
        };
        return {Qml("line", "SimpleLine", props, 1),
                Sld(LayerName, "          <se:LineSymbolizer>\n" + SldStroke(Pen) +
                                   "          </se:LineSymbolizer>\n")};
    }
    case otPoint: {
        // A MapInfo symbol's size is in points.
        const double size = Symbol.Size > 0 ? Symbol.Size : 12;
        const TRgb colour = Rgb(Symbol.Color);
        const TProps props = {
            {"angle", "0"},
            {"color", QgisColour(colour, 255)},
            {"name", "circle"},
            {"offset", "0,0"},
            {"offset_unit", "MM"},
            {"outline_style", "no"},
            {"scale_method", "diameter"},
            {"size", Number(size)},
            {"size_unit", "Point"},
        };
        const std::string mark = "          <se:PointSymbolizer>\n"
                                 "            <se:Graphic>\n"
                                 "              <se:Mark>\n"
                                 "                <se:WellKnownName>circle</se:WellKnownName>\n"
                                 "                <se:Fill>\n"
                                 "                  <se:SvgParameter name=\"fill\">" +
                                 HexColour(colour) +
                                 "</se:SvgParameter>\n"
                                 "                </se:Fill>\n"
                                 "              </se:Mark>\n"
                                 "              <se:Size>" +
                                 Number(size * 96 / 72) +
                                 "</se:Size>\n"
                                 "            </se:Graphic>\n"
                                 "          </se:PointSymbolizer>\n";
        return {Qml("marker", "SimpleMarker", props, 0), Sld(LayerName, mark)};
    }
    case otNone:
        break;
    }
    return {};
}

} // namespace pwnet
