#include "mitab_style.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quadrel::mitab_gdal {

namespace {

constexpr int kMaxPixelWidth = 7;
constexpr int kMaxPointTenths = 2037; // MIF width 2047
// The driver reads a style width above this (in points) as points, anything else as pixels.
constexpr int kPixelLimitTenths = 100;

std::string Colour(int color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(color) & 0xFFFFFFu);
    return text;
}

std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value); // locale-free
    return std::string(text, result.ptr);
}

std::string PenWidth(int mifWidth) {
    if (mifWidth > 10) {
        const int tenths = std::min(mifWidth - 10, kMaxPointTenths);
        if (tenths > kPixelLimitTenths) {
            // The driver keeps int(points * 10); aim at the middle of the tenth so that
            // binary rounding of the decimal text cannot lose one.
            return Number((tenths + 0.5) / 10.0) + "pt";
        }
        return std::to_string(std::clamp(tenths / 10, 1, kMaxPixelWidth)) + "px";
    }
    return std::to_string(std::clamp(mifWidth, 1, kMaxPixelWidth)) + "px";
}

} // namespace

std::string PenStyle(const Pen& pen) {
    return "PEN(w:" + PenWidth(pen.width) + ",c:" + Colour(pen.color) + ",id:\"mapinfo-pen-" +
           std::to_string(pen.pattern) + "\")";
}

std::string BrushStyle(const Brush& brush) {
    std::string style = "BRUSH(fc:" + Colour(brush.fgColor);
    if (!brush.transparent) style += ",bc:" + Colour(brush.bgColor);
    return style + ",id:\"mapinfo-brush-" + std::to_string(brush.pattern) + "\")";
}

std::string SymbolStyle(const Symbol& symbol) {
    return "SYMBOL(id:\"mapinfo-sym-" + std::to_string(symbol.number) +
           "\",c:" + Colour(symbol.color) + ",s:" + std::to_string(symbol.size) + "pt)";
}

} // namespace quadrel::mitab_gdal
