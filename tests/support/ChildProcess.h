#pragma once

// Programs the tests run as the user would: started in the background with their output in a file,
// and stopped with a signal.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orvex::test {

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// In a child just forked: becomes `args` (the program first); a program that cannot start ends the
// child with 127, as a shell would.
[[noreturn]] inline void Exec(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// What of a child's output goes to its log: standard error alone, or standard output too.
enum class LogOutput { ErrorOnly, Both };

// Runs `args` (the program first) in the background with its output in `log`.
inline pid_t Spawn(std::vector<std::string> args, const std::filesystem::path& log,
                   LogOutput output = LogOutput::Both) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::FILE* file = std::fopen(log.c_str(), "w");
        if (file != nullptr) {
            ::dup2(::fileno(file), STDERR_FILENO);
            if (output == LogOutput::Both)
                ::dup2(::fileno(file), STDOUT_FILENO);
        }
        Exec(std::move(args));
    }
    return pid;
}

// Sends `signal` and waits; the exit code, or -1 when the process did not exit by itself.
inline int EndProcess(pid_t& pid, int signal) {
    if (pid <= 0)
        return -1;
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace orvex::test
