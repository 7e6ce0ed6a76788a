// The file access library binding: load, initialise, resolve the writer's five
// entry points.

#include "mfal.h"

#include "errors.h"

#include <cstring>
#include <dlfcn.h>
#include <string>

namespace pwnet {

namespace {

constexpr int32_t OrdinalInitialize = 133;
constexpr int32_t OrdinalCoordSysToProjection = 150;
constexpr int32_t OrdinalCreateTable = 106;
constexpr int32_t OrdinalAppendObject = 134;
constexpr int32_t OrdinalCloseTable = 102;

// A shared object has no ordinals; the library's entry points are looked up by
// the names that stand for them, "ordinal_133" and so on.
std::string OrdinalSymbol(int32_t Ordinal) {
    return "ordinal_" + std::to_string(Ordinal);
}

template <typename F> bool Resolve(const TMfalResolver& Resolver, int32_t Ordinal, F& Entry) {
    void* address = Resolver(Ordinal);
    Entry = reinterpret_cast<F>(address);
    return address != nullptr;
}

struct TMfalBinding {
    int32_t Status = MfalNotLoadable;
    TMfalEntryPoints Entries;
    int32_t OwnStatus = MfalNotLoadable; // the library's own, restored after a test
    TMfalEntryPoints OwnEntries;

    TMfalBinding() {
        OwnStatus = Bind(OwnEntries);
        Status = OwnStatus;
        Entries = OwnEntries;
    }
    // Program end: the library stays loaded, the binding is no longer usable.
    ~TMfalBinding() { Status = MfalFinalized; }

    static int32_t Bind(TMfalEntryPoints& Entries) {
        // The library stays loaded for the life of the process.
        void* handle = dlopen(MfalLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return MfalNotLoadable;
        const int32_t status = BindMfalEntries(
            [handle](int32_t Ordinal) { return dlsym(handle, OrdinalSymbol(Ordinal).c_str()); },
            Entries);
        if (status != MfalLoaded)
            dlclose(handle);
        return status;
    }
};

TMfalBinding& Binding() {
    static TMfalBinding binding; // made once, thread-safe
    return binding;
}

} // namespace

int32_t BindMfalEntries(const TMfalResolver& Resolver, TMfalEntryPoints& Entries) {
    TMfalEntryPoints bound;
    if (!Resolve(Resolver, OrdinalInitialize, bound.Initialize))
        return MfalNotLoadable;
    if (bound.Initialize(MfalInitArgument) == 0)
        return MfalInitFailed;
    if (!Resolve(Resolver, OrdinalCreateTable, bound.CreateTable) ||
        !Resolve(Resolver, OrdinalCoordSysToProjection, bound.CoordSysToProjection) ||
        !Resolve(Resolver, OrdinalCloseTable, bound.CloseTable) ||
        !Resolve(Resolver, OrdinalAppendObject, bound.AppendObject))
        return MfalNotLoadable;
    Entries = bound;
    return MfalLoaded;
}

int32_t LoadMfal() {
    return Binding().Status;
}
int32_t MfalStatus() {
    return Binding().Status;
}
bool MfalAvailable() {
    return MfalStatus() == MfalLoaded;
}
const TMfalEntryPoints* MfalEntries() {
    TMfalBinding& b = Binding();
    return b.Status == MfalLoaded ? &b.Entries : nullptr;
}

void SetMfalEntriesForTesting(const TMfalEntryPoints* Entries) {
    TMfalBinding& b = Binding();
    if (Entries) {
        b.Entries = *Entries;
        b.Status = MfalLoaded;
    } else {
        b.Entries = b.OwnEntries;
        b.Status = b.OwnStatus;
    }
}

void MfalFieldName(char (&Dest)[32], std::string_view Name) {
    if (Name.size() > 31)
        throw Exception("Field name is longer than " + std::to_string(31));
    std::memset(Dest, 0, sizeof Dest);
    std::memcpy(Dest, Name.data(), Name.size());
}

} // namespace pwnet
