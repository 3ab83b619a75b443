#include <View/RUXTouchDownGestureRecognizer.h>
#include <View/RUXTouchUpGestureRecognizer.h>

using Toolkit::GestureRecognizerState;

void RUXTouchDownGestureRecognizer::touchesBegan(const Toolkit::Touches&) {
    if (state() == GestureRecognizerState::Possible) {
        setState(Toolkit::kGestureRecognized);
    }
}

void RUXTouchDownGestureRecognizer::touchesEnded(const Toolkit::Touches&) {
    setState(GestureRecognizerState::Failed);
}

void RUXTouchUpGestureRecognizer::touchesEnded(const Toolkit::Touches&) {
    if (state() == GestureRecognizerState::Possible) {
        setState(Toolkit::kGestureRecognized);
    }
}

void RUXTouchUpGestureRecognizer::touchesCancelled(const Toolkit::Touches&) {
    if (state() == GestureRecognizerState::Possible) {
        setState(Toolkit::kGestureRecognized);
    }
}
