// rux-render: edits a photo through the edit manager exactly as the editor's screens would, with
// no user interface, and writes the result.

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoOutput.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: rux-render INPUT OUTPUT [--scale S] [--rotate cw|ccw] [--flip h|v] [--crop X,Y,W,H]\n"
    "                  [--brightness V] [--saturation V] [--contrast V] [--look NAME]\n"
    "                  [--focus-blur X,Y[,SCALE]] [--circle-blur X,Y]\n"
    "                  [--resolution full|original|screen|thumbnail] [--quality Q] [--strip-metadata]\n"
    "                  [--repeat N] [--time] [--list-looks]\n"
    "  Edits apply in the order given. OUTPUT is written as PNG, JPEG or WebP by its extension\n"
    "  (.png, .jpg, .webp); INPUT may be PNG, JPEG, WebP, HEIC/HEIF or AVIF.\n"
    "  --resolution: full (default) is what the editor's Save renders, original the photo's own size.\n"
    "  --quality takes 1..100 for JPEG and WebP (default 92). The photo's Exif, XMP and IPTC are kept "
    "(upright,\n"
    "  without the preview) unless --strip-metadata is given.\n"
    "  --crop takes fractions 0..1 of the picture the crop screen shows (rotated, top-left origin).\n"
    "  --look takes a display name (see --list-looks) or a class name.\n"
    "  --focus-blur takes the unit point from the top-left and an optional scale.\n"
    "  --circle-blur takes the point in pixels of the rendered picture from its top-left (0,0: centre).\n"
    "  --time prints the median render time over --repeat runs (decoding and encoding excluded).\n";

struct Edit {
    enum class Kind {
        Rotate,
        Flip,
        Crop,
        Brightness,
        Saturation,
        Contrast,
        Look,
        FocusBlur,
        CircleBlur
    } kind;
    std::vector<double> numbers;
    std::string text;
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
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "rux-render: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
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
        } else if (arg == "--list-looks") {
            options.listLooks = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
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
            } else if (arg == "--brightness" || arg == "--saturation" || arg == "--contrast") {
                auto v = parseNumber(value);
                if (!v) {
                    return usageError(arg + " takes a number");
                }
                Edit::Kind kind = arg == "--brightness"   ? Edit::Kind::Brightness
                                  : arg == "--saturation" ? Edit::Kind::Saturation
                                                          : Edit::Kind::Contrast;
                options.edits.push_back({kind, {*v}, {}});
            } else if (arg == "--look") {
                if (!lookClassNamed(value)) {
                    return usageError("unknown look '" + value + "' (see --list-looks)");
                }
                options.edits.push_back({Edit::Kind::Look, {}, value});
            } else if (arg == "--focus-blur") {
                auto p = parseList(value, 2, 3);
                if (!p || (p->size() == 3 && (*p)[2] < 0)) {
                    return usageError("--focus-blur takes X,Y[,SCALE] with a scale of 0 or more");
                }
                options.edits.push_back({Edit::Kind::FocusBlur, *p, {}});
            } else if (arg == "--circle-blur") {
                auto p = parseList(value, 2, 2);
                if (!p) {
                    return usageError("--circle-blur takes X,Y");
                }
                options.edits.push_back({Edit::Kind::CircleBlur, *p, {}});
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

// Resources come from beside the executable when they were installed there, else from the tree.
void findResources(const char* argv0) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        exe = std::filesystem::absolute(argv0, error);
    }
    std::filesystem::path beside = exe.parent_path();
    if (std::filesystem::is_directory(beside / "RUXImageEditor.bundle", error)) {
        Foundation::Bundle::setMainBundlePath(beside.string());
        Foundation::Bundle::setCodeBundlePath(beside.string());
        return;
    }
    Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
    Foundation::Bundle::setCodeBundlePath(RUX_SOURCE_RESOURCES_DIR);
}

// Runs the edits as the screens would: each tool works on a copy and commits it on OK.
bool applyEdits(const Options& options, RUXEditManager& manager, RUXImageRenderer& renderer) {
    std::shared_ptr<RUXRotateTransformation> rotate;
    auto commitRotate = [&] {
        if (rotate) {
            manager.commitTransformation(rotate);
            rotate.reset();
        }
    };
    for (const Edit& edit : options.edits) {
        if (edit.kind != Edit::Kind::Rotate && edit.kind != Edit::Kind::Flip) {
            commitRotate();
        }
        switch (edit.kind) {
        case Edit::Kind::Rotate:
        case Edit::Kind::Flip:
            if (!rotate) {
                rotate = std::static_pointer_cast<RUXRotateTransformation>(
                    manager.getOrCreateTransformationWithClass(RUXRotateTransformation::classDescriptor()));
            }
            if (edit.kind == Edit::Kind::Rotate) {
                edit.text == "cw" ? rotate->rotateClockwise90Degrees()
                                  : rotate->rotateCounterClockwise90Degrees();
            } else {
                edit.text == "h" ? rotate->flipHorizontal() : rotate->flipVertical();
            }
            break;
        case Edit::Kind::Crop: {
            // The picture the crop screen frames: geometry and colour, no crop.
            auto formula = manager.imageWithTransformationClasses(
                {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor(),
                 &RUXBrightnessTransformation::classDescriptor(),
                 &RUXSaturationTransformation::classDescriptor(),
                 &RUXContrastTransformation::classDescriptor()});
            auto picture = renderer.renderedImage(formula);
            if (!picture) {
                std::fprintf(stderr, "rux-render: could not render the picture to crop\n");
                return false;
            }
            const double w = picture->bitmap()->width(), h = picture->bitmap()->height();
            const auto& f = edit.numbers;
            auto crop = std::static_pointer_cast<RUXCropTransformation>(
                manager.getOrCreateTransformationWithClass(RUXCropTransformation::classDescriptor()));
            crop->setCropRect(Graphics::Rect(f[0] * w, h - f[1] * h - f[3] * h, f[2] * w, f[3] * h),
                              Graphics::Rect(0, 0, w, h), *formula->metadata());
            manager.commitTransformation(crop);
            break;
        }
        case Edit::Kind::Brightness:
        case Edit::Kind::Saturation:
        case Edit::Kind::Contrast: {
            const RUXClass& c =
                edit.kind == Edit::Kind::Brightness   ? RUXBrightnessTransformation::classDescriptor()
                : edit.kind == Edit::Kind::Saturation ? RUXSaturationTransformation::classDescriptor()
                                                      : RUXContrastTransformation::classDescriptor();
            auto scalar = std::static_pointer_cast<RUXScalarTransformation>(
                manager.getOrCreateTransformationWithClass(c));
            scalar->setValue(float(edit.numbers[0]));
            manager.commitTransformation(scalar);
            break;
        }
        case Edit::Kind::Look:
            // The filter strip commits its own instance of the look.
            manager.commitTransformation(lookClassNamed(edit.text)->create());
            break;
        case Edit::Kind::FocusBlur: {
            auto blur = std::static_pointer_cast<RUXBlurTransformation>(
                manager.getOrCreateTransformationWithClass(RUXBlurTransformation::classDescriptor()));
            blur->setPoint({edit.numbers[0], edit.numbers[1]});
            if (edit.numbers.size() == 3) {
                blur->setScale(edit.numbers[2]);
            }
            manager.commitTransformation(blur);
            break;
        }
        case Edit::Kind::CircleBlur: {
            auto blur = std::static_pointer_cast<RUXBeautifulBlurTransformation>(
                manager.getOrCreateTransformationWithClass(
                    RUXBeautifulBlurTransformation::classDescriptor()));
            blur->setPoint({edit.numbers[0], edit.numbers[1]});
            manager.commitTransformation(blur);
            break;
        }
        }
    }
    commitRotate();
    return true;
}

// A fresh formula for each run, so that no run reuses another's bitmap.
RUXRenderFormulaPtr formulaForResolution(const std::string& resolution, RUXEditManager& manager) {
    if (resolution == "full" || resolution == "original") {
        return manager.resultantImage();
    }
    if (resolution == "thumbnail") {
        auto look = manager.committedTransformationWithType(RUXTransformationTypeFilter);
        if (!look) {
            look = RUXFilterIdentity::classDescriptor().create();
        }
        manager.resetThumbnailCache();
        return manager.thumbnailPreviewImageWithTransformation(look);
    }
    auto formula = manager.committedImage();
    return RUXRenderFormula::create(formula->originalImage(), *formula->transformations());
}

// Writes the result with the photo's metadata (unless stripped), atomically.
bool writeOutput(const Options& options, const Graphics::Bitmap& rendered) {
    Graphics::PhotoOutputOptions output;
    output.quality = options.quality;
    if (!options.stripMetadata) {
        output.metadata = Graphics::PhotoMetadata::createFromFile(options.input);
    }
    return Graphics::writePhoto(rendered, options.output, output);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto exitCode = parse(argc, argv, options)) {
        return *exitCode;
    }
    Graphics::setMainScreenScale(options.scale);
    findResources(argv[0]);

    auto photo = Graphics::BitmapImage::createFromFile(options.input);
    if (!photo) {
        std::fprintf(stderr, "rux-render: cannot read the image %s\n", options.input.c_str());
        return kExitFailure;
    }
    auto manager =
        RUXEditManager::create(photo, options.resolution == "original" ? RUXOutputResolution::Original
                                                                       : RUXOutputResolution::Limited);
    auto renderer = RUXImageRenderer::create();
    if (!applyEdits(options, *manager, *renderer)) {
        return kExitFailure;
    }

    std::vector<double> times;
    std::shared_ptr<const Graphics::BitmapImage> rendered;
    for (int run = 0; run < options.repeat; ++run) {
        auto formula = formulaForResolution(options.resolution, *manager);
        auto start = std::chrono::steady_clock::now();
        rendered = renderer->renderedImage(formula);
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (!rendered) {
            std::fprintf(stderr, "rux-render: the edited picture could not be rendered\n");
            return kExitFailure;
        }
    }
    if (!writeOutput(options, *rendered->bitmap())) {
        std::fprintf(stderr, "rux-render: cannot write %s\n", options.output.c_str());
        return kExitFailure;
    }
    if (options.time) {
        std::sort(times.begin(), times.end());
        std::size_t n = times.size();
        double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        std::printf("render: %.1f ms (%zu runs)\n", median, n);
    }
    return 0;
}
