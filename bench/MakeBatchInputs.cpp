// make-batch-inputs DIR COUNT [WIDTH HEIGHT]: writes COUNT distinct synthetic photos (JPEG,
// 4240 × 2832 by default, about 12 megapixels) for the batch benchmark. Smooth gradients with
// fine detail, so that the JPEGs are neither trivially small nor noise.

#include <Graphics/Bitmap.h>
#include <Graphics/ImageFile.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: make-batch-inputs DIR COUNT [WIDTH HEIGHT]\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    const int count = std::atoi(argv[2]);
    const int w = argc == 5 ? std::atoi(argv[3]) : 4240, h = argc == 5 ? std::atoi(argv[4]) : 2832;
    if (count < 1 || w < 1 || h < 1) {
        std::fprintf(stderr, "make-batch-inputs: COUNT, WIDTH and HEIGHT must be positive\n");
        return 2;
    }
    std::filesystem::create_directories(directory);
    for (int i = 0; i < count; ++i) {
        auto bitmap = Graphics::Bitmap::create(w, h);
        if (!bitmap) {
            return 1;
        }
        const double phase = i * 0.37;
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = bitmap->mutableRow(y);
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                const double ripple = 12 * std::sin(x * 0.05 + phase) * std::cos(y * 0.03 - phase);
                row[4 * x] = std::uint8_t(std::clamp(40 + 170 * u + ripple, 0.0, 255.0));
                row[4 * x + 1] = std::uint8_t(std::clamp(60 + 150 * v - ripple, 0.0, 255.0));
                row[4 * x + 2] = std::uint8_t(std::clamp(200 - 140 * u * v + ((x ^ y ^ i) & 15), 0.0, 255.0));
                row[4 * x + 3] = 255;
            }
        }
        char name[32];
        std::snprintf(name, sizeof name, "photo%04d.jpg", i);
        if (!Graphics::writeImageFile(*bitmap, (directory / name).string())) {
            std::fprintf(stderr, "make-batch-inputs: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
