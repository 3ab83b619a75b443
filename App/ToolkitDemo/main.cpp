// toolkit-demo: a small screen of the UI toolkit, in a desktop window or replayed from a touch
// script without a display.
//
//   toolkit-demo [--size WxH] [--scale S] [--quit-after SECONDS]     opens a window
//   toolkit-demo --script FILE [--size WxH] [--scale S] [--out DIR]  replays FILE headlessly
#include "DemoScreens.h"

#include <Hosts/HeadlessHost.h>
#include <cstdio>
#if RUX_HAVE_WINDOW_HOST
#include <Hosts/WindowHost.h>
#endif

int main(int argc, char** argv) {
    if (const std::optional<int> status = Hosts::runHeadlessMain(argc, argv, Demo::makeDemoRoot))
        return *status;
#if RUX_HAVE_WINDOW_HOST
    return Hosts::runWindowMain(argc, argv, Demo::makeDemoRoot);
#else
    std::fprintf(stderr, "%s: built without the window host; use --script FILE\n", argv[0]);
    return 1;
#endif
}
