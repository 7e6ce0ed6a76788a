#pragma once
// Run-time binding of the MITAB C API library that writes MapInfo TAB tables.
// The binding is made once, the first time it is asked for, and its status never
// changes afterwards. No loader is in place yet: the library counts as not
// loadable, so the TAB format is unavailable and the writer factory gives MIF/MID.

#include <cstdint>

namespace pwnet {

// Status values of the binding.
inline constexpr int32_t MitabLoaded = 0;          // loaded and usable
inline constexpr int32_t MitabFinalized = -1;      // released at program end
inline constexpr int32_t MitabNotLoadable = -2;    // the library file could not be loaded
inline constexpr int32_t MitabNoVersionEntry = -3; // no "mitab_c_getlibversion" entry
inline constexpr int32_t MitabWrongVersion = -4;   // a version other than the one required
inline constexpr int32_t MitabRequiredVersion = 1007000;

// Binds the library (only the first call does the work) and returns the status.
int32_t LoadMitab();
// The binding's status; binds first if nothing asked before.
int32_t MitabStatus();
// True when the status is MitabLoaded.
bool MitabAvailable();

} // namespace pwnet
