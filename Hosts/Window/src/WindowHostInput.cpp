#include "WindowHostState.h"

#include <Foundation/Clock.h>
#include <Foundation/NotificationCenter.h>
#include <algorithm>
#include <cmath>
#include <optional>

// Input translation: SDL's mouse, wheel, keys, touch-screen fingers and dropped files become the
// toolkit's touches, key chords and drops.

namespace Hosts {

namespace {

double now() {
    return std::chrono::duration<double>(Foundation::currentTime().time_since_epoch()).count();
}

bool mirrorModifier(SDL_Keymod mod) {
    return (mod & (KMOD_CTRL | KMOD_ALT)) != 0;
}

// The chord of a key event in KeyChord's names; nothing for keys the programs have no use for.
std::optional<KeyChord> chordOf(const SDL_Keysym& key) {
    std::string name;
    const SDL_Keycode sym = key.sym;
    if ((sym >= SDLK_a && sym <= SDLK_z) || (sym >= SDLK_0 && sym <= SDLK_9))
        name = std::string(1, static_cast<char>(sym));
    else {
        switch (sym) {
        case SDLK_ESCAPE:
            name = "escape";
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            name = "enter";
            break;
        case SDLK_SPACE:
            name = "space";
            break;
        case SDLK_TAB:
            name = "tab";
            break;
        case SDLK_BACKSPACE:
            name = "backspace";
            break;
        case SDLK_DELETE:
            name = "delete";
            break;
        case SDLK_LEFT:
            name = "left";
            break;
        case SDLK_RIGHT:
            name = "right";
            break;
        case SDLK_UP:
            name = "up";
            break;
        case SDLK_DOWN:
            name = "down";
            break;
        default:
            return std::nullopt;
        }
    }
    KeyChord chord;
    chord.key = std::move(name);
    chord.ctrl = (key.mod & KMOD_CTRL) != 0;
    chord.shift = (key.mod & KMOD_SHIFT) != 0;
    chord.alt = (key.mod & KMOD_ALT) != 0;
    return chord;
}

} // namespace

Graphics::Point WindowHost::State::pointFromWindowUnits(double x, double y) const {
    const double factor = pixelRatio() / scale;
    return {x * factor, y * factor};
}

Graphics::Point WindowHost::State::mirrored(Graphics::Point p) {
    const Graphics::Rect b = window().bounds();
    return {2 * b.midX() - p.x, 2 * b.midY() - p.y};
}

void WindowHost::State::send(int finger, Toolkit::TouchPhase phase, Graphics::Point p) {
    window().sendTouch(finger, phase, p, now());
}

void WindowHost::State::endWheelPinch() {
    if (!wheelPinching)
        return;
    wheelPinching = false;
    const double half = wheelDistance / 2;
    send(wheelFingers[0], Toolkit::TouchPhase::Ended, {wheelCentre.x - half, wheelCentre.y});
    send(wheelFingers[1], Toolkit::TouchPhase::Ended, {wheelCentre.x + half, wheelCentre.y});
}

void WindowHost::State::wheel(double notches) {
    if (!wheelPinching) {
        wheelPinching = true;
        wheelCentre = mouse;
        wheelDistance = wheelPinchStartDistance;
        const double half = wheelDistance / 2;
        send(wheelFingers[0], Toolkit::TouchPhase::Began, {wheelCentre.x - half, wheelCentre.y});
        send(wheelFingers[1], Toolkit::TouchPhase::Began, {wheelCentre.x + half, wheelCentre.y});
    }
    wheelDistance = std::clamp(wheelDistance * std::pow(wheelPinchFactor, notches), 2.0, 4000.0);
    const double newHalf = wheelDistance / 2;
    send(wheelFingers[0], Toolkit::TouchPhase::Moved, {wheelCentre.x - newHalf, wheelCentre.y});
    send(wheelFingers[1], Toolkit::TouchPhase::Moved, {wheelCentre.x + newHalf, wheelCentre.y});
    Foundation::RunLoop& loop = Foundation::RunLoop::main();
    if (wheelTimer)
        loop.cancelTimer(wheelTimer);
    wheelTimer = loop.scheduleTimer(std::chrono::duration_cast<std::chrono::milliseconds>(wheelPinchRest),
                                    Foundation::Repeats::No, [this] {
                                        wheelTimer = 0;
                                        endWheelPinch();
                                    });
}

void WindowHost::State::setMirror(bool down) {
    if (!mouseDown || down == mirrorDown)
        return;
    mirrorDown = down;
    send(mirroredFinger, down ? Toolkit::TouchPhase::Began : Toolkit::TouchPhase::Ended, mirrored(mouse));
}

void WindowHost::State::cancelEverything() {
    window().cancelAllTouches(now());
    mouseDown = mirrorDown = wheelPinching = false;
    screenFingers.clear();
}

void WindowHost::State::rotate() {
    using Foundation::DeviceOrientation;
    DeviceOrientation next = DeviceOrientation::LandscapeLeft;
    switch (Foundation::currentDeviceOrientation()) {
    case DeviceOrientation::LandscapeLeft:
        next = DeviceOrientation::PortraitUpsideDown;
        break;
    case DeviceOrientation::PortraitUpsideDown:
        next = DeviceOrientation::LandscapeRight;
        break;
    case DeviceOrientation::LandscapeRight:
        next = DeviceOrientation::Portrait;
        break;
    default:
        break;
    }
    cancelEverything();
    application->setDeviceOrientation(next);
    fitWindowToPoints();
}

void WindowHost::State::handle(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        running = false;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            const Graphics::Point size = pointFromWindowUnits(event.window.data1, event.window.data2);
            if (Graphics::Size{size.x, size.y} != window().pointSize())
                application->setWindowPointSize({size.x, size.y});
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            present(FrameUpload::KeepTexture);
        } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            cancelEverything();
        }
        break;
    case SDL_KEYDOWN:
        if ((event.key.keysym.mod & KMOD_CTRL) && event.key.keysym.sym == SDLK_q) {
            running = false;
        } else if ((event.key.keysym.mod & KMOD_CTRL) && event.key.keysym.sym == SDLK_r) {
            if (!event.key.repeat)
                rotate();
        } else {
            setMirror(mirrorModifier(static_cast<SDL_Keymod>(event.key.keysym.mod)));
            if (const std::optional<KeyChord> chord = chordOf(event.key.keysym); chord && keyHandler)
                keyHandler(*chord, event.key.repeat ? KeyPhase::Repeated : KeyPhase::Pressed);
        }
        break;
    case SDL_KEYUP:
        setMirror(mirrorModifier(static_cast<SDL_Keymod>(event.key.keysym.mod)));
        if (const std::optional<KeyChord> chord = chordOf(event.key.keysym); chord && keyHandler)
            keyHandler(*chord, KeyPhase::Released);
        break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        if (event.drop.file) {
            const std::string path = event.drop.file;
            SDL_free(event.drop.file);
            // The program may put a new screen in place; fingers on the old one are let go.
            if (event.type == SDL_DROPFILE && dropHandler) {
                cancelEverything();
                dropHandler(path);
            }
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT || mouseDown)
            break;
        endWheelPinch();
        mouse = pointFromWindowUnits(event.button.x, event.button.y);
        mouseDown = true;
        send(mouseFinger, Toolkit::TouchPhase::Began, mouse);
        setMirror(mirrorModifier(SDL_GetModState()));
        break;
    case SDL_MOUSEMOTION:
        if (event.motion.which == SDL_TOUCH_MOUSEID)
            break;
        mouse = pointFromWindowUnits(event.motion.x, event.motion.y);
        if (mouseDown) {
            send(mouseFinger, Toolkit::TouchPhase::Moved, mouse);
            if (mirrorDown)
                send(mirroredFinger, Toolkit::TouchPhase::Moved, mirrored(mouse));
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT || !mouseDown)
            break;
        mouse = pointFromWindowUnits(event.button.x, event.button.y);
        if (mirrorDown)
            send(mirroredFinger, Toolkit::TouchPhase::Ended, mirrored(mouse));
        mirrorDown = false;
        mouseDown = false;
        send(mouseFinger, Toolkit::TouchPhase::Ended, mouse);
        break;
    case SDL_MOUSEWHEEL:
        if (event.wheel.which == SDL_TOUCH_MOUSEID || mouseDown)
            break;
        wheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y);
        break;
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP: {
        const Graphics::Size size = window().pointSize();
        const Graphics::Point p{event.tfinger.x * size.width, event.tfinger.y * size.height};
        if (event.type == SDL_FINGERDOWN) {
            if (screenFingers.contains(event.tfinger.fingerId))
                break;
            const int finger = screenFingers[event.tfinger.fingerId] = nextScreenFinger++;
            send(finger, Toolkit::TouchPhase::Began, p);
            break;
        }
        auto it = screenFingers.find(event.tfinger.fingerId);
        if (it == screenFingers.end())
            break;
        const int finger = it->second;
        if (event.type == SDL_FINGERUP)
            screenFingers.erase(it);
        send(finger, event.type == SDL_FINGERUP ? Toolkit::TouchPhase::Ended : Toolkit::TouchPhase::Moved, p);
        break;
    }
    default:
        if (event.type == wakeEvent)
            wakePending = false;
        break;
    }
}

} // namespace Hosts
