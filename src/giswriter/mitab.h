#pragma once
// Run-time binding of the MITAB C API library that writes MapInfo TAB tables. The
// program does not link the library: it loads it once at start with dlopen, checks
// the version it reports and resolves its entry points by name. Without a library of
// the right version the TAB format is simply unavailable and the writer factory gives
// MIF/MID instead.
//
// The library is looked for, in this order, as libquadrel_mitab.so (the project's
// adapter over GDAL) beside the program, in the installed library folder next to the
// program's folder and on the library search path, then as a standalone MITAB,
// libmitab.so.1, on the library search path. The first file that loads is the one
// that counts; once loaded it stays loaded for the life of the process.
//
// Front ends call LoadMitab() at the start of main, before any writer exists; the
// status never changes afterwards (until the process ends).

#include "mitab_entry_points.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// Status values of the binding.
inline constexpr int32_t MitabLoaded = 0;          // loaded and usable
inline constexpr int32_t MitabFinalized = -1;      // released at program end
inline constexpr int32_t MitabNotLoadable = -2;    // the library file could not be loaded
inline constexpr int32_t MitabNoVersionEntry = -3; // no "mitab_c_getlibversion" entry
inline constexpr int32_t MitabWrongVersion = -4;   // a version other than the one required
inline constexpr int32_t MitabRequiredVersion = 1007000;

// The rest of MITAB's C API: resolved by name like the entry points the TAB writer
// calls, but never called.
inline constexpr std::array<const char*, 70> MitabOtherEntryNames = {
    "mitab_c_get_affine_params",
    "mitab_c_get_brush_bgcolor",
    "mitab_c_get_brush_fgcolor",
    "mitab_c_get_brush_pattern",
    "mitab_c_get_brush_transparent",
    "mitab_c_get_charset",
    "mitab_c_get_collection_multipoint_ref",
    "mitab_c_get_collection_polyline_ref",
    "mitab_c_get_collection_region_ref",
    "mitab_c_get_datum_info",
    "mitab_c_get_extended_mif_coordsys",
    "mitab_c_get_feature_count",
    "mitab_c_get_field_as_double",
    "mitab_c_get_field_as_string",
    "mitab_c_get_field_as_string_vb",
    "mitab_c_get_field_count",
    "mitab_c_get_field_name",
    "mitab_c_get_field_name_vb",
    "mitab_c_get_field_precision",
    "mitab_c_get_field_type",
    "mitab_c_get_field_width",
    "mitab_c_get_font",
    "mitab_c_get_font_vb",
    "mitab_c_get_mif_coordsys",
    "mitab_c_get_mif_coordsys_vb",
    "mitab_c_get_parts",
    "mitab_c_get_pen_color",
    "mitab_c_get_pen_pattern",
    "mitab_c_get_pen_width",
    "mitab_c_get_projection_info",
    "mitab_c_get_projinfo",
    "mitab_c_get_symbol_color",
    "mitab_c_get_symbol_no",
    "mitab_c_get_symbol_size",
    "mitab_c_get_text",
    "mitab_c_get_text_angle",
    "mitab_c_get_text_bgcolor",
    "mitab_c_get_text_fgcolor",
    "mitab_c_get_text_height",
    "mitab_c_get_text_justification",
    "mitab_c_get_text_linetype",
    "mitab_c_get_text_spacing",
    "mitab_c_get_text_vb",
    "mitab_c_get_text_width",
    "mitab_c_get_type",
    "mitab_c_get_vertex_count",
    "mitab_c_get_vertex_x",
    "mitab_c_get_vertex_y",
    "mitab_c_getlasterrormsg",
    "mitab_c_getlasterrormsg_vb",
    "mitab_c_getlasterrorno",
    "mitab_c_is_field_indexed",
    "mitab_c_is_field_unique",
    "mitab_c_is_interior_ring",
    "mitab_c_load_coordsys_table",
    "mitab_c_next_feature_id",
    "mitab_c_open",
    "mitab_c_read_feature",
    "mitab_c_set_affine_params",
    "mitab_c_set_arc",
    "mitab_c_set_collection_multipoint",
    "mitab_c_set_collection_polyline",
    "mitab_c_set_collection_region",
    "mitab_c_set_datum_info",
    "mitab_c_set_font",
    "mitab_c_set_projection_info",
    "mitab_c_set_projinfo",
    "mitab_c_set_quick_spatial_index_mode",
    "mitab_c_set_text",
    "mitab_c_set_text_display",
};

// One bound library: its status and one pointer per entry point, null until
// resolved and where the library lacks the name. The members of MitabEntryPoints
// are the entry points the TAB writer calls.
struct TMitabBinding : MitabEntryPoints {
    int32_t Status = MitabNotLoadable;
    void* Library = nullptr; // the dlopen handle while Status is MitabLoaded
    std::string LibraryPath; // the file that was loaded, empty when none

    // The others, in the order of MitabOtherEntryNames.
    std::array<void*, MitabOtherEntryNames.size()> Others{};

    // Any entry point by its name; null when unresolved or unknown.
    void* EntryPoint(std::string_view Name) const;
    // Loaded, of the right version, and holding every entry point the TAB writer
    // calls: a library that lacks one of them cannot write tables.
    bool CanWriteTables() const;
};

// Binds the first of Candidates (file paths, or bare names for the library search
// path) that loads: MitabNotLoadable when none loads; MitabNoVersionEntry when it has
// no "mitab_c_getlibversion"; MitabWrongVersion when that reports another version
// than MitabRequiredVersion; otherwise MitabLoaded, with every entry point resolved by
// name (missing ones stay null). A rejected library is unloaded again.
TMitabBinding BindMitab(const std::vector<std::string>& Candidates);

// The files the program tries, in order (see the top of this file).
std::vector<std::string> MitabLibraryCandidates();

// Binds the program's library (only the first call does the work) and returns the
// status. Front ends call it once at program start.
int32_t LoadMitab();
// The binding's status; binds first if LoadMitab has not run yet. MitabFinalized
// once the process is ending.
int32_t MitabStatus();
// True when the library is bound (status MitabLoaded) and can write tables.
bool MitabAvailable();
// The program's binding (binds first if LoadMitab has not run yet).
const TMitabBinding& Mitab();

} // namespace pwnet
