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

void ResolveAll(TMitabBinding& b) {
    b.ResolveFrom(b.Library);
    for (size_t i = 0; i < MitabOtherEntryNames.size(); ++i)
        b.Others[i] = dlsym(b.Library, MitabOtherEntryNames[i]);
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
    if (void* entry = Find(Name))
        return entry;
    for (size_t i = 0; i < MitabOtherEntryNames.size(); ++i)
        if (Name == MitabOtherEntryNames[i])
            return Others[i];
    return nullptr;
}

bool TMitabBinding::CanWriteTables() const {
    return Status == MitabLoaded && Complete();
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
    b.getlibversion =
        reinterpret_cast<mitab_c_getlibversion_fn>(dlsym(b.Library, "mitab_c_getlibversion"));
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
