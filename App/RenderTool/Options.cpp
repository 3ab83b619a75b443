#include "Options.h"

#include "BatchRecord.h"

#include <Common/RecipeFile.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoOutput.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace RenderTool {

namespace {

// The value flags of the registered classes, in the registry's order, as usage items and help
// lines.
std::string editFlagItems() {
    std::string items;
    std::size_t column = 18;
    auto add = [&](const std::string& item) {
        if (column + item.size() + 1 > 100) {
            items += "\n                 ";
            column = 17;
        }
        items += " " + item;
        column += item.size() + 1;
    };
    for (const RUXTransformationDeclaration* d : RUXTransformationRegistry::declarations()) {
        for (const RUXParameter& p : d->parameters) {
            if (!p.flag.empty()) {
                add("[" + p.flag + " " + p.flagValue + "]");
            }
        }
    }
    add("[--look NAME]");
    return items + "\n";
}

std::string editFlagHelp() {
    std::string lines;
    for (const RUXTransformationDeclaration* d : RUXTransformationRegistry::declarations()) {
        for (const RUXParameter& p : d->parameters) {
            if (!p.flag.empty() && !p.help.empty()) {
                lines += "  " + p.flag + " " + p.help + "\n";
            }
        }
    }
    return lines;
}

// The flag of a registered class, with its declaration; {nullptr, nullptr} for none.
std::pair<const RUXTransformationDeclaration*, const RUXParameter*> declaredFlag(const std::string& flag) {
    for (const RUXTransformationDeclaration* d : RUXTransformationRegistry::declarations()) {
        if (const RUXParameter* p = d->parameterWithFlag(flag)) {
            return {d, p};
        }
    }
    return {nullptr, nullptr};
}

} // namespace

std::string usage() {
    return "usage: rux-render INPUT OUTPUT [--scale S] [--rotate cw|ccw] [--flip h|v] [--crop X,Y,W,H]\n"
           "                 " +
           editFlagItems() +
           "                  [--resolution full|original|screen|thumbnail] [--quality Q] "
           "[--strip-metadata]\n"
           "                  [--repeat N] [--time] [--list-looks]\n"
           "  Edits apply in the order given. OUTPUT is written as PNG, JPEG or WebP by its extension\n"
           "  (.png, .jpg, .webp); INPUT may be PNG, JPEG, WebP, HEIC/HEIF, AVIF or a camera raw (DNG, CR2,\n"
           "  NEF, ARW and the others LibRaw reads).\n"
           "  --resolution: full (default) is what the editor's Save renders, original the photo's own "
           "size.\n"
           "  --quality takes 1..100 for JPEG and WebP (default 92). The photo's Exif, XMP and IPTC are kept "
           "(upright,\n"
           "  without the preview) unless --strip-metadata is given.\n"
           "  --crop takes fractions 0..1 of the picture the crop screen shows (rotated, top-left origin).\n"
           "  --look takes a display name (see --list-looks) or a class name.\n" +
           editFlagHelp() +
           "  --time prints the median render time over --repeat runs (decoding and encoding excluded),\n"
           "  and the median processor time the process spent on each (all threads).\n"
           "\n"
           "Recipes and looks of your own:\n"
           "  --recipe FILE       applies the recipe's edits before any edit given here\n"
           "  --save-recipe FILE  writes the recipe of the edits applied (JSON)\n"
           "  --look-file F.cube  applies a .cube table (1D, 3D or both) as the look (in the order given)\n"
           "\n"
           "Batch: rux-render [--recipe FILE] [edits] [--output-dir DIR] [--format png|jpg|webp] [--jobs N]\n"
           "                  [--shard I/N] [--resume] [--report FILE] [--manifest FILE] INPUT...\n"
           "  Renders every INPUT (and every path listed in the --manifest FILE, one a line) into DIR\n"
           "  (default: the working directory) under its own name, in its own format (JPEG for raws, HEIC\n"
           "  and AVIF) unless --format, never over an input, with the recipe's edits and then those given.\n"
           "  --jobs photos at a time (default: the cores). --shard I/N (0-based) takes every N-th input of\n"
           "  the sorted list from the I-th on.\n"
           "  --resume skips every photo whose picture is already in DIR and removes the temporary files a\n"
           "  killed run of the same shard left there. --report FILE appends one JSON line per photo "
           "(input,\n"
           "  output, status written|skipped|failed, milliseconds, error).\n"
           "  Batch mode is chosen by any of --output-dir, --format, --jobs, --shard, --resume, --report "
           "and\n"
           "  --manifest, or by --recipe with other than two paths; two paths and none of these are INPUT "
           "OUTPUT.\n"
           "  Exit status: 0 all written, 1 a photo (or recipe, look or manifest file) failed, 2 bad "
           "arguments.\n";
}

namespace {

// Where a quiet parse (the Python module's) takes the sentence instead of standard error.
thread_local std::string* t_problem = nullptr;

int usageError(const std::string& message) {
    if (t_problem) {
        *t_problem = message;
        return kExitUsage;
    }
    std::fprintf(stderr, "rux-render: %s\n%s", message.c_str(), usage().c_str());
    return kExitUsage;
}

// A file the arguments name that is refused: one sentence, no usage, exit 1.
int fileError(const std::string& message) {
    if (t_problem) {
        *t_problem = message;
    } else {
        std::fprintf(stderr, "rux-render: %s\n", message.c_str());
    }
    return kExitFailure;
}

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<double>> parseList(const std::string& text, std::size_t minCount,
                                             std::size_t maxCount) {
    std::vector<double> values;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ',')) {
        auto value = parseNumber(part);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    if (!text.empty() && text.back() == ',') {
        return std::nullopt;
    }
    if (values.size() < minCount || values.size() > maxCount) {
        return std::nullopt;
    }
    return values;
}

} // namespace

const RUXClass* lookClassNamed(const std::string& name) {
    if (const RUXClass* byDisplayName = RUXImageEditorSampleConfiguration::classForDisplayName(name)) {
        if (byDisplayName->factory()->type() == RUXTransformationTypeFilter) {
            return byDisplayName;
        }
    }
    const RUXClass* byClassName = RUXTransformationClassNamed(name);
    if (byClassName && byClassName->factory()->type() == RUXTransformationTypeFilter) {
        return byClassName;
    }
    return nullptr;
}

namespace {

// One of the recipe, look-file and batch options with its value: std::nullopt when arg is none of
// them, an empty string when it was taken, else what is wrong with it.
std::optional<std::string> parseRecipeOrBatchOption(const std::string& arg, const std::string& value,
                                                    Options& options) {
    if (arg == "--recipe") {
        options.recipePath = value;
    } else if (arg == "--save-recipe") {
        options.saveRecipePath = value;
    } else if (arg == "--look-file") {
        // Recorded by absolute path, so a recipe saved from it finds it from anywhere.
        std::error_code ignored;
        std::string error;
        auto look = RUXUserLookTransformation::createWithCubeFile(
            std::filesystem::absolute(value, ignored).string(), "", error);
        if (!look) {
            // A file that is there but refused is not a bad argument: one sentence, exit 1.
            if (options.fileError.empty()) {
                options.fileError = "--look-file: " + error;
            }
            return std::string();
        }
        options.edits.push_back({Edit::Kind::LookFile, {double(options.lookFiles.size())}, value});
        options.lookFiles.push_back(look);
    } else if (arg == "--output-dir") {
        options.batchOptions.outputDirectory = value;
        options.batch = true;
    } else if (arg == "--format") {
        if (value != "png" && value != "jpg" && value != "webp") {
            return "--format takes png, jpg or webp";
        }
        options.batchOptions.format = value;
        options.batch = true;
    } else if (arg == "--jobs") {
        auto n = parseNumber(value);
        if (!n || *n < 1 || *n > 256 || *n != std::floor(*n)) {
            return "--jobs takes a whole number from 1 to 256";
        }
        options.batchOptions.jobs = int(*n);
        options.batch = true;
    } else if (arg == "--report") {
        options.batchOptions.reportPath = value;
        options.batch = true;
    } else if (arg == "--manifest") {
        options.manifestPath = value;
        options.batch = true;
    } else if (arg == "--shard") {
        auto shard = RenderTool::parseShard(value);
        if (!shard) {
            return "--shard takes I/N with 0 <= I < N";
        }
        options.shard = *shard;
        options.batch = true;
    } else {
        return std::nullopt;
    }
    return std::string();
}

// The files the arguments name (a look file refused while parsing, the recipe, the manifest's
// inputs, added to the positional ones): one sentence and exit 1 for a file that is refused.
std::optional<int> readRecipeAndManifest(Options& options) {
    std::string error = options.fileError;
    if (error.empty() && !options.recipePath.empty()) {
        options.recipe = RecipeFile::read(options.recipePath, options.lookFiles, error);
    }
    if (error.empty() && !options.manifestPath.empty()) {
        readManifest(options.manifestPath, options.positional, error);
    }
    if (!error.empty()) {
        return fileError(error);
    }
    return std::nullopt;
}

// Reads the recipe and settles batch mode once every argument is known; answers an exit code
// when the program should stop now.
std::optional<int> finishRecipeAndBatchOptions(Options& options) {
    const std::size_t count = options.positional.size();
    if (!options.recipePath.empty() && count != 2) {
        options.batch = true;
    }
    if (options.batch) {
        if (count == 0 && options.manifestPath.empty()) {
            return usageError("batch mode needs at least one INPUT");
        }
        if (!options.saveRecipePath.empty() || options.repeat != 1 || options.time) {
            return usageError("--save-recipe, --repeat and --time are for a single photo");
        }
    }
    if (auto exitCode = readRecipeAndManifest(options)) {
        return exitCode;
    }
    if (options.batch) {
        options.batchOptions.inputs =
            RenderTool::shardOf(options.positional, options.shard.first, options.shard.second);
        options.batchOptions.temporaryTag = temporaryTagForShard(options.shard.first, options.shard.second);
    }
    return std::nullopt;
}

} // namespace

// Parses the command line; answers an exit code when the program should stop now.
std::optional<int> parse(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto needValue = [&](std::string& value) -> bool {
            if (i + 1 >= argc) {
                return false;
            }
            value = argv[++i];
            return true;
        };
        std::string value;
        if (arg == "--time") {
            options.time = true;
        } else if (arg == "--strip-metadata") {
            options.stripMetadata = true;
        } else if (arg == "--resume") {
            options.batchOptions.resume = true;
            options.batch = true;
        } else if (arg == "--list-looks") {
            options.listLooks = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage().c_str(), stdout);
            return 0;
        } else if (arg.rfind("--", 0) == 0) {
            if (!needValue(value)) {
                return usageError(arg + " needs a value");
            }
            if (arg == "--scale") {
                auto s = parseNumber(value);
                if (!s || *s <= 0 || *s > 16) {
                    return usageError("--scale takes a positive number up to 16");
                }
                options.scale = *s;
            } else if (arg == "--rotate") {
                if (value != "cw" && value != "ccw") {
                    return usageError("--rotate takes cw or ccw");
                }
                options.edits.push_back({Edit::Kind::Rotate, {}, value});
            } else if (arg == "--flip") {
                if (value != "h" && value != "v") {
                    return usageError("--flip takes h or v");
                }
                options.edits.push_back({Edit::Kind::Flip, {}, value});
            } else if (arg == "--crop") {
                auto r = parseList(value, 4, 4);
                if (!r || std::any_of(r->begin(), r->end(), [](double v) { return v < 0 || v > 1; }) ||
                    (*r)[2] <= 0 || (*r)[3] <= 0) {
                    return usageError("--crop takes X,Y,W,H as fractions 0..1 with W and H above 0");
                }
                options.edits.push_back({Edit::Kind::Crop, *r, {}});
            } else if (arg == "--look") {
                if (!lookClassNamed(value)) {
                    return usageError("unknown look '" + value + "' (see --list-looks)");
                }
                options.edits.push_back({Edit::Kind::Look, {}, value});
            } else if (auto [declaration, parameter] = declaredFlag(arg); parameter) {
                auto numbers = RUXParseFlagValue(*declaration, *parameter, value);
                if (!numbers) {
                    return usageError(arg + " takes " + parameter->flagTakes);
                }
                options.edits.push_back({Edit::Kind::Parameter, *numbers, {}, declaration, parameter});
            } else if (arg == "--resolution") {
                if (value != "full" && value != "original" && value != "screen" && value != "thumbnail") {
                    return usageError("--resolution takes full, original, screen or thumbnail");
                }
                options.resolution = value;
            } else if (arg == "--quality") {
                auto q = parseNumber(value);
                if (!q || *q < 1 || *q > 100 || *q != std::floor(*q)) {
                    return usageError("--quality takes a whole number from 1 to 100");
                }
                options.quality = int(*q);
            } else if (auto problem = parseRecipeOrBatchOption(arg, value, options)) {
                if (!problem->empty()) {
                    return usageError(*problem);
                }
            } else if (arg == "--repeat") {
                auto n = parseNumber(value);
                if (!n || *n < 1 || *n > 10000 || *n != std::floor(*n)) {
                    return usageError("--repeat takes a whole number from 1 to 10000");
                }
                options.repeat = int(*n);
            } else {
                return usageError("unknown option " + arg);
            }
        } else {
            positional.push_back(arg);
        }
    }
    if (options.listLooks) {
        if (!positional.empty()) {
            return usageError("--list-looks takes no files");
        }
        RUXImageEditorSampleConfiguration configuration;
        auto identity = RUXFilterIdentity::classDescriptor().create();
        std::printf("%s\t%s\n", configuration.nameForTransformation(*identity).value_or("").c_str(),
                    RUXFilterIdentity::classDescriptor().name);
        for (const RUXClass* look : RUXOfferedLookClasses()) {
            std::printf("%s\t%s\n", configuration.nameForTransformation(*look->create()).value_or("").c_str(),
                        look->name);
        }
        std::printf("\t%s\n", RUXFilterCustom::classDescriptor().name);
        return 0;
    }
    options.positional = positional;
    if (auto exitCode = finishRecipeAndBatchOptions(options)) {
        return exitCode;
    }
    if (options.batch) {
        return std::nullopt;
    }
    if (positional.size() != 2) {
        return usageError("expected INPUT and OUTPUT");
    }
    options.input = positional[0];
    options.output = positional[1];
    if (!Graphics::imageFileTypeForPath(options.output)) {
        return usageError("OUTPUT must end in .png, .jpg, .jpeg or .webp");
    }
    return std::nullopt;
}

std::optional<int> parse(const std::vector<std::string>& args, Options& options, std::string& problem) {
    std::vector<std::string> words{"rux-render"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    t_problem = &problem;
    auto exitCode = parse(int(argv.size()), argv.data(), options);
    t_problem = nullptr;
    return exitCode;
}

} // namespace RenderTool
