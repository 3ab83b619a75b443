#pragma once

// What every program of ours exits with, beside the one line it writes on standard error. A script
// tells a failed run from a mistyped one by these alone.
namespace ExitStatus {

inline constexpr int kSuccess = 0;
// The work failed: a photo that cannot be read, a picture that cannot be rendered or written, a check.
inline constexpr int kFailure = 1;
// The command line was refused; nothing was done.
inline constexpr int kUsage = 2;

} // namespace ExitStatus
