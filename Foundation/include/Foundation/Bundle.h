#pragma once

#include <Foundation/Export.h>
#include <memory>
#include <string>

namespace Foundation {

// A directory of resources. Resources are looked up by name and type at the top level of the
// directory, every time (nothing is cached, so files added later are found). A Bundle is
// immutable and safe to share between threads.
class RUX_API Bundle {
public:
    // The host application's bundle: the directory set with setMainBundlePath, by default the
    // directory holding the running executable (the current directory if that cannot be read).
    // Never nullptr, even if the directory does not exist (lookups then answer ""). Any thread.
    static std::shared_ptr<Bundle> mainBundle();
    // An empty path restores the default. Any thread.
    static void setMainBundlePath(const std::string& path);
    // Whether a main bundle path is set (rather than the default). Any thread.
    static bool hasMainBundlePath();

    // The bundle holding the editor's own code, for resources that ship with the code rather
    // than in the resource bundle: the directory set with setCodeBundlePath, by default the main
    // bundle (the code is linked into the host). Never nullptr. Any thread.
    static std::shared_ptr<Bundle> codeBundle();
    // An empty path restores the default. Any thread.
    static void setCodeBundlePath(const std::string& path);
    // Whether a code bundle path is set (rather than the default). Any thread.
    static bool hasCodeBundlePath();

    // A bundle over the directory at path, or nullptr (with no log line) if path is not an
    // existing directory. The caller owns it. Any thread.
    static std::shared_ptr<Bundle> bundleWithPath(const std::string& path);

    // The path of the file or directory "name.type" (just "name" when type is empty) in this
    // bundle, or "" if there is none or name is empty or leaves the bundle ("..", "/"). Any
    // thread.
    std::string pathForResource(const std::string& name, const std::string& type) const;

    const std::string& bundlePath() const { return m_path; }

    explicit Bundle(std::string path) : m_path(std::move(path)) {}

private:
    std::string m_path;
};

} // namespace Foundation
