/*
 * Small libraries that look like MITAB to the binding but are not usable, one per
 * way a library can be wrong. Built three times:
 *   FAKE_NO_VERSION     no mitab_c_getlibversion at all
 *   FAKE_WRONG_VERSION  reports MITAB 1.6.0 (1006000)
 *   FAKE_PARTIAL        the right version, but only a few entry points
 */

#include <stddef.h>

#define EXPORT __attribute__((visibility("default")))

#if defined(FAKE_WRONG_VERSION)
EXPORT int mitab_c_getlibversion(void) {
    return 1006000;
}
#elif defined(FAKE_PARTIAL)
EXPORT int mitab_c_getlibversion(void) {
    return 1007000;
}
#endif

/* Every variant has these; the partial library has nothing else. */
EXPORT void* mitab_c_create(const char* filename, const char* kind, const char* coordsys,
                            double north, double south, double east, double west) {
    (void)filename, (void)kind, (void)coordsys, (void)north, (void)south, (void)east, (void)west;
    return NULL;
}
EXPORT void mitab_c_close(void* handle) {
    (void)handle;
}
/* Tells the test which library answered through a resolved pointer. */
EXPORT int mitab_c_get_feature_count(void* handle) {
    (void)handle;
    return 4242;
}
