#include <Foundation/NotificationCenter.h>
#include <atomic>
#include <mutex>
#include <vector>

namespace Foundation {

const char* const DeviceOrientationDidChangeNotification = "DeviceOrientationDidChangeNotification";

namespace {

struct Observer {
    ObserverToken token;
    std::string name;
    std::weak_ptr<void> sender; // empty with anySender
    bool anySender;
    std::function<void(const Notification&)> handler;
    std::atomic<bool> removed{false};
};

std::atomic<DeviceOrientation> g_orientation{DeviceOrientation::Unknown};

} // namespace

struct NotificationCenter::State {
    std::mutex mutex;
    // Guarded by mutex; in the order added.
    std::vector<std::shared_ptr<Observer>> observers;
    ObserverToken nextToken = 1;
};

NotificationCenter::NotificationCenter() : m_state(std::make_unique<State>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    // Leaked on purpose: observers may be removed by objects destroyed during exit.
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}

ObserverToken NotificationCenter::addObserver(const std::string& name,
                                              std::function<void(const Notification&)> handler,
                                              const std::shared_ptr<void>& sender) {
    if (name.empty() || !handler) {
        return 0;
    }
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->sender = sender;
    observer->anySender = !sender;
    observer->handler = std::move(handler);
    std::lock_guard lock(m_state->mutex);
    observer->token = m_state->nextToken++;
    m_state->observers.push_back(observer);
    return observer->token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::shared_ptr<Observer> removed;
    {
        std::lock_guard lock(m_state->mutex);
        auto& observers = m_state->observers;
        for (auto it = observers.begin(); it != observers.end(); ++it) {
            if ((*it)->token == token) {
                removed = *it;
                removed->removed = true;
                observers.erase(it);
                break;
            }
        }
    }
    // removed (and the handler's captures) is released here, outside the lock.
}

void NotificationCenter::post(const std::string& name, const std::shared_ptr<void>& object) {
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(m_state->mutex);
        for (const auto& observer : m_state->observers) {
            if (observer->name != name) {
                continue;
            }
            // Identity, not liveness: an observer of a sender that has gone matches nothing.
            if (!observer->anySender && (!object || observer->sender.lock() != object)) {
                continue;
            }
            matching.push_back(observer);
        }
    }
    const Notification notification{name, object};
    for (const auto& observer : matching) {
        if (!observer->removed) {
            observer->handler(notification);
        }
    }
}

DeviceOrientation currentDeviceOrientation() {
    return g_orientation.load();
}

void setCurrentDeviceOrientation(DeviceOrientation orientation) {
    g_orientation.store(orientation);
    NotificationCenter::defaultCenter().post(DeviceOrientationDidChangeNotification);
}

} // namespace Foundation
