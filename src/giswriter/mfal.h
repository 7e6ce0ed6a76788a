#pragma once
// Run-time binding of MapInfo's closed file access library "libmimfal1500_64.so"
// (entry points by ordinal only). The binding is made once, the first time it is
// asked for. The library does not exist for Linux, so there its status is "not
// loadable" and the writer factory gives MIF/MID for its format.
//
// The writer reaches the library only through a table of the five entry points it
// calls, so that the same writer can run against another implementation of them
// (the tests give it an in-process fake).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace pwnet {

struct MI_ATTRDEF;
struct MI_OBJ;

// Status values of the binding.
inline constexpr int32_t MfalLoaded = 0;       // loaded and usable
inline constexpr int32_t MfalFinalized = -1;   // released at program end
inline constexpr int32_t MfalNotLoadable = -2; // the library file could not be loaded
inline constexpr int32_t MfalInitFailed = -4;  // the library's initialisation reported failure

// The library's file name, looked up through the platform's ordinary search.
inline constexpr const char* MfalLibraryName = "libmimfal1500_64.so";
// The integer handed to the library's initialisation entry.
inline constexpr int32_t MfalInitArgument = 1500;
// Room for the library's projection record filled from a CoordSys clause.
inline constexpr size_t MfalProjectionSize = 1024;

// The entry points, by the ordinals the library exports them under.
struct TMfalEntryPoints {
    // 133: the library's initialisation; non-zero when the library is usable.
    int16_t (*Initialize)(int32_t Argument) = nullptr;
    // 150: fills Projection (MfalProjectionSize bytes) from a CoordSys clause in code
    // page 1252.
    void (*CoordSysToProjection)(const char* CoordSys, void* Projection) = nullptr;
    // 106: creates the table FileName (code page 1252) with NumFields fields; returns
    // its id, 0 on failure.
    int32_t (*CreateTable)(const char* FileName, const MI_ATTRDEF* Fields, int32_t NumFields,
                           void* Projection, int32_t Mode) = nullptr;
    // 134: appends one object with its attribute text (zero-terminated).
    void (*AppendObject)(int32_t TableId, const char* Attributes, MI_OBJ* Object,
                         int32_t* Result) = nullptr;
    // 102: closes the table.
    void (*CloseTable)(int32_t TableId) = nullptr;
};

// Looks up an entry point by ordinal; nullptr when the library has none.
using TMfalResolver = std::function<void*(int32_t Ordinal)>;

// Binds Entries through Resolve: resolves ordinal 133 and calls it once with
// MfalInitArgument (a zero result gives MfalInitFailed), then resolves 106, 150,
// 102 and 134. A missing entry point gives MfalNotLoadable. Returns the status.
int32_t BindMfalEntries(const TMfalResolver& Resolve, TMfalEntryPoints& Entries);

// Binds the library (only the first call does the work) and returns the status.
int32_t LoadMfal();
// The binding's status; binds first if nothing asked before.
int32_t MfalStatus();
// True when the status is MfalLoaded.
bool MfalAvailable();
// The bound entry points; nullptr unless the status is MfalLoaded.
const TMfalEntryPoints* MfalEntries();

// Replaces the binding by Entries (status MfalLoaded), or restores the library's own
// binding when Entries is nullptr. For tests of the writer and its factory case.
void SetMfalEntriesForTesting(const TMfalEntryPoints* Entries);

// Stores Name (code page 1252) into a 32-byte name field, zero-filled; raises
// "Field name is longer than 31" when Name has more than 31 characters.
void MfalFieldName(char (&Dest)[32], std::string_view Name);

} // namespace pwnet
