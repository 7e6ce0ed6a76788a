// The exported C entry points: each checks its handles, keeps GDAL's messages off the
// host's console and lets no C++ exception cross into the C caller.

#include "mitab_capi.h"

#include "mitab_dataset.h"

#include <cpl_error.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

using quadrel::mitab_gdal::Brush;
using quadrel::mitab_gdal::Dataset;
using quadrel::mitab_gdal::Feature;
using quadrel::mitab_gdal::Pen;
using quadrel::mitab_gdal::Symbol;

constexpr int kLibVersion = 1007000; // MITAB 1.7.0

// Objects handed out as handles. A handle that is not (or no longer) here is rejected,
// so a null, stale or foreign pointer cannot reach freed memory.
template <class T> class Handles {
public:
    void* Add(std::unique_ptr<T> object) {
        void* handle = object.get();
        std::lock_guard lock(mutex_);
        live_.emplace(handle, std::move(object));
        return handle;
    }
    T* Find(void* handle) {
        if (!handle) return nullptr;
        std::lock_guard lock(mutex_);
        const auto it = live_.find(handle);
        return it == live_.end() ? nullptr : it->second.get();
    }
    std::unique_ptr<T> Take(void* handle) {
        if (!handle) return nullptr;
        std::lock_guard lock(mutex_);
        const auto it = live_.find(handle);
        if (it == live_.end()) return nullptr;
        std::unique_ptr<T> object = std::move(it->second);
        live_.erase(it);
        return object;
    }

private:
    std::mutex mutex_;
    std::unordered_map<void*, std::unique_ptr<T>> live_;
};

Handles<Dataset>& Datasets() {
    static Handles<Dataset> handles;
    return handles;
}

Handles<Feature>& Features() {
    static Handles<Feature> handles;
    return handles;
}

// MITAB's C API reports failures through its results only; GDAL's messages would
// otherwise reach the host program's stderr.
class QuietGdal {
public:
    QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

// Runs body with GDAL quiet; an exception (memory exhausted) yields `failed`.
template <class R, class Body> R Guarded(R failed, Body body) noexcept {
    try {
        QuietGdal quiet;
        return body();
    } catch (...) {
        return failed;
    }
}

template <class Body> void Guarded(Body body) noexcept {
    try {
        QuietGdal quiet;
        body();
    } catch (...) {
    }
}

} // namespace

extern "C" {

int mitab_c_getlibversion(void) { return kLibVersion; }

mitab_handle mitab_c_create(const char* filename, const char* mif_or_tab,
                            const char* mif_projection, double north, double south, double east,
                            double west) {
    return Guarded<mitab_handle>(nullptr, [&]() -> mitab_handle {
        auto dataset =
            Dataset::Create(filename, mif_or_tab, mif_projection, north, south, east, west);
        return dataset ? Datasets().Add(std::move(dataset)) : nullptr;
    });
}

int mitab_c_set_charset(mitab_handle handle, const char* charset) {
    return Guarded(-1, [&] {
        Dataset* dataset = Datasets().Find(handle);
        return dataset ? dataset->SetCharset(charset) : -1;
    });
}

int mitab_c_add_field(mitab_handle handle, const char* field_name, int field_type, int width,
                      int precision, int /*indexed*/, int /*unique*/) {
    return Guarded(-1, [&] {
        Dataset* dataset = Datasets().Find(handle);
        return dataset ? dataset->AddField(field_name, field_type, width, precision) : -1;
    });
}

mitab_feature mitab_c_create_feature(mitab_handle handle, int feature_type) {
    return Guarded<mitab_feature>(nullptr, [&]() -> mitab_feature {
        Dataset* dataset = Datasets().Find(handle);
        if (!dataset) return nullptr;
        auto feature = dataset->CreateFeature(feature_type);
        return feature ? Features().Add(std::move(feature)) : nullptr;
    });
}

void mitab_c_set_field(mitab_feature feature, int field_index, const char* field_value) {
    Guarded([&] {
        if (Feature* f = Features().Find(feature)) f->SetField(field_index, field_value);
    });
}

void mitab_c_set_pen(mitab_feature feature, int width, int pattern, int color) {
    Guarded([&] {
        if (Feature* f = Features().Find(feature)) f->SetPen(Pen{width, pattern, color});
    });
}

void mitab_c_set_brush(mitab_feature feature, int fg_color, int bg_color, int pattern,
                       int transparent) {
    Guarded([&] {
        if (Feature* f = Features().Find(feature))
            f->SetBrush(Brush{fg_color, bg_color, pattern, transparent != 0});
    });
}

void mitab_c_set_points(mitab_feature feature, int part, int vertex_count, const double* x,
                        const double* y) {
    Guarded([&] {
        if (Feature* f = Features().Find(feature)) f->SetPoints(part, vertex_count, x, y);
    });
}

void mitab_c_set_symbol(mitab_feature feature, int symbol_no, int symbol_size,
                        int symbol_color) {
    Guarded([&] {
        if (Feature* f = Features().Find(feature))
            f->SetSymbol(Symbol{symbol_no, symbol_size, symbol_color});
    });
}

int mitab_c_write_feature(mitab_handle handle, mitab_feature feature) {
    return Guarded(0, [&] {
        Dataset* dataset = Datasets().Find(handle);
        Feature* f = Features().Find(feature);
        return dataset && f && dataset->Write(*f) ? 1 : 0;
    });
}

void mitab_c_destroy_feature(mitab_feature feature) {
    Guarded([&] { Features().Take(feature); });
}

void mitab_c_close(mitab_handle handle) {
    Guarded([&] {
        auto dataset = Datasets().Take(handle);
        if (!dataset) return;
        CPLErrorReset();
        if (const std::string failure = dataset->Close(); !failure.empty())
            CPLErrorSetState(CE_Failure, CPLE_FileIO, failure.c_str());
        else
            CPLErrorReset(); // what the driver reported on the way was not a failure
    });
}

int mitab_c_getlasterrorno(void) { return CPLGetLastErrorNo(); }

const char* mitab_c_getlasterrormsg(void) { return CPLGetLastErrorMsg(); }

} // extern "C"
