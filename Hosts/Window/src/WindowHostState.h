#pragma once

// The window host's state, shared by its SDL lifetime (WindowHost.cpp), its input translation
// (WindowHostInput.cpp) and its presentation (WindowHostPresentation.cpp).

#include <Foundation/RunLoop.h>
#include <Graphics/Geometry.h>
#include <Hosts/WindowHost.h>
#include <SDL.h>
#include <Toolkit/Application.h>
#include <Toolkit/Event.h>
#include <Toolkit/Window.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace Hosts {

// Finger ids: the mouse's, its mirrored twin, the wheel's pair, then touch-screen fingers.
inline constexpr int mouseFinger = 1;
inline constexpr int mirroredFinger = 2;
inline constexpr int wheelFingers[2] = {3, 4};
inline constexpr int firstScreenFinger = 100;

// The wheel pinch starts with the fingers this far apart and grows by this factor per notch; it
// ends once the wheel has rested a moment, as fingers lift after a pinch.
inline constexpr double wheelPinchStartDistance = 80;
inline constexpr double wheelPinchFactor = 1.1;
inline constexpr std::chrono::milliseconds wheelPinchRest{300};

// Whether a presentation copies the toolkit's framebuffer into the texture again, or shows the
// texture as it is (enough when the window system only asks for a repaint).
enum class FrameUpload { KeepTexture, CopyFramebuffer };

struct WindowHost::State {
    SDL_Window* sdlWindow = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    Uint32 wakeEvent = 0;
    std::atomic<bool> wakePending{false};
    double scale = 1;
    std::shared_ptr<Toolkit::Application> application;
    bool running = false;
    double quitAfterSeconds = 0;

    bool mouseDown = false;
    bool mirrorDown = false;
    Graphics::Point mouse;
    bool wheelPinching = false;
    Graphics::Point wheelCentre;
    double wheelDistance = wheelPinchStartDistance;
    Foundation::TimerId wheelTimer = 0;
    std::map<SDL_FingerID, int> screenFingers;
    int nextScreenFinger = firstScreenFinger;
    std::function<bool(const KeyChord&, KeyPhase)> keyHandler;
    std::function<bool(const std::string&)> dropHandler;

    Toolkit::Window& window() { return *application->keyWindow(); }

    ~State();
    // Output pixels per SDL window unit: above 1 on a high-DPI display.
    double pixelRatio() const;
    Graphics::Point pointFromWindowUnits(double x, double y) const;
    Graphics::Point mirrored(Graphics::Point p);
    // Sizes the SDL window so that the toolkit window's framebuffer covers it pixel for pixel.
    void fitWindowToPoints();
    void present(FrameUpload upload);
    void send(int finger, Toolkit::TouchPhase phase, Graphics::Point p);
    void endWheelPinch();
    void wheel(double notches);
    void setMirror(bool down);
    void cancelEverything();
    void rotate();
    void handle(const SDL_Event& event);
};

// The scale a window of pointSize should draw at on the display that shows sdlWindow.
double displayScale(SDL_Window* sdlWindow, double pixelRatio, Graphics::Size pointSize);

} // namespace Hosts
