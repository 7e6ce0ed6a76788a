#pragma once
// The cost of a whole process: CPU time (user and system, from wait4's rusage),
// wall time from fork to exit, and peak resident set size. For benchmarks that hold
// a program against the plain system calls its work needs, both in child processes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace benchutil {

struct ProcessCost {
    double user = 0; // seconds
    double sys = 0;
    double wall = 0;
    long peakKiB = 0;
    double cpu() const { return user + sys; }
};

// Runs Argv[0] (a path) with its arguments, stdin, stdout and stderr on /dev/null.
// Ends the benchmark when the program cannot be started or exits with another status
// than 0.
ProcessCost RunProgram(const std::vector<std::string>& Argv);

// Runs Work in a forked child (no exec) and measures that child.
ProcessCost RunForked(const char* Name, const std::function<void()>& Work);

// The median CPU time and the median wall time (each of its own), the largest peak.
ProcessCost MedianCost(std::vector<ProcessCost> Costs);

// The regular files of a folder with their sizes, sorted by name.
struct FileSize {
    std::string Name;
    uint64_t Bytes;
};
std::vector<FileSize> FilesIn(const std::string& Folder);
uint64_t TotalBytes(const std::vector<FileSize>& Files);

// Writes files of exactly these names and sizes into Folder with plain write() calls
// of Chunk bytes (the last one shorter), taken from Pattern (at least Chunk bytes):
// the least a program writing the same bytes into the same files must spend.
void WritePlainFiles(const std::string& Folder, const std::vector<FileSize>& Files,
                     const std::vector<char>& Pattern, size_t Chunk);

// Removes everything in Folder, keeping the folder.
void EmptyFolder(const std::string& Folder);

} // namespace benchutil
