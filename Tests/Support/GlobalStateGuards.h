#pragma once

// Guards for the process-wide settings tests change. Each one restores what was in force before it,
// also when the test fails an assertion and returns early, so that one test's setting never leaks
// into the next test in the same binary.

#include <Foundation/Bundle.h>
#include <Foundation/NotificationCenter.h>
#include <string>

namespace TestSupport {

// Points the main bundle at path (an empty path means the default) while it lives.
class MainBundlePath {
public:
    explicit MainBundlePath(const std::string& path)
        : m_saved(Foundation::Bundle::hasMainBundlePath() ? Foundation::Bundle::mainBundle()->bundlePath()
                                                          : "") {
        Foundation::Bundle::setMainBundlePath(path);
    }
    ~MainBundlePath() { Foundation::Bundle::setMainBundlePath(m_saved); }
    MainBundlePath(const MainBundlePath&) = delete;
    MainBundlePath& operator=(const MainBundlePath&) = delete;

private:
    std::string m_saved;
};

// Points the code bundle at path (an empty path means the default) while it lives.
class CodeBundlePath {
public:
    explicit CodeBundlePath(const std::string& path)
        : m_saved(Foundation::Bundle::hasCodeBundlePath() ? Foundation::Bundle::codeBundle()->bundlePath()
                                                          : "") {
        Foundation::Bundle::setCodeBundlePath(path);
    }
    ~CodeBundlePath() { Foundation::Bundle::setCodeBundlePath(m_saved); }
    CodeBundlePath(const CodeBundlePath&) = delete;
    CodeBundlePath& operator=(const CodeBundlePath&) = delete;

private:
    std::string m_saved;
};

// Restores the device orientation the process had when it was made; setting an orientation posts a
// notification, so the restore happens only when something changed it.
class DeviceOrientation {
public:
    DeviceOrientation() : m_saved(Foundation::currentDeviceOrientation()) {}
    ~DeviceOrientation() {
        if (Foundation::currentDeviceOrientation() != m_saved) {
            Foundation::setCurrentDeviceOrientation(m_saved);
        }
    }
    DeviceOrientation(const DeviceOrientation&) = delete;
    DeviceOrientation& operator=(const DeviceOrientation&) = delete;

private:
    Foundation::DeviceOrientation m_saved;
};

} // namespace TestSupport
