// A MITAB library that writes no table but records every call, one line per call, so
// the tests can see exactly what the TAB writer hands to MITAB. It reports version
// 1007000 and exports every entry point the writer calls, plus three of its own:
//
//   fake_mitab_log()            the calls since the last reset, one per line
//   fake_mitab_reset(failing)   empties the log; failing lists entry points that fail
//                               from now on ("create", "create_feature",
//                               "write_feature"), separated by blanks
//   fake_mitab_live_features()  features created and not yet destroyed
//
// Like MITAB, mitab_c_create makes the table's four files (empty) and fails when it
// cannot, so tests can watch which files the writer keeps and removes.

#include "mitab_capi.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string g_log;
std::string g_failing;
std::set<uintptr_t> g_liveFeatures;
uintptr_t g_nextFeature = 0x2000;
char g_dataset; // its address is the one dataset handle

bool Fails(const char* entry) {
    const std::string padded = " " + g_failing + " ";
    return padded.find(std::string(" ") + entry + " ") != std::string::npos;
}

std::string Num(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Text(const char* s) {
    return s ? "[" + std::string(s) + "]" : "(null)";
}

std::string Handle(void* h) {
    if (h == &g_dataset)
        return "table";
    if (g_liveFeatures.count(reinterpret_cast<uintptr_t>(h)))
        return "feature";
    return h ? "stale" : "null";
}

void Log(const std::string& line) {
    g_log += line;
    g_log += '\n';
}

bool Touch(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out);
}

} // namespace

FAKE_EXPORT const char* fake_mitab_log() {
    return g_log.c_str();
}

FAKE_EXPORT void fake_mitab_reset(const char* failing) {
    g_log.clear();
    g_failing = failing ? failing : "";
}

FAKE_EXPORT int fake_mitab_live_features() {
    return static_cast<int>(g_liveFeatures.size());
}

FAKE_EXPORT int mitab_c_getlibversion() {
    return 1007000;
}

FAKE_EXPORT mitab_handle mitab_c_create(const char* filename, const char* mif_or_tab,
                                        const char* mif_projection, double north, double south,
                                        double east, double west) {
    Log("create " + Text(filename) + " " + Text(mif_or_tab) + " " + Text(mif_projection) + " " +
        Num(north) + " " + Num(south) + " " + Num(east) + " " + Num(west));
    if (Fails("create") || !filename)
        return nullptr;
    std::string base = filename;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".tab") == 0)
        base.resize(base.size() - 4);
    for (const char* ext : {".tab", ".map", ".dat", ".id"})
        if (!Touch(base + ext))
            return nullptr;
    return &g_dataset;
}

FAKE_EXPORT int mitab_c_set_charset(mitab_handle handle, const char* charset) {
    Log("set_charset " + Handle(handle) + " " + Text(charset));
    return 0;
}

FAKE_EXPORT int mitab_c_add_field(mitab_handle handle, const char* field_name, int field_type,
                                  int width, int precision, int indexed, int unique) {
    Log("add_field " + Handle(handle) + " " + Text(field_name) + " " + std::to_string(field_type) +
        " " + std::to_string(width) + " " + std::to_string(precision) + " " +
        std::to_string(indexed) + " " + std::to_string(unique));
    return 0;
}

FAKE_EXPORT mitab_feature mitab_c_create_feature(mitab_handle handle, int feature_type) {
    Log("create_feature " + Handle(handle) + " " + std::to_string(feature_type));
    if (Fails("create_feature"))
        return nullptr;
    g_liveFeatures.insert(g_nextFeature);
    return reinterpret_cast<mitab_feature>(g_nextFeature++);
}

FAKE_EXPORT void mitab_c_set_field(mitab_feature feature, int field_index,
                                   const char* field_value) {
    Log("set_field " + Handle(feature) + " " + std::to_string(field_index) + " " +
        Text(field_value));
}

FAKE_EXPORT void mitab_c_set_pen(mitab_feature feature, int width, int pattern, int color) {
    Log("set_pen " + Handle(feature) + " " + std::to_string(width) + " " + std::to_string(pattern) +
        " " + std::to_string(color));
}

FAKE_EXPORT void mitab_c_set_brush(mitab_feature feature, int fg_color, int bg_color, int pattern,
                                   int transparent) {
    Log("set_brush " + Handle(feature) + " " + std::to_string(fg_color) + " " +
        std::to_string(bg_color) + " " + std::to_string(pattern) + " " +
        std::to_string(transparent));
}

FAKE_EXPORT void mitab_c_set_points(mitab_feature feature, int part, int vertex_count,
                                    const double* x, const double* y) {
    std::string line = "set_points " + Handle(feature) + " " + std::to_string(part) + " " +
                       std::to_string(vertex_count) + " [";
    for (int i = 0; i < vertex_count; ++i) {
        if (i > 0)
            line += ", ";
        line += Num(x[i]) + " " + Num(y[i]);
    }
    Log(line + "]");
}

FAKE_EXPORT void mitab_c_set_symbol(mitab_feature feature, int symbol_no, int symbol_size,
                                    int symbol_color) {
    Log("set_symbol " + Handle(feature) + " " + std::to_string(symbol_no) + " " +
        std::to_string(symbol_size) + " " + std::to_string(symbol_color));
}

FAKE_EXPORT int mitab_c_write_feature(mitab_handle handle, mitab_feature feature) {
    Log("write_feature " + Handle(handle) + " " + Handle(feature));
    return Fails("write_feature") ? 0 : 1;
}

FAKE_EXPORT void mitab_c_destroy_feature(mitab_feature feature) {
    Log("destroy_feature " + Handle(feature));
    g_liveFeatures.erase(reinterpret_cast<uintptr_t>(feature));
}

FAKE_EXPORT void mitab_c_close(mitab_handle handle) {
    Log("close " + Handle(handle));
}
