#pragma once

#include <Foundation/RunLoop.h>
#include <Toolkit/Event.h>
#include <Toolkit/GestureRecognizer.h>
#include <map>
#include <memory>
#include <vector>

namespace Toolkit {

// The window's record of the touches in progress: which recognisers and which view each one goes to,
// and whether the view has it yet.
struct TouchDispatch {
    struct Entry {
        std::shared_ptr<Touch> touch;
        std::vector<std::weak_ptr<GestureRecognizer>> recognizers;
        // The view has received touchesBegan.
        bool delivered = false;
        // A recogniser took the touch away from the view; it gets no more of it.
        bool claimed = false;
        // Held back by a scroll view until its delay passes or the touch ends.
        Foundation::TimerId delayTimer = 0;
    };
    std::map<int, Entry> entries;
    // For tap counts: where and when the last touch lifted.
    Graphics::Point lastTapLocation;
    double lastTapTime = -1e9;
    int lastTapCount = 0;
};

} // namespace Toolkit
