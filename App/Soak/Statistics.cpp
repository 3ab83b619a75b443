#include "Statistics.h"

#include <ImageEngine/Context.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace RuxSoak {

// A "Name:   123 kB" line of /proc/self/status, in kB; 0 when it cannot be read.
long statusKilobytes(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return 0;
}

double megabytes(long kilobytes) {
    return double(kilobytes) / 1024.0;
}

// Beside the resident memory, the render scratch the image engine holds: it should stay a few
// tiles' worth per thread, so growth elsewhere is easy to tell apart.
void printProgress(const char* label, long step, double seconds) {
    std::printf("%-16s step %7ld  %8.1f s  RSS %7.1f MB  peak %7.1f MB  engine scratch %5.1f MB\n", label,
                step, seconds, megabytes(statusKilobytes("VmRSS")), megabytes(statusKilobytes("VmHWM")),
                double(ImageEngine::Context::scratchBytesHeld()) / (1024.0 * 1024.0));
    std::fflush(stdout);
}

void printSummary(const Statistics& statistics, const Timeline& timeline,
                  const DiscardingDelegate& delegate) {
    std::printf("\ntouches %ld (touch events %ld, idle waits %ld) in %.1f s: %.1f touches/s\n",
                timeline.touches, statistics.events, statistics.idles, timeline.seconds,
                double(timeline.touches) / timeline.seconds);
    std::printf("screen     steps  opened\n");
    for (int s = 0; s < kScreenCount; ++s) {
        std::printf("%-10s %6ld  %6ld\n", kScreenNames[s], statistics.steps[std::size_t(s)],
                    statistics.entries[std::size_t(s)]);
    }
    std::printf("history: %ld commits, %ld undos, %ld redos; saves %ld (failed %ld), cancels %ld\n",
                statistics.commits, statistics.undos, statistics.redos, delegate.saves, delegate.failedSaves,
                delegate.cancels);
    std::printf("RSS: start %.1f MB, after warm-up %.1f MB, end %.1f MB, peak %.1f MB\n",
                megabytes(timeline.startRss), megabytes(timeline.warmRss), megabytes(timeline.endRss),
                megabytes(statusKilobytes("VmHWM")));
    if (timeline.warmSeconds > 0 && timeline.seconds > timeline.warmSeconds) {
        std::printf("after warm-up: %.1f touches/s\n",
                    double(timeline.touches - timeline.warmUp) / (timeline.seconds - timeline.warmSeconds));
    }
}

} // namespace RuxSoak
