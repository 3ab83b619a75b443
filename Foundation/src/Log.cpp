#include <Foundation/Log.h>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace Foundation {

namespace {

std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

// Live captures, newest last; guarded by logMutex().
std::vector<LogCapture*>& captureStack() {
    static std::vector<LogCapture*> stack;
    return stack;
}

} // namespace

void log(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::lock_guard lock(logMutex());
    if (!captureStack().empty()) {
        captureStack().back()->m_lines.emplace_back(buffer);
        return;
    }
    std::fprintf(stderr, "%s\n", buffer);
}

LogCapture::LogCapture() {
    std::lock_guard lock(logMutex());
    captureStack().push_back(this);
}

LogCapture::~LogCapture() {
    std::lock_guard lock(logMutex());
    std::erase(captureStack(), this);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(logMutex());
    return m_lines;
}

bool LogCapture::contains(const std::string& text) const {
    return std::ranges::any_of(lines(),
                               [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

} // namespace Foundation
