#include <Foundation/Clock.h>
#include <Foundation/RunLoop.h>
#include <Toolkit/Animation.h>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>

namespace Toolkit {

namespace {

// About one step per display refresh.
constexpr std::chrono::milliseconds kFrameInterval(16);

struct Running {
    Foundation::TimePoint start;
    double seconds = 0;
    std::function<void(double)> step;
    std::function<void(bool)> completion;
    Foundation::TimerId timer = 0;
};

// Main thread only, like the animations themselves.
std::map<AnimationId, Running>& running() {
    static std::map<AnimationId, Running> animations;
    return animations;
}
AnimationId g_nextId = 1;

void finish(AnimationId id, bool finished) {
    auto it = running().find(id);
    if (it == running().end())
        return;
    Running animation = std::move(it->second);
    running().erase(it);
    Foundation::RunLoop::main().cancelTimer(animation.timer);
    if (finished && animation.step)
        animation.step(1.0);
    if (animation.completion)
        animation.completion(finished);
}

void tick(AnimationId id) {
    auto it = running().find(id);
    if (it == running().end())
        return;
    const double elapsed =
        std::chrono::duration<double>(Foundation::currentTime() - it->second.start).count();
    const double progress = elapsed / it->second.seconds;
    if (progress >= 1.0) {
        finish(id, true);
        return;
    }
    // A copy: the step may start or cancel animations.
    const std::function<void(double)> step = it->second.step;
    if (step)
        step(std::max(0.0, progress));
}

} // namespace

AnimationId animate(double seconds, std::function<void(double progress)> step,
                    std::function<void(bool finished)> completion) {
    const AnimationId id = g_nextId++;
    if (!(seconds > 0) || !std::isfinite(seconds)) {
        if (step)
            step(1.0);
        if (completion)
            completion(true);
        return id;
    }
    Running& animation = running()[id];
    animation.start = Foundation::currentTime();
    animation.seconds = seconds;
    animation.step = std::move(step);
    animation.completion = std::move(completion);
    animation.timer = Foundation::RunLoop::main().scheduleTimer(kFrameInterval, Foundation::Repeats::Yes,
                                                                [id] { tick(id); });
    return id;
}

void cancelAnimation(AnimationId id) {
    finish(id, false);
}

bool animationsInFlight() {
    return !running().empty();
}

} // namespace Toolkit
