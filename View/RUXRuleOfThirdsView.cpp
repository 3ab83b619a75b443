#include <Graphics/BitmapContext.h>
#include <View/RUXDrawingUtility.h>
#include <View/RUXRuleOfThirdsView.h>

std::shared_ptr<RUXRuleOfThirdsView> RUXRuleOfThirdsView::create(const Graphics::Rect& frame) {
    return std::shared_ptr<RUXRuleOfThirdsView>(new RUXRuleOfThirdsView(frame));
}

RUXRuleOfThirdsView::RUXRuleOfThirdsView(const Graphics::Rect& frame) : Toolkit::View(frame) {
    setOpaque(false);
    setUserInteractionEnabled(false);
    setBackgroundColor(Toolkit::Color::clear());
}

void RUXRuleOfThirdsView::draw(Graphics::BitmapContext& context) {
    const Graphics::Rect rect = bounds();
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    const Graphics::Color white = Graphics::Color::white();

    context.saveGState();
    context.setStrokeColor(white);
    context.setLineWidth(2);
    context.strokeRect(RUXRectForStrokeOfWidth(2, rect));
    context.restoreGState();

    for (int i = 1; i <= 2; ++i) {
        RUXDrawDashStroke(context, white, x, y + h * i / 3, x + w, y + h * i / 3, 1);
    }
    for (int i = 1; i <= 2; ++i) {
        RUXDrawDashStroke(context, white, x + w * i / 3, y, x + w * i / 3, y + h, 1);
    }
}
