#pragma once
// Run-time binding of MapInfo's closed file access library (entry points by
// ordinal only). The binding is made once, the first time it is asked for. The
// library does not exist for Linux, so its status is "not loadable" and the
// writer factory gives MIF/MID for its format.

#include <cstdint>

namespace pwnet {

// Status values of the binding.
inline constexpr int32_t MfalLoaded = 0;       // loaded and usable
inline constexpr int32_t MfalFinalized = -1;   // released at program end
inline constexpr int32_t MfalNotLoadable = -2; // the library file could not be loaded
inline constexpr int32_t MfalInitFailed = -4;  // the library's initialisation reported failure

// Binds the library (only the first call does the work) and returns the status.
int32_t LoadMfal();
// The binding's status; binds first if nothing asked before.
int32_t MfalStatus();
// True when the status is MfalLoaded.
bool MfalAvailable();

} // namespace pwnet
