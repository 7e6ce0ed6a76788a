// quadrel-cli: the generation run from a terminal. See quadrel-cli --help.

#include "cli_main.h"
#include "mitab.h"

#include <csignal>
#include <iostream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t Interrupted = 0;

// The first Ctrl-C (or SIGTERM, or SIGHUP from a closed terminal) asks the run to
// stop after the current column, so that it removes its partly written files; a
// second one ends the process at once.
void OnInterrupt(int) {
    Interrupted = 1;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // no SA_RESTART: a waiting question returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader that stops early (| head -1) must not end the run: writes to the
    // closed pipe then fail quietly and the grid is still written.
    signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CatchInterrupts();
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    quadrel::cli::TProcessFacts facts;
    facts.StdinIsTerminal = isatty(STDIN_FILENO) == 1;
    facts.StderrIsTerminal = isatty(STDERR_FILENO) == 1;
    facts.Interrupted = &Interrupted;
    return quadrel::cli::RunQuadrelCli(args, std::cin, std::cout, std::cerr, facts);
}
