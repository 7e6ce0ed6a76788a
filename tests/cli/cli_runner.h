#pragma once
// The built quadrel-cli run as a user runs it, from the tests of the program: standard
// input from /dev/null, standard output and standard error captured. QUADREL_CLI is
// the program's path.

#include "temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

inline const std::string Program = QUADREL_CLI;

struct Result {
    int Status = -1; // exit status; -1 when the program did not exit normally
    std::string Out; // standard output (and standard error with Stderr::WithStdout)
    std::string Err; // standard error, unless it went to standard output
};

// Where standard error goes: a file of its own, a pseudo-terminal, or the same file
// as standard output (both in the order written, as 2>&1 gives them).
enum class Stderr { File, Terminal, WithStdout };

// In the child: runs the program with Args; never returns.
[[noreturn]] inline void Exec(const std::vector<std::string>& Args) {
    std::vector<char*> argv{const_cast<char*>(Program.c_str())};
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(Program.c_str(), argv.data());
    _exit(127);
}

inline void RedirectInputFromNull() {
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    close(null);
}

// The exit status of the child Pid; -1 when it did not exit normally.
inline int WaitFor(pid_t Pid) {
    int status = 0;
    waitpid(Pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Everything Fd gives until its end (or an error, as a closed terminal gives).
inline std::string ReadAll(int Fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(Fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Runs quadrel-cli with Args and waits for it to end.
inline Result RunCli(const std::vector<std::string>& Args, Stderr Where = Stderr::File) {
    testutil::TempDir capture;
    const std::string outFile = capture / "stdout", errFile = capture / "stderr";
    int master = -1, slave = -1;
    if (Where == Stderr::Terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        RedirectInputFromNull();
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        if (Where == Stderr::Terminal) {
            dup2(slave, STDERR_FILENO);
            close(master);
        } else if (Where == Stderr::WithStdout) {
            dup2(out, STDERR_FILENO);
        } else {
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
        }
        Exec(Args);
    }
    Result r;
    if (Where == Stderr::Terminal) {
        close(slave);
        r.Err = ReadAll(master); // ends with EIO once the program has closed the terminal
        close(master);
    }
    r.Status = WaitFor(pid);
    r.Out = testutil::ReadFileBytes(outFile);
    if (Where == Stderr::File)
        r.Err = testutil::ReadFileBytes(errFile);
    return r;
}

// Runs quadrel-cli with Args, standard output through a pipe, and sends it Signal as
// soon as its output holds Marker (printed before the run begins); then waits for it.
inline Result SignalDuringRun(const std::vector<std::string>& Args, int Signal,
                              const std::string& Marker) {
    testutil::TempDir capture;
    const std::string errFile = capture / "stderr";
    int out[2];
    if (pipe(out) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        RedirectInputFromNull();
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        Exec(Args);
    }
    close(out[1]);
    Result r;
    char buffer[256];
    while (r.Out.find(Marker) == std::string::npos) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        r.Out.append(buffer, static_cast<size_t>(n));
    }
    kill(pid, Signal);
    r.Out += ReadAll(out[0]);
    close(out[0]);
    r.Status = WaitFor(pid);
    r.Err = testutil::ReadFileBytes(errFile);
    return r;
}

} // namespace clitest
