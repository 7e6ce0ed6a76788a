#include "area_reader.h"

#include "area_reader_api.h"
#include "program_files.h"
#include "pwnet_functions.h"

#include <cmath>
#include <dlfcn.h>
#include <filesystem>

namespace quadrel {

namespace {

constexpr const char* ModuleName = "libquadrel_area.so";

constexpr TBuiltInArea BuiltIn[] = {
    {"Denmarkland1", "Denmark land", "denmark_land.gpkg", gkDKN},
};

// The reading module, loaded on the first call and kept for the life of the process.
struct TModule {
    area_api::TReadFunction Read = nullptr;
    std::string Problem; // why it is not there
};

TModule LoadModule() {
    TModule module;
    std::string reasons;
    for (const std::string& candidate : ProgramLibraryCandidates(ModuleName)) {
        // RTLD_LOCAL: GDAL and its dependencies stay out of the program's symbol space.
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            if (const char* why = dlerror(); why && reasons.empty())
                reasons = why;
            continue;
        }
        auto version = reinterpret_cast<area_api::TVersionFunction>(
            dlsym(library, area_api::VersionEntryName));
        auto read =
            reinterpret_cast<area_api::TReadFunction>(dlsym(library, area_api::ReadEntryName));
        if (version && read && version() == area_api::Version) {
            module.Read = read;
            return module;
        }
        dlclose(library);
        reasons = candidate + " is of another version";
    }
    module.Problem = std::string("Reading an area needs ") + ModuleName +
                     " (GDAL), which could not be loaded: " + reasons;
    return module;
}

const TModule& Module() {
    static const TModule module = LoadModule();
    return module;
}

std::shared_ptr<TArea> Read(const TAreaFile& File, int32_t Epsg,
                            std::vector<std::string>* Notices) {
    if (!std::isfinite(File.Buffer))
        throw EAreaError("The buffer must be a finite number of metres");
    const TModule& module = Module();
    if (!module.Read)
        throw EAreaError(module.Problem);
    area_api::TRequest request{File.Path, File.Layer, Epsg, File.Buffer};
    area_api::TResult result;
    module.Read(request, result);
    if (!result.Error.empty())
        throw EAreaError(result.Error);
    if (Notices)
        Notices->insert(Notices->end(), result.Notices.begin(), result.Notices.end());
    auto area = std::make_shared<TArea>();
    area->Buffer = File.Buffer;
    area->Epsg = Epsg;
    area->Rings = std::move(result.Rings);
    // The layer is worth naming when the file's name does not say it.
    if (!File.Layer.empty() || result.LayerName != std::filesystem::path(File.Path).stem().string())
        area->Layer = result.LayerName;
    return area;
}

} // namespace

std::shared_ptr<const TArea> ReadAreaFile(const TAreaFile& File, int32_t Epsg,
                                          std::vector<std::string>* Notices) {
    std::shared_ptr<TArea> area = Read(File, Epsg, Notices);
    area->Name = std::filesystem::path(File.Path).filename().string();
    return area;
}

std::span<const TBuiltInArea> BuiltInAreas() {
    return BuiltIn;
}

const TBuiltInArea* FindBuiltInArea(std::string_view Caption) {
    for (const TBuiltInArea& a : BuiltIn)
        if (pwnet::SameTextAscii(a.Caption, Caption))
            return &a;
    return nullptr;
}

std::shared_ptr<const TArea> ReadBuiltInArea(const TBuiltInArea& Area, int32_t Epsg, double Buffer,
                                             std::vector<std::string>* Notices) {
    const TAreaFile file{ProgramDataFile(std::string(Area.FileName)), {}, Buffer};
    std::shared_ptr<TArea> area = Read(file, Epsg, Notices);
    area->Name = Area.Caption;
    area->Layer.clear();
    return area;
}

} // namespace quadrel
