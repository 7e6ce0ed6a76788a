#pragma once
// quadrel-cli from its arguments to its exit status, with the streams and the
// terminal facts given, so that main() only wires the process to it.

#include <csignal>
#include <istream>
#include <ostream>
#include <span>
#include <string_view>

namespace quadrel::cli {

// Exit statuses.
enum TExitStatus : int {
    esDone = 0,      // "Done" (or a dry run that would go ahead)
    esRefused = 1,   // a check or the user refused the run
    esUsage = 2,     // the command line cannot be followed
    esRunFailed = 3, // an error ended the run
};

struct TProcessFacts {
    bool StdinIsTerminal = false;
    bool StderrIsTerminal = false;
    const volatile std::sig_atomic_t* Interrupted = nullptr;
};

// Args are the arguments after the program name.
int RunQuadrelCli(std::span<const std::string_view> Args, std::istream& In, std::ostream& Out,
                  std::ostream& Err, const TProcessFacts& Facts);

} // namespace quadrel::cli
