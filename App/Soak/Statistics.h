#pragma once

// What a soak run counts and measures: touches per screen, history changes, resident memory.

#include "Delegate.h"

#include <array>

namespace RuxSoak {

// kAdded: any tool screen beyond the built-in six, which a host's configuration may offer.
enum Screen { kMain, kCrop, kBrightness, kSaturation, kContrast, kBlur, kRotate, kAdded, kScreenCount };
inline constexpr const char* kScreenNames[kScreenCount] = {"main",     "crop", "brightness", "saturation",
                                                           "contrast", "blur", "rotate",     "added"};

struct Statistics {
    long events = 0;
    long idles = 0;
    // Steps taken on each screen, and how often it was opened.
    std::array<long, kScreenCount> steps{};
    std::array<long, kScreenCount> entries{};
    long commits = 0;
    long undos = 0;
    long redos = 0;
};

// The run's clock and memory at its three marks: the start, the end of the warm-up and the end.
struct Timeline {
    long touches = 0;
    long warmUp = 0;
    double warmSeconds = 0;
    double seconds = 0;
    long startRss = 0;
    long warmRss = 0;
    long endRss = 0;
};

// A "Name:   123 kB" line of /proc/self/status, in kB; 0 when it cannot be read.
long statusKilobytes(const char* name);
double megabytes(long kilobytes);

// One progress line: the step, the time, resident and peak memory and the engine's scratch.
void printProgress(const char* label, long step, double seconds);
// The closing table: speed, steps per screen, history, saves and memory.
void printSummary(const Statistics& statistics, const Timeline& timeline, const DiscardingDelegate& delegate);

} // namespace RuxSoak
