#pragma once
// The program's name and version: the about box shows them, the update check sends
// them, quadrel-cli --version prints them. One place, so the front ends agree.

namespace quadrel {

inline constexpr const char* ProgramName = "Quadrel";
inline constexpr const char* ProgramVersion = "1.03";

} // namespace quadrel
