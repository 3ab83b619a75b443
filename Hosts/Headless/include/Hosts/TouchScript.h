#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <Hosts/KeyChord.h>
#include <optional>
#include <string>
#include <vector>

namespace Hosts {

// A touch script: what a user does to the screen, one command a line, replayed by HeadlessHost.
// Coordinates are window points (origin top-left, y down); times are seconds of the host's
// clock, which only moves when the script says so. Blank lines and everything after '#' are
// ignored; words are separated by spaces or tabs.
//
//   tap X Y                            one finger down and up at (X, Y), 0.05 s apart
//   drag X1 Y1 X2 Y2 [SECONDS] [STEPS] one finger from the first point to the second in STEPS
//                                      equal moves over SECONDS (default 0.3 s, 10 steps)
//   pinch CX CY D1 D2 [SECONDS] [STEPS]
//                                      two fingers on a horizontal line through (CX, CY), D1
//                                      points apart at the start and D2 at the end (same defaults)
//   hold X Y SECONDS                   one finger held still at (X, Y) for SECONDS, then lifted
//   down ID X Y                        finger ID (a whole number) lands
//   move ID X Y                        finger ID moves
//   up ID [X Y]                        finger ID lifts (where it last was, or at X Y)
//   cancel ID                          the system takes finger ID away
//   wait SECONDS                       the clock runs on, one display frame (1/60 s) at a time
//   idle                               runs until nothing is left to do: no queued main-thread
//                                      work, no background task unfinished, no animation running
//                                      (bounded; timers due later than that do not keep it busy)
//   rotate ORIENTATION                 the device turns: portrait, upside-down, landscape-left,
//                                      landscape-right, face-up or face-down
//   screenshot FILE.png                writes what the window shows (pixels of the host's scale);
//                                      a relative path is taken from the host's output directory
//   key CHORD                          a key pressed and released at once (see KeyChord.h:
//                                      "ctrl+z", "escape", "left")
//   keydown CHORD, keyup CHORD         a key goes down and stays down, a key that is down comes up
//   drop PATH                          a file is dropped on the window (the rest of the line is
//                                      the path, so it may hold spaces)
//
// Between the events of a gesture the clock moves on and the run loop runs, so timers,
// animations and gesture recognisers see the same timing a user would produce.
struct RUX_API TouchCommand {
    enum class Kind {
        Tap,
        Drag,
        Pinch,
        Hold,
        Down,
        Move,
        Up,
        Cancel,
        Wait,
        Idle,
        Rotate,
        Screenshot,
        Key,
        KeyDown,
        KeyUp,
        Drop
    };
    Kind kind = Kind::Idle;
    int line = 0;                      // 1-based line in the script
    std::vector<double> numbers;       // the numeric arguments, defaults filled in
    std::string text;                  // the file of screenshot and drop, the orientation of rotate
    KeyChord chord;                    // for key, keydown and keyup
    std::optional<Graphics::Point> at; // for up: where the finger lifts, when given
};

struct RUX_API TouchScript {
    std::vector<TouchCommand> commands;
};

// Parses a whole script. On an unknown command, a missing, extra or malformed argument, a
// negative duration, a step count outside 1…1000 or a non-finite number, answers nothing and
// sets error to "line N: what is wrong". Any thread.
RUX_API std::optional<TouchScript> parseTouchScript(const std::string& text, std::string* error = nullptr);

} // namespace Hosts
