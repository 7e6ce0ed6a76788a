#include "process_cost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace benchutil {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Waits for the child and fills in what the kernel counted for it.
ProcessCost Reap(pid_t Pid, Clock::time_point Started, const char* Name) {
    int status = 0;
    rusage usage{};
    if (wait4(Pid, &status, 0, &usage) != Pid) {
        std::perror("wait4");
        std::exit(1);
    }
    ProcessCost c;
    c.wall = std::chrono::duration<double>(Clock::now() - Started).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", Name, status);
        std::exit(1);
    }
    c.user = Seconds(usage.ru_utime);
    c.sys = Seconds(usage.ru_stime);
    c.peakKiB = usage.ru_maxrss;
    return c;
}

} // namespace

ProcessCost RunProgram(const std::vector<std::string>& Argv) {
    std::vector<char*> args;
    for (const std::string& a : Argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd)
            dup2(null, fd);
        execv(args[0], args.data());
        _exit(127);
    }
    return Reap(pid, started, Argv[0].c_str());
}

ProcessCost RunForked(const char* Name, const std::function<void()>& Work) {
    std::fflush(nullptr);
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        Work();
        _exit(0);
    }
    return Reap(pid, started, Name);
}

ProcessCost MedianCost(std::vector<ProcessCost> Costs) {
    ProcessCost m;
    if (Costs.empty())
        return m;
    const size_t mid = Costs.size() / 2;
    std::sort(Costs.begin(), Costs.end(),
              [](const ProcessCost& a, const ProcessCost& b) { return a.wall < b.wall; });
    m.wall = Costs[mid].wall;
    std::sort(Costs.begin(), Costs.end(),
              [](const ProcessCost& a, const ProcessCost& b) { return a.cpu() < b.cpu(); });
    m.user = Costs[mid].user;
    m.sys = Costs[mid].sys;
    for (const ProcessCost& c : Costs)
        m.peakKiB = std::max(m.peakKiB, c.peakKiB);
    return m;
}

std::vector<FileSize> FilesIn(const std::string& Folder) {
    std::vector<FileSize> files;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        if (e.is_regular_file())
            files.push_back({e.path().filename().string(), e.file_size()});
    std::sort(files.begin(), files.end(),
              [](const FileSize& a, const FileSize& b) { return a.Name < b.Name; });
    return files;
}

uint64_t TotalBytes(const std::vector<FileSize>& Files) {
    uint64_t total = 0;
    for (const FileSize& f : Files)
        total += f.Bytes;
    return total;
}

void WritePlainFiles(const std::string& Folder, const std::vector<FileSize>& Files,
                     const std::vector<char>& Pattern, size_t Chunk) {
    for (const FileSize& f : Files) {
        const std::string path = Folder + "/" + f.Name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            std::perror(path.c_str());
            _exit(1);
        }
        for (uint64_t done = 0; done < f.Bytes;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(Chunk, f.Bytes - done));
            const ssize_t w = write(fd, Pattern.data(), n);
            if (w <= 0) {
                std::perror("write");
                _exit(1);
            }
            done += static_cast<uint64_t>(w);
        }
        if (close(fd) != 0)
            _exit(1);
    }
}

void EmptyFolder(const std::string& Folder) {
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        std::filesystem::remove_all(e.path());
}

} // namespace benchutil
