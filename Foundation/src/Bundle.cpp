#include <Foundation/Bundle.h>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace Foundation {

namespace fs = std::filesystem;

namespace {

std::mutex& bundleMutex() {
    static std::mutex mutex;
    return mutex;
}

// Both guarded by bundleMutex(); empty means the default.
std::string& mainBundleOverride() {
    static std::string path;
    return path;
}
std::string& codeBundleOverride() {
    static std::string path;
    return path;
}

std::string executableDirectory() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) {
        return fs::current_path(error).string();
    }
    return exe.parent_path().string();
}

} // namespace

std::shared_ptr<Bundle> Bundle::mainBundle() {
    std::string path;
    {
        std::lock_guard lock(bundleMutex());
        path = mainBundleOverride();
    }
    if (path.empty()) {
        static const std::string defaultPath = executableDirectory();
        path = defaultPath;
    }
    return std::make_shared<Bundle>(path);
}

void Bundle::setMainBundlePath(const std::string& path) {
    std::lock_guard lock(bundleMutex());
    mainBundleOverride() = path;
}

bool Bundle::hasMainBundlePath() {
    std::lock_guard lock(bundleMutex());
    return !mainBundleOverride().empty();
}

bool Bundle::hasCodeBundlePath() {
    std::lock_guard lock(bundleMutex());
    return !codeBundleOverride().empty();
}

std::shared_ptr<Bundle> Bundle::codeBundle() {
    std::string path;
    {
        std::lock_guard lock(bundleMutex());
        path = codeBundleOverride();
    }
    if (path.empty()) {
        return mainBundle();
    }
    return std::make_shared<Bundle>(path);
}

void Bundle::setCodeBundlePath(const std::string& path) {
    std::lock_guard lock(bundleMutex());
    codeBundleOverride() = path;
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const std::string& path) {
    std::error_code error;
    if (path.empty() || !fs::is_directory(path, error)) {
        return nullptr;
    }
    return std::make_shared<Bundle>(path);
}

std::string Bundle::pathForResource(const std::string& name, const std::string& type) const {
    // Resources live at the top level; a name that reaches elsewhere is not one of ours.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        type.find('/') != std::string::npos) {
        return "";
    }
    const std::string file = type.empty() ? name : name + "." + type;
    fs::path candidate = fs::path(m_path) / file;
    std::error_code error;
    if (!fs::exists(candidate, error)) {
        return "";
    }
    return candidate.string();
}

} // namespace Foundation
