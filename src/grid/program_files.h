#pragma once
// Where the program's own files lie: its data files (background maps, help page,
// built-in areas) beside the program in the build tree or in ../share/quadrel/ of an
// installation, and the libraries it loads at run time beside it or in ../lib/.

#include <string>
#include <vector>

namespace quadrel {

// The folder of the running program (/proc/self/exe), ending in '/'; empty when the
// system does not tell.
std::string ProgramFolder();

// A data file of the program: beside the program when it is there, else in
// ../share/quadrel/ relative to the program's folder. When it is in neither, the
// path beside the program, so that a message names a place where it was looked for.
std::string ProgramDataFile(const std::string& Name);
// The same with the program's folder given (for tests).
std::string ProgramDataFileIn(const std::string& Folder, const std::string& Name);

// Where a library of the program is looked for, in order: beside the program, in
// the installed library folder next to the program's folder, and by its bare name
// on the library search path.
std::vector<std::string> ProgramLibraryCandidates(const std::string& Name);

} // namespace quadrel
