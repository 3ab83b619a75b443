#pragma once

#include <Foundation/Export.h>
#include <Toolkit/GestureRecognizer.h>
#include <memory>

// Recognises the moment a finger lands, before it moves, so that a screen can react while the
// finger is still down; a touch sequence that ends without having landed here fails it. Main
// thread only.
class RUX_API RUXTouchDownGestureRecognizer : public Toolkit::GestureRecognizer {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXTouchDownGestureRecognizer> create() {
        return std::shared_ptr<RUXTouchDownGestureRecognizer>(new RUXTouchDownGestureRecognizer);
    }

protected:
    RUXTouchDownGestureRecognizer() = default;
    void touchesBegan(const Toolkit::Touches& touches) override;
    void touchesEnded(const Toolkit::Touches& touches) override;
};
