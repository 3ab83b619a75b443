#include <Foundation/Bundle.h>
#include <Foundation/Log.h>
#include <Utility/RUXResourceLocation.h>
#include <algorithm>
#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kResourceBundleName = "RUXImageEditor";
constexpr const char* kResourceBundleType = "bundle";
constexpr const char* kCodeBundleProbe = "circle.png";
// From PREFIX/lib/<multiarch>/libRUXImageEditorCore.so and from BUILD/Tests/Editor/, four levels
// reach PREFIX and BUILD with room to spare; more would start finding unrelated installs.
constexpr int kLevelsUp = 4;

fs::path fileOfThisLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&RUXResourceBundlePath), &info) == 0 || !info.dli_fname) {
        return {};
    }
    std::error_code error;
    fs::path file = fs::canonical(info.dli_fname, error);
    return error ? fs::path() : file;
}

fs::path executableFile() {
    std::error_code error;
    fs::path file = fs::canonical("/proc/self/exe", error);
    return error ? fs::path() : file;
}

// The share/RUXImageEditor folders that would hold an install's resources, nearest first; computed
// once, since neither the library nor the executable moves while the process runs.
const std::vector<fs::path>& installedResourceCandidates() {
    static const std::vector<fs::path> candidates = [] {
        std::vector<fs::path> list;
        for (const fs::path& file : {fileOfThisLibrary(), executableFile()}) {
            if (file.empty()) {
                continue;
            }
            fs::path folder = file.parent_path();
            for (int level = 0; level <= kLevelsUp && !folder.empty(); ++level) {
                fs::path candidate = folder / "share" / "RUXImageEditor";
                bool seen = false;
                for (const auto& known : list) {
                    seen = seen || known == candidate;
                }
                if (!seen) {
                    list.push_back(candidate);
                }
                if (folder == folder.parent_path()) {
                    break;
                }
                folder = folder.parent_path();
            }
        }
        return list;
    }();
    return candidates;
}

std::mutex& addedFoldersMutex() {
    static std::mutex mutex;
    return mutex;
}
// Guarded by addedFoldersMutex().
std::vector<fs::path>& addedFolders() {
    static std::vector<fs::path> folders;
    return folders;
}

// The first of the executable's folder and the install candidates for which found(folder) holds, or
// "" after one log line (once per process and per kind) naming every place searched.
template <class Found>
std::string searchResourceFolders(const char* what, std::atomic<bool>& logged, Found found) {
    std::vector<fs::path> searched{fs::path(Foundation::Bundle::mainBundle()->bundlePath())};
    for (const auto& candidate : installedResourceCandidates()) {
        searched.push_back(candidate);
    }
    {
        std::lock_guard lock(addedFoldersMutex());
        searched.insert(searched.end(), addedFolders().begin(), addedFolders().end());
    }
#ifdef RUX_CONFIGURED_RESOURCE_DIR
    // Where an install to the configured prefix puts them.
    searched.emplace_back(RUX_CONFIGURED_RESOURCE_DIR);
#endif
    for (const auto& folder : searched) {
        if (std::string path = found(folder); !path.empty()) {
            return path;
        }
    }
    if (!logged.exchange(true)) {
        std::string places;
        for (const auto& folder : searched) {
            places += (places.empty() ? "" : ", ") + folder.string();
        }
        Foundation::log("RUXImageEditor: no %s found in %s; set the folder with RUXSetResourceDirectory",
                        what, places.c_str());
    }
    return "";
}

std::string resourceBundleIn(const fs::path& folder) {
    return Foundation::Bundle(folder.string()).pathForResource(kResourceBundleName, kResourceBundleType);
}

} // namespace

void RUXAddResourceSearchDirectory(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::lock_guard lock(addedFoldersMutex());
    auto& folders = addedFolders();
    if (std::find(folders.begin(), folders.end(), fs::path(path)) == folders.end()) {
        folders.emplace_back(path);
    }
}

void RUXSetResourceDirectory(const std::string& path) {
    Foundation::Bundle::setMainBundlePath(path);
    Foundation::Bundle::setCodeBundlePath(path);
}

std::string RUXResourceBundlePath() {
    // A main bundle the host named is where its resources are, whether or not the bundle is there.
    if (Foundation::Bundle::hasMainBundlePath()) {
        return resourceBundleIn(Foundation::Bundle::mainBundle()->bundlePath());
    }
    static std::atomic<bool> logged{false};
    return searchResourceFolders(
        "resource bundle (RUXImageEditor.bundle)", logged, [](const fs::path& folder) {
            std::string bundle = resourceBundleIn(folder);
            std::error_code error;
            return !bundle.empty() && fs::is_directory(bundle, error) ? bundle : std::string();
        });
}

std::string RUXCodeBundlePath() {
    if (Foundation::Bundle::hasCodeBundlePath() || Foundation::Bundle::hasMainBundlePath()) {
        return Foundation::Bundle::codeBundle()->bundlePath();
    }
    static std::atomic<bool> logged{false};
    return searchResourceFolders("circle image (circle.png)", logged, [](const fs::path& folder) {
        std::error_code error;
        return fs::exists(folder / kCodeBundleProbe, error) ? folder.string() : std::string();
    });
}
