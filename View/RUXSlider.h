#pragma once

#include <Foundation/Export.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <Toolkit/View.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class RUXSlider;

// Told of every value change made by dragging the thumb (not of changes made through the setters).
class RUX_API RUXSliderDelegate {
public:
    virtual ~RUXSliderDelegate() = default;
    virtual void sliderDidChangeValue(RUXSlider& slider, double value) = 0;
    // After the last change of a drag, when the finger has left the thumb (or the drag was taken
    // away); value is where the thumb rests, snapped.
    virtual void sliderDidEndDragging(RUXSlider&, double /*value*/) {}
};

// A horizontal slider 80 points high: a grey track from x = 24 to W − 24, a centre mark, an orange
// line from the centre to the thumb, and a 48-point thumb that shows the value as a whole number.
// Only the thumb starts a drag; a release within 3 units of the rest value (by default the middle
// of the range) snaps to it. A new slider runs from 0 to 99 at 0. Main thread only.
class RUX_API RUXSlider : public Toolkit::View {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXSlider> create(const Graphics::Rect& frame);

    // Held weakly.
    std::shared_ptr<RUXSliderDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<RUXSliderDelegate>& delegate) { m_delegate = delegate; }

    double minValue() const { return m_minValue; }
    // Does not re-clamp the current value; the next setCurrentValue does.
    void setMinValue(double value);
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double value);
    double currentValue() const { return m_currentValue; }
    // Clamped to [minValue, maxValue]; does not tell the delegate.
    void setCurrentValue(double value);
    // Where the centre mark stands, the orange line starts and a release snaps: the middle of the
    // range unless set, for ranges whose neutral value lies elsewhere (a colour temperature, an
    // amount that starts at 0).
    double restValue() const;
    void setRestValue(double value);
    // The text the thumb shows for a value; without one, the value as a whole number.
    void setValueText(std::function<std::string(double)> valueText);
    // What the thumb reads at value, by the text set above.
    std::string textForValue(double value) const;
    // Marks the slider the keyboard moves, on a screen of several: a small orange dot left of the
    // track's start. An unselected slider (as every new one is) looks as if there were no keyboard.
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    const std::shared_ptr<Toolkit::View>& movingUnit() const { return m_movingUnit; }
    const std::shared_ptr<Toolkit::Label>& sliderLabel() const { return m_sliderLabel; }
    const std::shared_ptr<Toolkit::View>& sliderTrack() const { return m_sliderTrack; }
    const std::shared_ptr<Toolkit::View>& sliderTrackHighlighted() const { return m_sliderTrackHighlighted; }
    const std::shared_ptr<Toolkit::ImageView>& centreDot() const { return m_centreDot; }
    const std::shared_ptr<Toolkit::ImageView>& draggableDot() const { return m_draggableDot; }

    // Places the thumb, the value text and the orange line for the current value.
    void layoutSubviews() override;
    // The thumb's drag action.
    void didPanSlider(Toolkit::PanGestureRecognizer& recognizer);

protected:
    explicit RUXSlider(const Graphics::Rect& frame);

private:
    void setupSubviews();

    std::weak_ptr<RUXSliderDelegate> m_delegate;
    double m_minValue = 0;
    double m_maxValue = 0;
    double m_currentValue = 0;
    std::optional<double> m_restValue;
    std::function<std::string(double)> m_valueText;
    bool m_selected = false;
    std::shared_ptr<Toolkit::View> m_movingUnit;
    std::shared_ptr<Toolkit::Label> m_sliderLabel;
    std::shared_ptr<Toolkit::View> m_sliderTrack;
    std::shared_ptr<Toolkit::View> m_sliderTrackHighlighted;
    std::shared_ptr<Toolkit::ImageView> m_centreDot;
    std::shared_ptr<Toolkit::ImageView> m_draggableDot;
    std::shared_ptr<Toolkit::View> m_selectionDot;
};
