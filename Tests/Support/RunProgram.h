#pragma once

// Runs one of our programs the way a shell user would, for the tests of the command-line tools.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>

namespace TestSupport {

struct ProgramRun {
    int exitCode; // -1 when the program could not be started or did not exit normally
    std::string output;
};

// Runs program with arguments (a shell command line), capturing stdout and stderr together.
inline ProgramRun runProgram(const std::string& program, const std::string& arguments) {
    const std::string command = program + " " + arguments + " 2>&1";
    ProgramRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        run.output += buffer;
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Whether a program of that name is on the PATH (Xvfb, xdotool, xwd: tests that need one skip
// without it).
inline bool haveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Polls until ready() holds, for at most 30 s: what another process does has no callback to wait on,
// and the bound is generous because the machine may be busy building.
inline bool waitFor(const std::function<bool()>& ready) {
    for (int i = 0; i < 300; ++i) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace TestSupport
