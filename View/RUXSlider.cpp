#include <Toolkit/Font.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXSlider.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {
// The orange of the track's filled part, the thumb's reading and the keyboard's selection.
constexpr std::int32_t kSliderAccent = 0xFF5722;
constexpr double kThumbWidth = 48;
constexpr double kHeight = 80;
constexpr double kTrackInset = kThumbWidth / 2;
constexpr double kTrackY = 39.5;
constexpr double kLabelHeight = 34;
// The selection's dot, centred on the track's line and clear of the drag dot at the left end.
constexpr double kSelectionDotSize = 6;
constexpr double kSelectionDotX = 5;
// Half-width of the window around the middle of the range in which a release snaps to it, in
// slider units: wide enough to hit the neutral value with a finger.
constexpr double kSnapDistance = 3;
} // namespace

std::shared_ptr<RUXSlider> RUXSlider::create(const Graphics::Rect& frame) {
    std::shared_ptr<RUXSlider> slider(new RUXSlider(frame));
    // The drag recogniser's action holds the slider weakly, which needs the slider's owner first.
    slider->setupSubviews();
    slider->setMinValue(0);
    slider->setMaxValue(99);
    slider->setCurrentValue(0);
    return slider;
}

RUXSlider::RUXSlider(const Graphics::Rect& frame) : Toolkit::View(frame) {}

void RUXSlider::setupSubviews() {
    const double w = bounds().size.width;
    setBackgroundColor(RUXColorWithHexCode(0x191919));

    m_sliderTrack = Toolkit::View::create({kTrackInset, kTrackY, w - kThumbWidth, 1});
    m_sliderTrack->setBackgroundColor(RUXColorWithHexCode(0x5A5A5A));
    addSubview(m_sliderTrack);

    m_sliderTrackHighlighted = Toolkit::View::create({kTrackInset, kTrackY, w - kThumbWidth, 1});
    m_sliderTrackHighlighted->setBackgroundColor(RUXColorWithHexCode(kSliderAccent));
    addSubview(m_sliderTrackHighlighted);

    m_centreDot = Toolkit::ImageView::create({0, 0, w, kHeight});
    m_centreDot->setImage(RUXGetImage("ic_control_centre"));
    m_centreDot->setContentMode(Toolkit::ContentMode::Center);
    addSubview(m_centreDot);

    m_movingUnit = Toolkit::View::create({0, 0, kThumbWidth, kHeight});
    auto pan = Toolkit::PanGestureRecognizer::create();
    pan->addTarget(std::static_pointer_cast<RUXSlider>(shared_from_this()), &RUXSlider::didPanSlider);
    m_movingUnit->addGestureRecognizer(pan);
    addSubview(m_movingUnit);

    m_draggableDot = Toolkit::ImageView::create({0, 0, kThumbWidth, kHeight});
    m_draggableDot->setImage(RUXGetImage("ic_control_drag"));
    m_draggableDot->setContentMode(Toolkit::ContentMode::Center);
    m_movingUnit->addSubview(m_draggableDot);

    m_sliderLabel = Toolkit::Label::create({0, 0, kThumbWidth, kLabelHeight});
    m_sliderLabel->setFont(Toolkit::Font::systemFont(10));
    m_sliderLabel->setTextColor(RUXColorWithHexCode(kSliderAccent));
    m_sliderLabel->setTextAlignment(Toolkit::TextAlignment::Center);
    m_movingUnit->addSubview(m_sliderLabel);
}

void RUXSlider::setMinValue(double value) {
    m_minValue = value;
    setNeedsLayout();
}

void RUXSlider::setMaxValue(double value) {
    m_maxValue = value;
    setNeedsLayout();
}

void RUXSlider::setCurrentValue(double value) {
    m_currentValue = std::min(std::max(m_minValue, value), m_maxValue);
    setNeedsLayout();
}

double RUXSlider::restValue() const {
    return m_restValue ? *m_restValue : m_minValue + (m_maxValue - m_minValue) * 0.5;
}

void RUXSlider::setRestValue(double value) {
    m_restValue = value;
    setNeedsLayout();
}

void RUXSlider::setValueText(std::function<std::string(double)> valueText) {
    m_valueText = std::move(valueText);
    setNeedsLayout();
}

std::string RUXSlider::textForValue(double value) const {
    if (m_valueText) {
        return m_valueText(value);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

void RUXSlider::setSelected(bool selected) {
    m_selected = selected;
    if (!m_selectionDot) {
        if (!selected) {
            return;
        }
        // Made at the first selection, so that a slider never selected has not even a hidden view more.
        m_selectionDot = Toolkit::View::create(
            {kSelectionDotX, kTrackY + 0.5 - kSelectionDotSize / 2, kSelectionDotSize, kSelectionDotSize});
        m_selectionDot->setBackgroundColor(RUXColorWithHexCode(kSliderAccent));
        m_selectionDot->setCornerRadius(kSelectionDotSize / 2);
        // Below the thumb, and no target for a finger.
        m_selectionDot->setUserInteractionEnabled(false);
        insertSubviewBelow(m_selectionDot, m_centreDot);
    }
    m_selectionDot->setHidden(!selected);
}

void RUXSlider::layoutSubviews() {
    Toolkit::View::layoutSubviews();
    const double w = frame().size.width;
    const double range = m_maxValue - m_minValue;
    // An empty range would divide by zero; the thumb then rests at the left end.
    const double t = range != 0 ? (m_currentValue - m_minValue) / range : 0;
    double x = t * (w - kThumbWidth);
    if (!std::isfinite(x)) {
        x = 0;
    }
    m_movingUnit->setFrame({x, 0, kThumbWidth, kHeight});

    m_sliderLabel->setText(textForValue(m_currentValue));

    double c = center().x;
    if (m_restValue) {
        // The thumb's centre where it would rest, and the centre mark with it.
        const double r = range != 0 ? (*m_restValue - m_minValue) / range : 0;
        c = std::isfinite(r) ? std::clamp(r, 0.0, 1.0) * (w - kThumbWidth) + kThumbWidth / 2 : w / 2;
        m_centreDot->setFrame({c - w / 2, 0, w, kHeight});
    }
    const double m = m_movingUnit->center().x;
    m_sliderTrackHighlighted->setFrame({std::min(c, m), kTrackY, std::abs(c - m), 1});
}

void RUXSlider::didPanSlider(Toolkit::PanGestureRecognizer& recognizer) {
    if (recognizer.state() != Toolkit::GestureRecognizerState::Ended) {
        const Graphics::Point p = recognizer.locationInView(shared_from_this());
        const double t = (p.x - kTrackInset) / (frame().size.width - kThumbWidth);
        setCurrentValue(m_minValue + t * (m_maxValue - m_minValue));
    } else {
        const double mid = restValue();
        if (m_currentValue - kSnapDistance <= mid && mid <= m_currentValue + kSnapDistance) {
            setCurrentValue(mid);
        }
    }
    if (auto delegate = m_delegate.lock()) {
        delegate->sliderDidChangeValue(*this, m_currentValue);
        const Toolkit::GestureRecognizerState state = recognizer.state();
        if (state == Toolkit::GestureRecognizerState::Ended ||
            state == Toolkit::GestureRecognizerState::Cancelled) {
            delegate->sliderDidEndDragging(*this, m_currentValue);
        }
    }
}
