// MITAB binding: status only until the loader arrives.

#include "mitab.h"

namespace pwnet {

namespace {

struct TMitabBinding {
    int32_t Status = MitabNotLoadable;
    TMitabBinding() { Status = Bind(); }
    // Loading the library, checking its version and resolving its entry points go
    // here; without them the library is not loadable.
    static int32_t Bind() { return MitabNotLoadable; }
};

TMitabBinding& Binding() {
    static TMitabBinding binding; // made once, thread-safe
    return binding;
}

} // namespace

int32_t LoadMitab() {
    return Binding().Status;
}
int32_t MitabStatus() {
    return Binding().Status;
}
bool MitabAvailable() {
    return MitabStatus() == MitabLoaded;
}

} // namespace pwnet
