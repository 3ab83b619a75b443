#pragma once

#include <Foundation/Export.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Foundation {

struct RUX_API Notification {
    std::string name;
    std::shared_ptr<void> object; // the sender, or nullptr
};

using ObserverToken = std::uint64_t;

// Observers by notification name. A post calls every matching observer on the posting thread,
// in the order they were added, with no lock held (so handlers may add, remove and post).
// An observer removed before or during a post is not called after its removal; one that is
// running on another thread at the moment of removal may still finish. All functions are safe
// from any thread.
class RUX_API NotificationCenter {
public:
    // The process's centre; it lives for the whole process. Any thread.
    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Calls handler for every post of name whose object is sender (compared by identity), or for
    // every post of name when sender is nullptr. Returns a token for removeObserver, or 0 (and
    // registers nothing) when name is empty or handler is empty. Any thread.
    ObserverToken addObserver(const std::string& name, std::function<void(const Notification&)> handler,
                              const std::shared_ptr<void>& sender = nullptr);
    // Unknown or already removed tokens are ignored. Any thread.
    void removeObserver(ObserverToken token);

    // Delivers the notification to the observers of name, on this thread, before returning.
    void post(const std::string& name, const std::shared_ptr<void>& object = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Removes its observer when it goes away, for objects that observe for their whole life.
// Move-only; create and destroy on any thread.
class RUX_API ScopedObserver {
public:
    ScopedObserver() = default;
    ScopedObserver(NotificationCenter& center, ObserverToken token) : m_center(&center), m_token(token) {}
    ~ScopedObserver() { reset(); }
    ScopedObserver(ScopedObserver&& other) noexcept : m_center(other.m_center), m_token(other.m_token) {
        other.m_token = 0;
    }
    ScopedObserver& operator=(ScopedObserver&& other) noexcept {
        if (this != &other) {
            reset();
            m_center = other.m_center;
            m_token = other.m_token;
            other.m_token = 0;
        }
        return *this;
    }
    void reset() {
        if (m_center && m_token) {
            m_center->removeObserver(m_token);
        }
        m_token = 0;
    }

private:
    NotificationCenter* m_center = nullptr;
    ObserverToken m_token = 0;
};

// Posted on the default centre, with no object, each time the host sets the device orientation.
RUX_API extern const char* const DeviceOrientationDidChangeNotification;

enum class DeviceOrientation {
    Unknown,
    Portrait,
    PortraitUpsideDown,
    LandscapeLeft,
    LandscapeRight,
    FaceUp,
    FaceDown,
};

// The orientation the host last set; Unknown until it sets one. Any thread.
RUX_API DeviceOrientation currentDeviceOrientation();
// Stores the orientation, then posts DeviceOrientationDidChangeNotification on the calling
// thread (also when the value is unchanged: the host reports, observers decide). Any thread.
RUX_API void setCurrentDeviceOrientation(DeviceOrientation orientation);

} // namespace Foundation
