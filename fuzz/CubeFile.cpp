#include "FuzzInput.h"
#include "Targets.h"

#include <ImageEngine/Context.h>
#include <Transformation/RUXCubeFile.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <cmath>
#include <string_view>

namespace RUXFuzz {

int cubeFile(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto table = RUXParseCubeFile(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!table) {
        RUX_FUZZ_CHECK(!error.empty());
        return 0;
    }
    // A table the engine takes as it is: a size it supports, exactly size³ entries, finite, opaque.
    const int n = table->dimension;
    RUX_FUZZ_CHECK(n >= kRUXCubeMinDimension && n <= kRUXCubeMaxDimension);
    RUX_FUZZ_CHECK(table->data && table->data->size() == std::size_t(n) * n * n * 4 * sizeof(float));
    const auto* f = reinterpret_cast<const float*>(table->data->data());
    for (std::size_t i = 0; i < std::size_t(n) * n * n; ++i) {
        RUX_FUZZ_CHECK(std::isfinite(f[4 * i]) && std::isfinite(f[4 * i + 1]) && std::isfinite(f[4 * i + 2]));
        RUX_FUZZ_CHECK(f[4 * i + 3] == 1.0f);
    }
    // And the look made of it renders a small picture to its own size.
    static const auto context = ImageEngine::Context::create();
    auto bitmap = Graphics::Bitmap::create(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + 4 * x;
            p[0] = std::uint8_t(x * 60), p[1] = std::uint8_t(y * 120), p[2] = std::uint8_t(x * y * 30),
            p[3] = 255;
        }
    }
    RUXUserLookTransformation look("fuzzed", "", table);
    RUXImageMetadata metadata;
    auto image = look.resultFromImage(ImageEngine::Image::createWithBitmap(bitmap), metadata);
    RUX_FUZZ_CHECK(image);
    auto rendered = context->createCGImage(image, image->extent());
    RUX_FUZZ_CHECK(rendered && rendered->width() == 5 && rendered->height() == 3);
    return 0;
}

} // namespace RUXFuzz
