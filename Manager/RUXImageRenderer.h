#pragma once

#include <Foundation/Dispatch.h>
#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Context.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Manager/RUXRenderFormula.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The formula's bitmap (scale 1, one pixel per unit of the result's extent, upright) rendered by
// context on the calling thread, unless the formula already has one; the formula keeps it. nullptr
// for a null formula, an empty, null or infinite result, or one over the pixel limit. Any thread.
RUX_API std::shared_ptr<const Graphics::BitmapImage>
RUXRenderedImageOfFormula(const RUXRenderFormulaPtr& formula, ImageEngine::Context& context);

// Turns formulas into bitmaps through the one shared image context and shows them on a target
// (any object with setImage(std::shared_ptr<const Graphics::BitmapImage>), such as the toolkit's
// image view), at once or in the background. Each formula keeps its bitmap, so a formula shown
// again is not rendered again.
class RUX_API RUXImageRenderer : public std::enable_shared_from_this<RUXImageRenderer> {
public:
    using Completion = std::function<void()>;

    // Never nullptr; the caller owns it. Any thread.
    static std::shared_ptr<RUXImageRenderer> create();

    const std::shared_ptr<ImageEngine::Context>& context() const { return m_context; }
    // The formula of the most recent display request, or nullptr before the first. Any thread.
    RUXRenderFormulaPtr lastRenderFormula() const;

    // The formula's bitmap (scale 1, one pixel per unit of the result's extent), rendered on the
    // calling thread unless the formula already has one. nullptr for a null formula, an empty,
    // null or infinite result, or one over the pixel limit. Any thread; the formula keeps it.
    std::shared_ptr<const Graphics::BitmapImage> renderedImage(const RUXRenderFormulaPtr& formula) const;

    // Records the formula as the last one, renders it on the calling thread and hands the bitmap
    // to target->setImage on the main thread, waiting until it has been set (at once when called
    // on the main thread). Does nothing for a null formula or target. Any thread; from a pool
    // thread the main run loop must be running.
    template <class Target>
    void renderAndDisplayImage(const RUXRenderFormulaPtr& formula, const std::shared_ptr<Target>& target) {
        if (!formula || !target) {
            return;
        }
        setLastRenderFormula(formula, nextRequest());
        display(formula, target);
    }

    // Records the formula as the last one and returns at once; a pool thread renders it, sets the
    // bitmap on the target on the main thread, waits for that, and then runs completion on the
    // pool thread. Every accepted request is rendered. With a null formula or target nothing is
    // rendered, but the completion still runs on a pool thread, since callers wait for it to
    // become idle. Any thread.
    template <class Target>
    void renderAndDisplayImage(const RUXRenderFormulaPtr& formula, const std::shared_ptr<Target>& target,
                               Completion completion) {
        if (!formula || !target) {
            if (completion) {
                Foundation::dispatchAsyncGlobal(std::move(completion));
            }
            return;
        }
        const std::uint64_t request = nextRequest();
        setLastRenderFormula(formula, request);
        Foundation::dispatchAsyncGlobal(
            [self = shared_from_this(), formula, target, request, completion = std::move(completion)] {
                // A render that starts late must not put back an older formula than one asked
                // for meanwhile.
                self->setLastRenderFormula(formula, request);
                self->display(formula, target);
                if (completion) {
                    completion();
                }
            });
    }

private:
    RUXImageRenderer() = default;

    template <class Target>
    void display(const RUXRenderFormulaPtr& formula, const std::shared_ptr<Target>& target) {
        std::shared_ptr<const Graphics::BitmapImage> image = renderedImage(formula);
        Foundation::performOnMainThread([&target, &image] { target->setImage(image); },
                                        Foundation::Wait::Yes);
    }

    std::uint64_t nextRequest();
    // Stores formula unless a request newer than request has stored one already.
    void setLastRenderFormula(const RUXRenderFormulaPtr& formula, std::uint64_t request);

    std::shared_ptr<ImageEngine::Context> m_context;
    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    RUXRenderFormulaPtr m_lastRenderFormula;
    std::uint64_t m_lastRequest = 0;
    std::uint64_t m_storedRequest = 0;
};
