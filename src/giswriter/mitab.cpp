// MITAB binding: dlopen, version check and resolution of the C API by name.

#include "mitab.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <utility>

#ifndef QUADREL_INSTALL_LIBDIR
#define QUADREL_INSTALL_LIBDIR "lib"
#endif

namespace pwnet {

namespace {

constexpr const char* AdapterName = "libquadrel_mitab.so";
constexpr const char* StandaloneName = "libmitab.so.1";

template <class Fn> void Resolve(void* library, const char* name, Fn& target) {
    target = reinterpret_cast<Fn>(dlsym(library, name));
}

void ResolveAll(TMitabBinding& b) {
    void* lib = b.Library;
    Resolve(lib, "mitab_c_getlibversion", b.getlibversion);
    Resolve(lib, "mitab_c_create", b.create);
    Resolve(lib, "mitab_c_set_charset", b.set_charset);
    Resolve(lib, "mitab_c_add_field", b.add_field);
    Resolve(lib, "mitab_c_create_feature", b.create_feature);
    Resolve(lib, "mitab_c_set_field", b.set_field);
    Resolve(lib, "mitab_c_set_pen", b.set_pen);
    Resolve(lib, "mitab_c_set_brush", b.set_brush);
    Resolve(lib, "mitab_c_set_points", b.set_points);
    Resolve(lib, "mitab_c_set_symbol", b.set_symbol);
    Resolve(lib, "mitab_c_write_feature", b.write_feature);
    Resolve(lib, "mitab_c_destroy_feature", b.destroy_feature);
    Resolve(lib, "mitab_c_close", b.close);
    for (size_t i = 0; i < MitabOtherEntryNames.size(); ++i)
        b.Others[i] = dlsym(lib, MitabOtherEntryNames[i]);
}

// The program's own folder, from the kernel's link to the running executable.
std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// The process-wide binding, made once on the first ask. It is never destroyed and the
// library never unloaded, so writers destroyed late in the process can still close
// their tables; at program end its status becomes MitabFinalized.
TMitabBinding& Program() {
    static TMitabBinding& binding = *new TMitabBinding(BindMitab(MitabLibraryCandidates()));
    static const struct Finalizer {
        ~Finalizer() { binding.Status = MitabFinalized; }
    } finalizer;
    return binding;
}

} // namespace

void* TMitabBinding::EntryPoint(std::string_view Name) const {
    const std::pair<const char*, void*> called[] = {
        {"mitab_c_getlibversion", reinterpret_cast<void*>(getlibversion)},
        {"mitab_c_create", reinterpret_cast<void*>(create)},
        {"mitab_c_set_charset", reinterpret_cast<void*>(set_charset)},
        {"mitab_c_add_field", reinterpret_cast<void*>(add_field)},
        {"mitab_c_create_feature", reinterpret_cast<void*>(create_feature)},
        {"mitab_c_set_field", reinterpret_cast<void*>(set_field)},
        {"mitab_c_set_pen", reinterpret_cast<void*>(set_pen)},
        {"mitab_c_set_brush", reinterpret_cast<void*>(set_brush)},
        {"mitab_c_set_points", reinterpret_cast<void*>(set_points)},
        {"mitab_c_set_symbol", reinterpret_cast<void*>(set_symbol)},
        {"mitab_c_write_feature", reinterpret_cast<void*>(write_feature)},
        {"mitab_c_destroy_feature", reinterpret_cast<void*>(destroy_feature)},
        {"mitab_c_close", reinterpret_cast<void*>(close)},
    };
    for (const auto& [name, entry] : called)
        if (Name == name)
            return entry;
    for (size_t i = 0; i < MitabOtherEntryNames.size(); ++i)
        if (Name == MitabOtherEntryNames[i])
            return Others[i];
    return nullptr;
}

bool TMitabBinding::CanWriteTables() const {
    return Status == MitabLoaded && create && set_charset && add_field && create_feature &&
           set_field && set_pen && set_brush && set_points && set_symbol && write_feature &&
           destroy_feature && close;
}

TMitabBinding BindMitab(const std::vector<std::string>& Candidates) {
    TMitabBinding b;
    for (const std::string& candidate : Candidates) {
        // RTLD_LOCAL: the library's own dependencies (GDAL) stay out of the program's
        // symbol space.
        b.Library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (b.Library) {
            b.LibraryPath = candidate;
            break;
        }
    }
    if (!b.Library) {
        b.Status = MitabNotLoadable;
        return b;
    }
    Resolve(b.Library, "mitab_c_getlibversion", b.getlibversion);
    if (!b.getlibversion)
        b.Status = MitabNoVersionEntry;
    else if (b.getlibversion() != MitabRequiredVersion)
        b.Status = MitabWrongVersion;
    else
        b.Status = MitabLoaded;
    if (b.Status != MitabLoaded) {
        dlclose(b.Library);
        TMitabBinding rejected;
        rejected.Status = b.Status;
        rejected.LibraryPath = b.LibraryPath;
        return rejected;
    }
    ResolveAll(b);
    return b;
}

std::vector<std::string> MitabLibraryCandidates() {
    std::vector<std::string> candidates;
    const std::filesystem::path folder = ProgramFolder();
    if (!folder.empty()) {
        candidates.push_back((folder / AdapterName).string());
        candidates.push_back((folder.parent_path() / QUADREL_INSTALL_LIBDIR / AdapterName)
                                 .lexically_normal()
                                 .string());
    }
    candidates.push_back(AdapterName);
    candidates.push_back(StandaloneName);
    return candidates;
}

int32_t LoadMitab() {
    return Program().Status;
}
int32_t MitabStatus() {
    return Program().Status;
}
bool MitabAvailable() {
    return Program().CanWriteTables();
}
const TMitabBinding& Mitab() {
    return Program();
}

} // namespace pwnet
