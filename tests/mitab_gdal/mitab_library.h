#pragma once
// libquadrel_mitab.so loaded from build/bin with dlopen and its entry points resolved by
// name, exactly as the program's binding does it, plus a helper that calls them in the
// order the TAB writer does.

#include "mitab_entry_points.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace mitabtest {

struct MitabApi : MitabEntryPoints {
    void* library = nullptr;
    std::string loadError;
};

// Loaded once for the whole test program; like the program, it stays loaded.
inline const MitabApi& Mitab() {
    static const MitabApi api = [] {
        MitabApi a;
        a.library = dlopen(QUADREL_MITAB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!a.library) {
            a.loadError = dlerror();
            return a;
        }
        a.ResolveFrom(a.library);
        return a;
    }();
    return api;
}

// Fixture for tests that call the library.
class MitabTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Mitab().library, nullptr) << Mitab().loadError;
        ASSERT_TRUE(Mitab().Complete());
    }
    const MitabApi& api = Mitab();
};

struct XY {
    double x, y;
    bool operator==(const XY&) const = default;
};
using Ring = std::vector<XY>;

inline std::ostream& operator<<(std::ostream& out, const XY& p) {
    return out << '(' << p.x << ' ' << p.y << ')';
}

// A closed axis-parallel square, listed the way the grid run lists a cell.
inline Ring Square(double x0, double y0, double size) {
    return {{x0, y0}, {x0, y0 + size}, {x0 + size, y0 + size}, {x0 + size, y0}, {x0, y0}};
}

struct PartSpec {
    int part; // the number handed to mitab_c_set_points
    Ring points;
};

struct PenSpec {
    int width = 1, pattern = 2, color = 0;
};
struct BrushSpec {
    int fg = 0xFFFFFF, bg = 0, pattern = 2, transparent = 1;
};
struct SymbolSpec {
    int number = 33, size = 12, color = 0;
};

// Calls the entry points in the TAB writer's order: create, charset, fields, then per
// object create_feature, set_field for every value, set_pen, set_brush (regions),
// set_points per part (or once and set_symbol for points), write, destroy; close.
class TableWriter {
public:
    TableWriter(const std::string& file, const char* coordSys, double north = 0,
                double south = 0, double east = 0, double west = 0,
                const char* charset = "WindowsLatin1", const char* kind = "tab")
        : api_(Mitab()) {
        handle_ = api_.create(file.c_str(), kind, coordSys, north, south, east, west);
        if (handle_ && charset) charsetResult_ = api_.set_charset(handle_, charset);
    }
    ~TableWriter() { Close(); }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    mitab_handle Handle() const { return handle_; }
    int CharsetResult() const { return charsetResult_; }

    int Field(const char* name, int type, int width = 0, int decimals = 0) {
        return api_.add_field(handle_, name, type, width, decimals, 0, 0);
    }

    // One object of `type` (TABFC_*); returns what mitab_c_write_feature returned, or
    // -1 when no feature could be created.
    int Object(int type, const std::vector<std::string>& values,
               const std::vector<PartSpec>& parts = {}, PenSpec pen = {}, BrushSpec brush = {},
               SymbolSpec symbol = {}) {
        mitab_feature feature = api_.create_feature(handle_, type);
        if (!feature) return -1;
        for (size_t i = 0; i < values.size(); ++i)
            api_.set_field(feature, static_cast<int>(i), values[i].c_str());
        api_.set_pen(feature, pen.width, pen.pattern, pen.color);
        if (type == TABFC_Region)
            api_.set_brush(feature, brush.fg, brush.bg, brush.pattern, brush.transparent);
        for (const PartSpec& part : parts) {
            std::vector<double> x, y;
            for (const XY& p : part.points) {
                x.push_back(p.x);
                y.push_back(p.y);
            }
            api_.set_points(feature, part.part, static_cast<int>(x.size()), x.data(), y.data());
        }
        if (type == TABFC_Point) api_.set_symbol(feature, symbol.number, symbol.size, symbol.color);
        const int written = api_.write_feature(handle_, feature);
        api_.destroy_feature(feature);
        return written;
    }

    int Region(const std::vector<std::string>& values, const std::vector<PartSpec>& parts,
               PenSpec pen = {}, BrushSpec brush = {}) {
        return Object(TABFC_Region, values, parts, pen, brush);
    }
    int Polyline(const std::vector<std::string>& values, const std::vector<PartSpec>& parts,
                 PenSpec pen = {}) {
        return Object(TABFC_Polyline, values, parts, pen);
    }
    int Point(const std::vector<std::string>& values, XY where, SymbolSpec symbol = {}) {
        return Object(TABFC_Point, values, {{0, {where}}}, {}, {}, symbol);
    }

    void Close() {
        if (handle_) api_.close(handle_);
        handle_ = nullptr;
    }

private:
    const MitabApi& api_;
    mitab_handle handle_ = nullptr;
    int charsetResult_ = -1;
};

// MapInfo CoordSys clauses used by the tests.
inline constexpr const char* kUtm32Etrs89 =
    "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0";
inline constexpr const char* kDknClause =
    "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0";
inline constexpr const char* kEuroGridClause =
    "CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90";

} // namespace mitabtest
