// Writes the seeds of decode-raw: small DNGs from the writer the camera raw tests use (a Bayer
// mosaic of known patches with its colour tags), in the variants the decoder treats differently.
// Not built with the project; run once by hand:
//   c++ -std=c++20 -ITests fuzz/MakeRawSeeds.cpp -o /tmp/make-raw-seeds && /tmp/make-raw-seeds fuzz/corpus
#include <Support/DngWriter.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

static void write(const fs::path& directory, const std::string& name,
                  const std::vector<std::uint8_t>& bytes) {
    std::ofstream(directory / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const fs::path directory = fs::path(argv[1]) / "decode-raw";
    fs::create_directories(directory);
    RUXTest::DngOptions base;
    base.width = 32;
    base.height = 24;
    base.scene = [](int x, int y) {
        const double v = 0.05 + 0.9 * x / 32.0;
        return y < 12 ? std::array<double, 3>{v, v, v} : std::array<double, 3>{v, 0.2, 1.0 - v};
    };
    write(directory, "patches.dng", RUXTest::makeDng(base));
    for (int orientation : {3, 6, 8}) {
        RUXTest::DngOptions turned = base;
        turned.orientation = orientation;
        write(directory, "orientation-" + std::to_string(orientation) + ".dng", RUXTest::makeDng(turned));
    }
    RUXTest::DngOptions unbalanced = base;
    unbalanced.asShotNeutral = false;
    unbalanced.exif = false;
    write(directory, "no-white-balance-no-exif.dng", RUXTest::makeDng(unbalanced));
    RUXTest::DngOptions blown = base;
    blown.scene = [](int, int) { return std::array<double, 3>{2.0, 2.0, 2.0}; };
    blown.blackLevel = 0;
    blown.whiteLevel = 4095;
    write(directory, "clipped-12-bit.dng", RUXTest::makeDng(blown));
    return 0;
}
