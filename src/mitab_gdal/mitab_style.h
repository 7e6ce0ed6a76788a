#pragma once
// MapInfo pen, brush and symbol as OGR feature style strings, in the form GDAL's
// MapInfo driver reads back into exactly these MapInfo style numbers.

#include <string>

namespace quadrel::mitab_gdal {

struct Pen {
    int width = 1; // MIF form: 1-7 pixels, 11-2047 for 10 + tenths of a point
    int pattern = 2;
    int color = 0;
};

struct Brush {
    int fgColor = 0;
    int bgColor = 0;
    int pattern = 1;
    bool transparent = false;
};

struct Symbol {
    int number = 35;
    int size = 12;
    int color = 0;
};

// PEN(w:...,c:#rrggbb,id:"mapinfo-pen-N"). Pixel widths are held to 1-7 as MapInfo
// does; point widths of 10 points or less become the whole number of pixels (at least
// 1), because the driver reads every width up to 10 as pixels.
std::string PenStyle(const Pen& pen);

// BRUSH(fc:#rrggbb[,bc:#rrggbb],id:"mapinfo-brush-N"); a transparent brush carries no
// background colour, which is how the driver marks the brush transparent.
std::string BrushStyle(const Brush& brush);

// SYMBOL(id:"mapinfo-sym-N",c:#rrggbb,s:Npt).
std::string SymbolStyle(const Symbol& symbol);

} // namespace quadrel::mitab_gdal
