#pragma once

#include <Foundation/Export.h>
#include <Toolkit/GestureRecognizer.h>
#include <memory>

// Recognises the end of a touch sequence, whether the finger lifted or the system took it away
// (another screen taking over), so that whatever a touch-down started is always undone. Main
// thread only.
class RUX_API RUXTouchUpGestureRecognizer : public Toolkit::GestureRecognizer {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXTouchUpGestureRecognizer> create() {
        return std::shared_ptr<RUXTouchUpGestureRecognizer>(new RUXTouchUpGestureRecognizer);
    }

protected:
    RUXTouchUpGestureRecognizer() = default;
    void touchesEnded(const Toolkit::Touches& touches) override;
    void touchesCancelled(const Toolkit::Touches& touches) override;
};
