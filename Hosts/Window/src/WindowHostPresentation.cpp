#include "WindowHostState.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>

// Presentation: the scale a window draws at, the SDL window's size, and the framebuffer shown
// through a streaming texture.

namespace Hosts {

namespace {

// Desktop displays count 96 dots per inch at their unscaled size.
constexpr double unscaledDpi = 96;
// Room left around a zoomed window for its frame and title bar, as a fraction of the display.
constexpr double frameAllowance = 0.92;

} // namespace

// The scale a window of pointSize should draw at on the display that shows sdlWindow. A drawable
// larger than the window (Wayland, macOS) gives the display's pixels per point directly; X11
// reports pixels as window units, so there the display's DPI stands in for it, in whole steps,
// since fractional ones blur icons drawn for whole scales.
double displayScale(SDL_Window* sdlWindow, double pixelRatio, Graphics::Size pointSize) {
    const int display = std::max(0, SDL_GetWindowDisplayIndex(sdlWindow));
    DisplayRoom room;
    room.pixelsPerPoint = pixelRatio;
    float dpi = 0;
    if (pixelRatio <= 1 && SDL_GetDisplayDPI(display, &dpi, nullptr, nullptr) == 0 && dpi > 0)
        room.pixelsPerPoint = std::max(1.0, std::round(dpi / unscaledDpi));
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0 && SDL_GetDisplayBounds(display, &usable) != 0)
        return room.pixelsPerPoint;
    // Usable bounds come in window units; the room is wanted in pixels.
    room.usablePixels = {usable.w * pixelRatio, usable.h * pixelRatio};
    return fittingWindowScale(room, pointSize);
}

// Output pixels per SDL window unit: above 1 on a high-DPI display.
double WindowHost::State::pixelRatio() const {
    int ww = 0, wh = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(sdlWindow, &ww, &wh);
    SDL_GetRendererOutputSize(renderer, &pw, &ph);
    return ww > 0 && pw > 0 ? static_cast<double>(pw) / ww : 1;
}

// Sizes the SDL window so that the toolkit window's framebuffer covers it pixel for pixel.
void WindowHost::State::fitWindowToPoints() {
    const Graphics::Size points = window().pointSize();
    const double factor = scale / pixelRatio();
    SDL_SetWindowSize(sdlWindow, static_cast<int>(std::lround(points.width * factor)),
                      static_cast<int>(std::lround(points.height * factor)));
}

void WindowHost::State::present(FrameUpload upload) {
    const std::shared_ptr<const Graphics::Bitmap> frame = window().framebuffer();
    if (!frame)
        return;
    if (!texture || textureWidth != frame->width() || textureHeight != frame->height()) {
        if (texture)
            SDL_DestroyTexture(texture);
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING,
                                    frame->width(), frame->height());
        if (!texture) {
            Foundation::log("WindowHost: cannot make a %dx%d texture: %s", frame->width(), frame->height(),
                            SDL_GetError());
            return;
        }
        textureWidth = frame->width();
        textureHeight = frame->height();
        upload = FrameUpload::CopyFramebuffer;
    }
    if (upload == FrameUpload::CopyFramebuffer)
        SDL_UpdateTexture(texture, nullptr, frame->data(), static_cast<int>(frame->bytesPerRow()));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

double fittingWindowScale(const DisplayRoom& display, Graphics::Size pointSize) {
    const double base = display.pixelsPerPoint;
    if (!(base > 0 && base < 100) || !(pointSize.width > 0) || !(pointSize.height > 0) ||
        !(display.usablePixels.width > 0) || !(display.usablePixels.height > 0))
        return 1;
    const double room = std::min(display.usablePixels.width * frameAllowance / (pointSize.width * base),
                                 display.usablePixels.height * frameAllowance / (pointSize.height * base));
    const double zoom = room >= 1 ? std::floor(room) : room;
    return std::max(0.25, base * zoom);
}

} // namespace Hosts
