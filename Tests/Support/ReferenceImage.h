#pragma once

// Compares a picture with a reference PNG kept in the source tree. On a mismatch the picture and a
// map of the differing pixels are written into the build tree and named in the failure. With
// RUX_UPDATE_REFERENCES=1 in the environment the picture replaces the reference instead, which is
// how scripts/update-reference-screenshots.sh regenerates them on purpose.

#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace TestSupport {

// How far a picture may stray from its reference. A pixel differs when any channel is more than
// channelTolerance levels away; the picture matches while no more than maximumDifferingPixels
// pixels differ.
struct ImageTolerance {
    int channelTolerance = 0;
    long maximumDifferingPixels = 0;
};

// The current test's name as a file name: Suite_Test, with a parameterised test's slashes and
// other unsafe characters turned into underscores.
inline std::string currentTestFileName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "unnamed";
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '_'; }, '_');
    return name;
}

inline bool updatingReferences() {
    const char* value = std::getenv("RUX_UPDATE_REFERENCES");
    return value && std::string(value) == "1";
}

// Red where a pixel differs beyond the tolerance; elsewhere the actual picture, faded, so that the
// differing places can be found against it.
inline std::shared_ptr<Graphics::Bitmap> differenceMap(const Graphics::Bitmap& actual,
                                                       const Graphics::Bitmap& reference,
                                                       int channelTolerance, long* differing) {
    auto map = Graphics::Bitmap::create(actual.width(), actual.height());
    *differing = 0;
    for (int y = 0; y < actual.height(); ++y) {
        const std::uint8_t* a = actual.row(y);
        const std::uint8_t* r = reference.row(y);
        std::uint8_t* out = map->mutableRow(y);
        for (int x = 0; x < actual.width(); ++x) {
            int worst = 0;
            for (int k = 0; k < 4; ++k) {
                worst = std::max(worst, std::abs(int(a[4 * x + k]) - int(r[4 * x + k])));
            }
            if (worst > channelTolerance) {
                ++*differing;
                out[4 * x + 0] = 255;
                out[4 * x + 1] = 0;
                out[4 * x + 2] = 0;
            } else {
                const int grey = (int(a[4 * x]) + int(a[4 * x + 1]) + int(a[4 * x + 2])) / 3;
                out[4 * x + 0] = out[4 * x + 1] = out[4 * x + 2] = static_cast<std::uint8_t>(192 + grey / 4);
            }
            out[4 * x + 3] = 255;
        }
    }
    return map;
}

// Success when actual matches referenceDirectory/<name>.png within the tolerance. On a mismatch,
// a missing reference or a size change, <name>_actual.png (and, for same-sized pictures,
// <name>_diff.png) are written to outputDirectory and the message names them.
inline ::testing::AssertionResult matchesReference(const Graphics::Bitmap& actual, const std::string& name,
                                                   ImageTolerance tolerance,
                                                   const std::filesystem::path& referenceDirectory,
                                                   const std::filesystem::path& outputDirectory) {
    const std::filesystem::path referencePath = referenceDirectory / (name + ".png");
    if (updatingReferences()) {
        if (!Graphics::writeImageFile(actual, referencePath.string())) {
            return ::testing::AssertionFailure() << "cannot write the reference " << referencePath;
        }
        return ::testing::AssertionSuccess() << "updated " << referencePath;
    }

    std::error_code ignored;
    std::filesystem::create_directories(outputDirectory, ignored);
    const std::filesystem::path actualPath = outputDirectory / (name + "_actual.png");
    const std::filesystem::path diffPath = outputDirectory / (name + "_diff.png");
    std::filesystem::remove(actualPath, ignored);
    std::filesystem::remove(diffPath, ignored);

    const auto referenceImage = Graphics::BitmapImage::createFromFile(referencePath.string());
    const std::shared_ptr<const Graphics::Bitmap> reference =
        referenceImage ? referenceImage->bitmap() : nullptr;
    if (!reference) {
        Graphics::writeImageFile(actual, actualPath.string());
        return ::testing::AssertionFailure()
               << "no reference " << referencePath << "; the picture is in " << actualPath
               << " (scripts/update-reference-screenshots.sh makes the references)";
    }
    if (reference->width() != actual.width() || reference->height() != actual.height()) {
        Graphics::writeImageFile(actual, actualPath.string());
        return ::testing::AssertionFailure()
               << "the picture is " << actual.width() << " x " << actual.height() << " pixels, the reference "
               << referencePath << " " << reference->width() << " x " << reference->height()
               << "; the picture is in " << actualPath;
    }

    long differing = 0;
    const auto map = differenceMap(actual, *reference, tolerance.channelTolerance, &differing);
    if (differing <= tolerance.maximumDifferingPixels) {
        return ::testing::AssertionSuccess();
    }
    Graphics::writeImageFile(actual, actualPath.string());
    Graphics::writeImageFile(*map, diffPath.string());
    return ::testing::AssertionFailure()
           << differing << " pixels differ from " << referencePath << " by more than "
           << tolerance.channelTolerance << " levels (" << tolerance.maximumDifferingPixels
           << " allowed); the picture is in " << actualPath << ", the differences in red in " << diffPath;
}

} // namespace TestSupport
