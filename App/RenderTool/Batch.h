#pragma once

#include <Graphics/BitmapImage.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace RenderTool {

struct BatchOptions {
    std::vector<std::string> inputs;
    std::string outputDirectory = ".";
    // The extension written ("png", "jpg"); empty keeps each input's own where it is written, else
    // "jpg".
    std::string format;
    // Photos in flight at once; each renders on one thread, so one per core keeps them busy.
    // 0: one per core.
    int jobs = 0;
};

// "I/N" with 0 <= I < N; std::nullopt for anything else.
std::optional<std::pair<int, int>> parseShard(const std::string& text);

// Share index of count: the inputs sorted by path, every count-th from the index-th on. Machines
// handed the same inputs in any order take disjoint shares that together cover them all.
std::vector<std::string> shardOf(std::vector<std::string> inputs, int index, int count);

// Where the picture of input goes: its file name in directory, with format as the extension
// when one is given, and .jpg for inputs of a format that is not written (raws, HEIC, AVIF).
std::string outputPathFor(const std::string& input, const std::string& directory, const std::string& format);

// Edits and renders one decoded photo and answers the picture, or nullptr with a sentence in error.
// Runs on a batch thread, several at once.
using RenderPhoto = std::function<std::shared_ptr<const Graphics::BitmapImage>(
    std::shared_ptr<const Graphics::BitmapImage> photo, std::string& error)>;
// Writes one rendered picture; see saveRenderedImage. Runs on a batch thread.
using SaveImage = std::function<bool(const Graphics::BitmapImage& image, const std::string& input,
                                     const std::string& output, std::string& error)>;

// Renders every input: decoding, editing, rendering and writing on options.jobs threads. A photo that fails
// is named on stderr and the rest carry on; nothing is written over an input. On a terminal, one progress
// line (done/total, photos per second, time left) is kept up to date on stderr. Answers 0 when
// every picture was written, else 1. Any thread; no run loop is needed.
int runBatch(const BatchOptions& options, const RenderPhoto& render, const SaveImage& save);

} // namespace RenderTool
