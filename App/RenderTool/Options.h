#pragma once

// rux-render's command line: what it asks for, and the parsing that checks it.

#include "Batch.h"

#include <Common/ExitStatus.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace RenderTool {

inline constexpr int kExitFailure = ExitStatus::kFailure;
inline constexpr int kExitUsage = ExitStatus::kUsage;

struct Edit {
    // Parameter: a value flag of a registered class (--brightness, --focus-blur, …), given by its
    // declaration; the others are commands of rux-render's own.
    enum class Kind { Rotate, Flip, Crop, Look, LookFile, Parameter } kind;
    std::vector<double> numbers; // LookFile: the index of its look in Options::lookFiles
    std::string text;
    const RUXTransformationDeclaration* declaration = nullptr;
    const RUXParameter* parameter = nullptr;
};

struct Options {
    std::string input, output;
    double scale = 2.0;
    std::vector<Edit> edits;
    std::string resolution = "full";
    int quality = 92;
    bool stripMetadata = false;
    int repeat = 1;
    bool time = false;
    bool listLooks = false;
    // Recipes and batch.
    std::string recipePath, saveRecipePath;
    std::shared_ptr<const RUXRecipe> recipe;
    std::vector<std::shared_ptr<RUXUserLookTransformation>> lookFiles;
    bool batch = false;
    RenderTool::BatchOptions batchOptions;
    std::pair<int, int> shard{0, 1};
    std::vector<std::string> positional;
    // --manifest: more inputs, one path per line.
    std::string manifestPath;
    // A recipe, look or manifest file that was refused: one sentence, exit 1 (not the usage).
    std::string fileError;
};

// The look a display name (see --list-looks) or a class name stands for; nullptr for none.
const RUXClass* lookClassNamed(const std::string& name);

// The usage text, with a flag for every registered class that declares one.
std::string usage();

// Parses the command line into options; answers an exit code when the program should stop now
// (usage printed for bad arguments, the looks listed for --list-looks).
std::optional<int> parse(int argc, char** argv, Options& options);
// The same over the arguments after the program's name, printing nothing for a bad argument: its
// sentence goes to problem. Any thread.
std::optional<int> parse(const std::vector<std::string>& args, Options& options, std::string& problem);

} // namespace RenderTool
