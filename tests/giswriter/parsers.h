#pragma once
// Parsers we did not write, run over a writer's output: libxml2's xmllint for XML
// and Python's json module (strict: no NaN or Infinity) for JSON. Each returns the
// parser's complaint, empty when the text parsed.

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace gwtest {

// Runs a shell command; returns its exit status and what it printed.
inline int RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// xmllint's complaints about files that are not well-formed XML; empty when all are.
inline std::string XmlProblems(const std::vector<std::string>& paths) {
    std::string command = "xmllint --noout --nonet";
    for (const std::string& p : paths)
        command += " " + Quoted(p);
    std::string output;
    const int status = RunCommand(command, output);
    return status == 0 ? std::string() : "xmllint: " + std::to_string(status) + " " + output;
}

inline std::string XmlProblems(const std::string& path) {
    return XmlProblems(std::vector<std::string>{path});
}

// Python's complaints about files that are not strict JSON, one line per file that
// fails, naming it; empty when all parse. One interpreter checks them all.
inline std::string JsonProblems(const std::vector<std::string>& paths) {
    std::string command = "/usr/bin/python3 -c \"import json,sys\n"
                          "def bad(c): raise ValueError('not JSON: ' + c)\n"
                          "failed = 0\n"
                          "for p in sys.argv[1:]:\n"
                          "  try: json.load(open(p, encoding='utf-8'), parse_constant=bad)\n"
                          "  except Exception as e: print(p, e); failed = 1\n"
                          "sys.exit(failed)\"";
    for (const std::string& p : paths)
        command += " " + Quoted(p);
    std::string output;
    const int status = RunCommand(command, output);
    return status == 0 ? std::string() : "json: " + output;
}

inline std::string JsonProblems(const std::string& path) {
    return JsonProblems(std::vector<std::string>{path});
}

} // namespace gwtest
