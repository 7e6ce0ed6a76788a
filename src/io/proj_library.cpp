#include "proj_library.h"

#include "errors.h"

#include <dlfcn.h>
#include <string>

#ifndef QUADREL_PROJ_LIBRARY
#define QUADREL_PROJ_LIBRARY "libproj.so"
#endif

namespace pwnet {

namespace {

template <typename F> void Resolve(void* Library, const char* Name, F& Entry) {
    Entry = reinterpret_cast<F>(dlsym(Library, Name));
    if (!Entry)
        throw Exception(std::string("The PROJ library " QUADREL_PROJ_LIBRARY " has no ") + Name);
}

TProjApi Bind() {
    // RTLD_LOCAL: PROJ's own dependencies stay out of the program's symbol space.
    void* library = dlopen(QUADREL_PROJ_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        throw Exception(std::string("Cannot load the PROJ library " QUADREL_PROJ_LIBRARY ": ") +
                        (reason ? reason : "unknown reason"));
    }
    TProjApi api{};
    Resolve(library, "proj_context_create", api.context_create);
    Resolve(library, "proj_context_destroy", api.context_destroy);
    Resolve(library, "proj_context_errno", api.context_errno);
    Resolve(library, "proj_context_errno_string", api.context_errno_string);
    Resolve(library, "proj_create_crs_to_crs", api.create_crs_to_crs);
    Resolve(library, "proj_normalize_for_visualization", api.normalize_for_visualization);
    Resolve(library, "proj_destroy", api.destroy);
    Resolve(library, "proj_errno_reset", api.errno_reset);
    Resolve(library, "proj_trans", api.trans);
    Resolve(library, "proj_trans_generic", api.trans_generic);
    Resolve(library, "proj_create_from_database", api.create_from_database);
    Resolve(library, "proj_as_wkt", api.as_wkt);
    Resolve(library, "proj_get_name", api.get_name);
    Resolve(library, "proj_log_level", api.log_level);
    return api;
}

} // namespace

const TProjApi& Proj() {
    // A failed binding raises again at the next call, which tries once more.
    static const TProjApi api = Bind();
    return api;
}

} // namespace pwnet
