#pragma once

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>

namespace Toolkit {

// Views are not guarded by locks; a call from another thread (a background render handing over its
// picture without hopping to the main thread) is refused with one log line instead of racing.
inline bool requireMainThread(const char* function) {
    if (Foundation::isMainThread())
        return true;
    Foundation::log("Toolkit: %s called off the main thread; ignored", function);
    return false;
}

} // namespace Toolkit
