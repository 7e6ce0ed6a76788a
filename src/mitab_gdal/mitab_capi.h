/*
 * The MITAB C API as libquadrel_mitab.so provides it: the entry points a TAB writer
 * needs to create a MapInfo table (.tab with its .map, .dat and .id) or a MIF/MID pair,
 * implemented over GDAL's "MapInfo File" driver.
 *
 * The names, argument lists, type codes and meanings are those of MITAB's C API
 * (version 1.7.0, reported as 1007000), so a program that binds them by name at run
 * time cannot tell this library from MITAB itself. Only these fifteen names are
 * exported; a binding leaves every other mitab_c_* name unresolved.
 *
 * Text arguments are 8-bit, zero-terminated, in the table's character set (see
 * mitab_c_set_charset). Colours are 24-bit RGB values 0xRRGGBB. Handles are opaque;
 * 0 means failure. A null or already released handle passed to any entry point is
 * ignored (the call fails or does nothing) instead of crashing.
 *
 * On Linux there is one calling convention, so MITAB's MITAB_STDCALL is empty here.
 */
#ifndef QUADREL_MITAB_CAPI_H
#define QUADREL_MITAB_CAPI_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QUADREL_MITAB_BUILDING) && defined(__GNUC__)
#define QUADREL_MITAB_API __attribute__((visibility("default")))
#else
#define QUADREL_MITAB_API
#endif

typedef void* mitab_handle;  /* an open dataset, from mitab_c_create */
typedef void* mitab_feature; /* a feature being built, from mitab_c_create_feature */

/* Feature types (mitab_c_create_feature). This library creates the first two groups:
 * none, point, polyline and region; the other MITAB types give a null handle. */
#define TABFC_NoGeom 0
#define TABFC_Point 1
#define TABFC_FontPoint 2
#define TABFC_CustomPoint 3
#define TABFC_Text 4
#define TABFC_Polyline 5
#define TABFC_Arc 6
#define TABFC_Region 7
#define TABFC_Rectangle 8
#define TABFC_Ellipse 9
#define TABFC_MultiPoint 10
#define TABFC_Collection 11

/* Field types (mitab_c_add_field). */
#define TABFT_Char 1
#define TABFT_Integer 2
#define TABFT_SmallInt 3
#define TABFT_Decimal 4
#define TABFT_Float 5
#define TABFT_Date 6
#define TABFT_Logical 7
#define TABFT_Time 8
#define TABFT_DateTime 9

/* The MITAB version this API implements: 1007000 (1.7.0, as xxxyyyzzz). */
QUADREL_MITAB_API int mitab_c_getlibversion(void);

/* Creates a table. filename: the full name with its extension (".tab", or ".mif" /
 * ".mid" when mif_or_tab is "mif"); any other extension fails. mif_or_tab: "mif" for
 * MIF/MID, anything else (also null or empty) for TAB. mif_projection: a MapInfo
 * CoordSys clause as in a MIF header; null or empty means longitude/latitude on WGS 84;
 * a clause that cannot be read fails. A trailing Bounds part of the clause gives the
 * bounds when north, south, east and west are all 0; otherwise these four numbers are
 * the table's bounds (north/south and east/west are swapped into order when reversed).
 * With neither, the driver's default bounds for the projection apply.
 * Returns the dataset handle, or 0 when the table cannot be created (a folder that
 * cannot be written, a wrong extension, a clause that cannot be read). */
QUADREL_MITAB_API mitab_handle mitab_c_create(const char* filename, const char* mif_or_tab,
                                              const char* mif_projection, double north,
                                              double south, double east, double west);

/* Sets the table's character set by its MapInfo name ("WindowsLatin1", "CodePage850",
 * "ISO8859_1", "Neutral", ...). Text arguments given afterwards are read in that
 * character set and stored in it. Must come before the first field or feature.
 * Returns 0 on success, -1 when the handle is invalid, the name is empty, the table's
 * layout is already fixed, or the name is not one the driver can record (the table then
 * stays "Neutral" and text bytes are stored unchanged). */
QUADREL_MITAB_API int mitab_c_set_charset(mitab_handle handle, const char* charset);

/* Adds the next attribute column. field_type: TABFT_*. width: characters of a Char
 * field (1 to 254) and digits of a Decimal field (up to 20); precision: decimals of a
 * Decimal field (up to 16, and at most width - 2). indexed and unique are accepted and
 * ignored. Fields must all be added before the first feature is created.
 * Returns the 0-based index of the new field, or -1. */
QUADREL_MITAB_API int mitab_c_add_field(mitab_handle handle, const char* field_name,
                                        int field_type, int width, int precision, int indexed,
                                        int unique);

/* Creates an empty feature of a TABFC_* type for the dataset. A table without fields
 * gets an Integer field "NDX" first, as MITAB does. Returns 0 on failure (invalid
 * handle, unsupported type). The feature stays the caller's: release it with
 * mitab_c_destroy_feature, also after writing it. */
QUADREL_MITAB_API mitab_feature mitab_c_create_feature(mitab_handle handle, int feature_type);

/* Sets field field_index (0-based) from its text form: numbers with '.' as decimal
 * separator; dates as YYYYMMDD, YYYY/MM/DD or DD/MM/YYYY; times as HHMMSSmmm or HH:MM:SS;
 * date-times as YYYYMMDDHHMMSSmmm or "YYYY/MM/DD HH:MM:SS"; logicals true when the text
 * begins with T or t. A date or time that cannot be read stays empty. */
QUADREL_MITAB_API void mitab_c_set_field(mitab_feature feature, int field_index,
                                         const char* field_value);

/* Line style of a polyline or region: width as in MIF (1-7 pixels, 11-2047 for
 * 10 + tenths of a point), pattern number (1 none, 2 solid, ...), colour. */
QUADREL_MITAB_API void mitab_c_set_pen(mitab_feature feature, int width, int pattern, int color);

/* Fill style of a region: foreground and background colours, pattern number (1 none,
 * 2 solid, ...), transparent 1 to ignore the background colour, 0 for opaque. */
QUADREL_MITAB_API void mitab_c_set_brush(mitab_feature feature, int fg_color, int bg_color,
                                         int pattern, int transparent);

/* Adds vertex_count points to the feature. Point: the first point is the location.
 * Polyline: part 0 (or any part <= 0) starts the line anew, a part > 0 adds a
 * section. Region: a part > 0 adds a hole to the last polygon; part 0 or a negative
 * part adds a new polygon (island). Nothing happens without points or arrays. */
QUADREL_MITAB_API void mitab_c_set_points(mitab_feature feature, int part, int vertex_count,
                                          const double* x, const double* y);

/* Point symbol: MapInfo symbol number (31-67), size in points (1-48), colour. */
QUADREL_MITAB_API void mitab_c_set_symbol(mitab_feature feature, int symbol_no,
                                          int symbol_size, int symbol_color);

/* Appends the feature to the dataset it was created for. Returns 1 on success, 0 on
 * failure. The feature stays the caller's. */
QUADREL_MITAB_API int mitab_c_write_feature(mitab_handle handle, mitab_feature feature);

/* Releases a feature. */
QUADREL_MITAB_API void mitab_c_destroy_feature(mitab_feature feature);

/* Completes the table's files, closes them and releases the handle. A table whose
 * files could not be completed (a full disk) is reported through the last error:
 * mitab_c_getlasterrorno is then non-zero; a close that succeeds leaves it 0. */
QUADREL_MITAB_API void mitab_c_close(mitab_handle handle);

/* The last error of the library, as MITAB reports it: GDAL's (CPL's) last error
 * number, 0 for none, and its message ("" for none). */
QUADREL_MITAB_API int mitab_c_getlasterrorno(void);
QUADREL_MITAB_API const char* mitab_c_getlasterrormsg(void);

/* Function pointer types for a binding that resolves the entry points by name. */
typedef int (*mitab_c_getlibversion_fn)(void);
typedef mitab_handle (*mitab_c_create_fn)(const char*, const char*, const char*, double, double,
                                          double, double);
typedef int (*mitab_c_set_charset_fn)(mitab_handle, const char*);
typedef int (*mitab_c_add_field_fn)(mitab_handle, const char*, int, int, int, int, int);
typedef mitab_feature (*mitab_c_create_feature_fn)(mitab_handle, int);
typedef void (*mitab_c_set_field_fn)(mitab_feature, int, const char*);
typedef void (*mitab_c_set_pen_fn)(mitab_feature, int, int, int);
typedef void (*mitab_c_set_brush_fn)(mitab_feature, int, int, int, int);
typedef void (*mitab_c_set_points_fn)(mitab_feature, int, int, const double*, const double*);
typedef void (*mitab_c_set_symbol_fn)(mitab_feature, int, int, int);
typedef int (*mitab_c_write_feature_fn)(mitab_handle, mitab_feature);
typedef void (*mitab_c_destroy_feature_fn)(mitab_feature);
typedef void (*mitab_c_close_fn)(mitab_handle);
typedef int (*mitab_c_getlasterrorno_fn)(void);
typedef const char* (*mitab_c_getlasterrormsg_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* QUADREL_MITAB_CAPI_H */
