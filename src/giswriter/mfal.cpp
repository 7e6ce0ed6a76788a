// File access library binding: status only until a loader arrives.

#include "mfal.h"

namespace pwnet {

namespace {

struct TMfalBinding {
    int32_t Status = MfalNotLoadable;
    TMfalBinding() { Status = Bind(); }
    // Loading the library, calling its initialisation entry and resolving the
    // ordinals the writer calls go here; without them the library is not loadable.
    static int32_t Bind() { return MfalNotLoadable; }
};

TMfalBinding& Binding() {
    static TMfalBinding binding; // made once, thread-safe
    return binding;
}

} // namespace

int32_t LoadMfal() {
    return Binding().Status;
}
int32_t MfalStatus() {
    return Binding().Status;
}
bool MfalAvailable() {
    return MfalStatus() == MfalLoaded;
}

} // namespace pwnet
