#include "BatchRecord.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace RenderTool {

namespace {

// mkstemp's six letters after the tag.
constexpr std::size_t kUniqueLetters = 6;

} // namespace

std::string temporaryTagForShard(int index, int count) {
    return "rux-shard-" + std::to_string(index) + "-of-" + std::to_string(count);
}

std::size_t removeTemporaryFiles(const std::string& directory, const std::string& tag) {
    const std::string marker = "." + tag + ".";
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.rfind(marker);
        if (at == std::string::npos || at == 0 || name.size() != at + marker.size() + kUniqueLetters) {
            continue;
        }
        std::error_code ignored;
        if (entry.is_regular_file(ignored) && std::filesystem::remove(entry.path(), ignored)) {
            ++removed;
        }
    }
    return removed;
}

bool readManifest(const std::string& path, std::vector<std::string>& inputs, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the manifest " + path;
        return false;
    }
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            inputs.push_back(line);
        }
    }
    if (file.bad()) {
        error = "cannot read the manifest " + path;
        return false;
    }
    return true;
}

bool BatchReportFile::open(const std::string& path, std::string& error) {
    if (path.empty()) {
        return true;
    }
    // Appended: a resumed run adds its lines to those of the run it takes up.
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = "cannot write the report " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

BatchReportFile::~BatchReportFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void BatchReportFile::add(const std::string& input, const std::string& output, const char* status,
                          double milliseconds, const std::string& error) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        return;
    }
    nlohmann::ordered_json line = {{"input", input},
                                   {"output", output},
                                   {"status", status},
                                   {"milliseconds", std::round(milliseconds * 10) / 10},
                                   {"error", error}};
    // One write per line: a kill leaves whole lines (and at worst lacks the last).
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            break;
        }
        written += std::size_t(n);
    }
}

} // namespace RenderTool
