#include "ScrollMotion.h"

#include <Graphics/BitmapContext.h>
#include <Graphics/Path.h>
#include <Toolkit/ScrollView.h>
#include <algorithm>

// The scroll indicators, drawn over the content while it moves.

namespace Toolkit {

using namespace ScrollMotion;

void ScrollView::setIndicatorsVisible(bool visible) {
    if (visible == m_indicatorsVisible)
        return;
    m_indicatorsVisible = visible;
    setNeedsDisplay();
}

void ScrollView::drawOverSubviews(Graphics::BitmapContext& context) {
    if (!m_indicatorsVisible)
        return;
    const Graphics::Rect b = bounds();
    const Graphics::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    context.setFillColor({0, 0, 0, 0.35});
    auto bar = [&](double visible, double total, double offset, double low, double high, bool horizontal) {
        if (total <= visible || visible <= 2 * kIndicatorInset)
            return;
        const double track = visible - 2 * kIndicatorInset;
        const double length =
            std::clamp(track * visible / total, std::min(kIndicatorMinimumLength, track), track);
        const double t = high > low ? std::clamp((offset - low) / (high - low), 0.0, 1.0) : 0;
        const double start = kIndicatorInset + t * (track - length);
        Graphics::Path path;
        if (horizontal)
            path.addRoundedRect({b.minX() + start, b.maxY() - kIndicatorInset - kIndicatorThickness, length,
                                 kIndicatorThickness},
                                kIndicatorThickness / 2);
        else
            path.addRoundedRect({b.maxX() - kIndicatorInset - kIndicatorThickness, b.minY() + start,
                                 kIndicatorThickness, length},
                                kIndicatorThickness / 2);
        context.fillPath(path);
    };
    if (m_showsHorizontalIndicator)
        bar(b.width(), m_contentSize.width + m_contentInset.left + m_contentInset.right, contentOffset().x,
            lo.x, hi.x, true);
    if (m_showsVerticalIndicator)
        bar(b.height(), m_contentSize.height + m_contentInset.top + m_contentInset.bottom, contentOffset().y,
            lo.y, hi.y, false);
}

} // namespace Toolkit
