#pragma once

#include <Foundation/Export.h>
#include <Toolkit/View.h>
#include <memory>

// The crop window's frame: a solid white border just inside the edges and dashed lines at the
// thirds. Transparent and untouchable, so pans and pinches reach the picture below it. Main thread
// only.
class RUX_API RUXRuleOfThirdsView : public Toolkit::View {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXRuleOfThirdsView> create(const Graphics::Rect& frame);

    void draw(Graphics::BitmapContext& context) override;

protected:
    explicit RUXRuleOfThirdsView(const Graphics::Rect& frame);
};
