#include "Output.h"

#include <Graphics/ImageFile.h>
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
                       const std::string& outputPath, std::string& error) {
    if (isSameFile(inputPath, outputPath)) {
        error = "refusing to write over the input " + inputPath;
        return false;
    }
    if (!Graphics::imageFileTypeForPath(outputPath)) {
        error = "cannot write " + outputPath + ": only .png, .jpg and .jpeg are written";
        return false;
    }
    if (!image.bitmap() || !Graphics::writeImageFile(*image.bitmap(), outputPath)) {
        error = "cannot write " + outputPath;
        return false;
    }
    return true;
}

} // namespace RenderTool
