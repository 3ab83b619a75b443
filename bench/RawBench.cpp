// raw-bench make FILE [WIDTH HEIGHT]: writes a synthetic DNG (6016 × 4016, 24 megapixels, by
//   default): smooth colour gradients with fine detail, so that the demosaic has edges to follow.
// raw-bench open FILE WIDTH HEIGHT: reads the file and develops it as a lazily decoded photo would
//   for a picture of at least WIDTH × HEIGHT pixels (0 0: the full size); prints the time of the
//   development and the picture's size.
// raw-bench save FILE OUT.jpg: develops at the full size and writes the JPEG the editor's Save writes
//   at the photo's own size, Exif kept; prints the time of both.

#include <Graphics/CameraRaw.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>
#include <Support/DngWriter.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::vector<std::uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && (argc == 3 || argc == 5)) {
        RUXTest::DngOptions options;
        options.width = argc == 5 ? std::atoi(argv[3]) & ~1 : 6016;
        options.height = argc == 5 ? std::atoi(argv[4]) & ~1 : 4016;
        const double w = options.width, h = options.height;
        options.scene = [w, h](int x, int y) {
            const double detail = 0.04 * std::sin(x * 0.7) * std::cos(y * 0.45);
            const double u = x / w, v = y / h;
            return std::array<double, 3>{0.05 + 0.7 * u * (1 - v) + detail, 0.05 + 0.6 * v + detail,
                                         0.08 + 0.5 * (1 - u) + detail};
        };
        const auto bytes = RUXTest::makeDng(options);
        std::ofstream(argv[2], std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::printf("%s: %d x %d, %zu bytes\n", argv[2], options.width, options.height, bytes.size());
        return 0;
    }
    if (command == "open" && argc == 5) {
        const auto start = std::chrono::steady_clock::now();
        const auto bytes = readFile(argv[2]);
        auto image =
            Graphics::developCameraRaw(bytes.data(), bytes.size(), std::atoi(argv[3]), std::atoi(argv[4]));
        if (!image)
            return 1;
        std::printf("open %s to cover %s x %s: %d x %d in %.3f s\n", argv[2], argv[3], argv[4],
                    image->bitmap()->width(), image->bitmap()->height(), secondsSince(start));
        return 0;
    }
    if (command == "save" && argc == 4) {
        const auto start = std::chrono::steady_clock::now();
        const auto bytes = readFile(argv[2]);
        auto image = Graphics::developCameraRaw(bytes.data(), bytes.size());
        if (!image)
            return 1;
        const double developed = secondsSince(start);
        Graphics::PhotoOutputOptions output;
        output.metadata = Graphics::PhotoMetadata::createFromData(bytes.data(), bytes.size());
        if (!Graphics::writePhoto(*image->bitmap(), argv[3], output))
            return 1;
        std::printf("save %s: %d x %d developed in %.3f s, written in %.3f s in all\n", argv[2],
                    image->bitmap()->width(), image->bitmap()->height(), developed, secondsSince(start));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: raw-bench make FILE [WIDTH HEIGHT] | open FILE WIDTH HEIGHT | save FILE OUT.jpg\n");
    return 2;
}
