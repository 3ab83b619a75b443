#include "Output.h"

#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>
#include <filesystem>

namespace RenderTool {

bool isSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    const auto left = std::filesystem::weakly_canonical(a, error);
    if (error) {
        return false;
    }
    const auto right = std::filesystem::weakly_canonical(b, error);
    return !error && left == right;
}

bool saveRenderedImage(const Graphics::BitmapImage& image, const std::string& inputPath,
                       const std::string& outputPath, const SaveOptions& options, std::string& error,
                       const std::string& temporaryTag) {
    if (isSameFile(inputPath, outputPath)) {
        error = "refusing to write over the input " + inputPath;
        return false;
    }
    if (!Graphics::imageFileTypeForPath(outputPath)) {
        error = "cannot write " + outputPath + ": only .png, .jpg, .jpeg and .webp are written";
        return false;
    }
    Graphics::PhotoOutputOptions output;
    output.quality = options.quality;
    if (!options.stripMetadata) {
        output.metadata = Graphics::PhotoMetadata::createFromFile(inputPath);
    }
    if (!image.bitmap() || !Graphics::writePhoto(*image.bitmap(), outputPath, output, temporaryTag)) {
        error = "cannot write " + outputPath;
        return false;
    }
    return true;
}

} // namespace RenderTool
