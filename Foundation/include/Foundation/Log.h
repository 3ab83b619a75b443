#pragma once

#include <Foundation/Export.h>
#include <string>
#include <vector>

namespace Foundation {

// Writes one diagnostic line (printf format, newline added) to stderr, or to the active
// LogCapture. Any thread may call it; lines are never interleaved.
RUX_API void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While one exists, log lines go to it instead of stderr (tests use it to check diagnostics).
// Captures nest: the newest one receives the lines. Create and destroy on one thread.
class RUX_API LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    // True if any captured line contains text.
    bool contains(const std::string& text) const;

private:
    friend void log(const char*, ...);
    std::vector<std::string> m_lines; // guarded by the log's mutex
};

} // namespace Foundation
