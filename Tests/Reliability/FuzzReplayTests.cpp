// Every fuzz target over its seed corpus and over every input that once broke it, so that a fault a
// fuzzer found stays fixed in the ordinary builds and under the sanitizers.
#include <Targets.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Target {
    const char* name;
    int (*body)(const std::uint8_t*, std::size_t);
};

std::vector<std::filesystem::path> inputsOf(const std::string& name) {
    std::vector<std::filesystem::path> files;
    const char* data = std::getenv("RUX_TEST_DATA");
    for (const std::filesystem::path& directory :
         {std::filesystem::path(RUX_FUZZ_CORPUS) / name,
          std::filesystem::path(data ? data : "Tests/Data") / "fuzz" / name}) {
        if (!std::filesystem::is_directory(directory))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzReplay : public testing::TestWithParam<Target> {};

// A target aborts on a broken invariant, and the sanitizer builds stop at the first fault, so
// finishing is the test.
TEST_P(FuzzReplay, SeedsAndPastFailuresRunClean) {
    const auto files = inputsOf(GetParam().name);
    ASSERT_FALSE(files.empty()) << "no inputs for " << GetParam().name;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream stream(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), {}};
        EXPECT_EQ(GetParam().body(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzReplay,
    testing::Values(Target{"decode-png", RUXFuzz::decodeImage}, Target{"decode-jpeg", RUXFuzz::decodeImage},
                    Target{"decode-webp", RUXFuzz::decodeImage}, Target{"decode-heif", RUXFuzz::decodeImage},
                    Target{"decode-raw", RUXFuzz::decodeImage},
                    Target{"metadata", RUXFuzz::photoMetadata}, Target{"lookup-table", RUXFuzz::lookupTable},
                    Target{"overlay", RUXFuzz::overlay}, Target{"edit-session", RUXFuzz::editSession},
                    Target{"recipe", RUXFuzz::recipe}, Target{"cube-file", RUXFuzz::cubeFile}),
    [](const testing::TestParamInfo<Target>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

} // namespace
