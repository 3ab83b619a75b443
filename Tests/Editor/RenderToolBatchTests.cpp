#include "EditorTestSupport.h"

#include <Graphics/ImageFile.h>
#include <Support/RunProgram.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace EditorTest;

namespace {

using ToolResult = TestSupport::ProgramRun;

ToolResult runRender(const std::string& arguments) {
    return TestSupport::runProgram(RUX_RENDER_PATH, arguments);
}

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> namesIn(const std::filesystem::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

class RenderToolBatch : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("rux-render-batch-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir / "in");
        // Photos of different sizes and contents, in both formats the tool reads.
        for (int i = 0; i < 6; ++i) {
            auto bitmap = makeBitmap(40 + 7 * i, 30 + 5 * i, [i](int x, int y) {
                return Rgba{std::uint8_t(x * 5 + i * 20), std::uint8_t(y * 6), std::uint8_t(120 + i * 10),
                            255};
            });
            const std::string name = "photo" + std::to_string(i) + (i % 2 ? ".jpg" : ".png");
            ASSERT_TRUE(Graphics::writeImageFile(*bitmap, (m_dir / "in" / name).string()));
            m_inputs.push_back((m_dir / "in" / name).string());
        }
        std::ofstream(path("cool.cube")) << "TITLE \"Cool\"\nLUT_3D_SIZE 2\n"
                                            "0 0 0.2\n1 0 0.2\n0 1 0.2\n1 1 0.2\n"
                                            "0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
        // The heaviest kind of recipe: every slot filled, a user look among them.
        ToolResult saved =
            runRender(m_inputs[0] + " " + path("first.png") +
                      " --rotate cw --flip h --crop 0.1,0.1,0.8,0.7 --brightness 0.3 --saturation 1.4"
                      " --contrast 1.2 --look-file " +
                      path("cool.cube") + " --focus-blur 0.5,0.4,1.1 --save-recipe " + path("recipe.json"));
        ASSERT_EQ(saved.exitCode, 0) << saved.output;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    std::string inputList() const {
        std::string list;
        for (const auto& input : m_inputs) {
            list += " " + input;
        }
        return list;
    }

    std::filesystem::path m_dir;
    std::vector<std::string> m_inputs;
};

// Every picture of a batch is the one a single run with the same recipe writes; a photo that
// cannot be read is named, the others are still written, and the exit status says one failed.
TEST_F(RenderToolBatch, WritesEveryGoodPhotoAndNamesTheBadOne) {
    std::ofstream(m_dir / "in" / "broken.png") << "not a picture";
    std::filesystem::create_directories(m_dir / "out");
    ToolResult run = runRender("--recipe " + path("recipe.json") + " --output-dir " + path("out") +
                               " --jobs 3" + inputList() + " " + (m_dir / "in" / "broken.png").string());
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("broken.png: cannot read the image"), std::string::npos) << run.output;
    // Quiet apart from the failure: no progress line when stderr is not a terminal.
    EXPECT_EQ(run.output.find("photos/s"), std::string::npos);

    std::set<std::string> expected;
    for (const auto& input : m_inputs) {
        expected.insert(std::filesystem::path(input).filename().string());
    }
    EXPECT_EQ(namesIn(m_dir / "out"), expected);
    // The replay of the saved recipe on the photo it came from gives the same file as the edit.
    EXPECT_EQ(bytesOf(m_dir / "out" / "photo0.png"), bytesOf(path("first.png")));
    for (const auto& input : {m_inputs[1], m_inputs[4]}) {
        const std::string single = path("single" + std::filesystem::path(input).extension().string());
        ASSERT_EQ(runRender(input + " " + single + " --recipe " + path("recipe.json")).exitCode, 0);
        EXPECT_EQ(bytesOf(m_dir / "out" / std::filesystem::path(input).filename()), bytesOf(single)) << input;
    }

    // All good: exit 0, and --format renames every picture.
    std::filesystem::create_directories(m_dir / "png");
    run = runRender("--recipe " + path("recipe.json") + " --output-dir " + path("png") + " --format png" +
                    inputList());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(namesIn(m_dir / "png"), (std::set<std::string>{"photo0.png", "photo1.png", "photo2.png",
                                                             "photo3.png", "photo4.png", "photo5.png"}));
}

// A batch never writes over an input, nor two inputs' pictures over each other.
TEST_F(RenderToolBatch, NeverWritesOverAnInput) {
    const std::string before = bytesOf(m_inputs[0]);
    std::filesystem::create_directories(m_dir / "other");
    std::filesystem::copy_file(m_inputs[2], m_dir / "other" / "photo2.png");
    ToolResult run =
        runRender("--recipe " + path("recipe.json") + " --output-dir " + (m_dir / "in").string() + " " +
                  m_inputs[0] + " " + m_inputs[2] + " " + (m_dir / "other" / "photo2.png").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("over an input"), std::string::npos) << run.output;
    EXPECT_EQ(bytesOf(m_inputs[0]), before);
    EXPECT_EQ(namesIn(m_dir / "in").size(), m_inputs.size());
}

// Shards taken from the inputs in any order are disjoint and together cover every input.
TEST_F(RenderToolBatch, ShardsAreDisjointAndComplete) {
    std::vector<std::string> reversed(m_inputs.rbegin(), m_inputs.rend());
    std::multiset<std::string> all;
    for (int shard = 0; shard < 4; ++shard) {
        const auto out = m_dir / ("shard" + std::to_string(shard));
        std::filesystem::create_directories(out);
        std::string list;
        for (const auto& input : shard % 2 ? reversed : m_inputs) {
            list += " " + input;
        }
        ToolResult run = runRender("--recipe " + path("recipe.json") + " --output-dir " + out.string() +
                                   " --shard " + std::to_string(shard) + "/4 --jobs 2" + list);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        for (const auto& name : namesIn(out)) {
            all.insert(name);
        }
    }
    EXPECT_EQ(all.size(), m_inputs.size());
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), m_inputs.size());
}

// Bad arguments print the usage and exit 2; a recipe or look file that is refused is one sentence
// and exit 1, in single and batch mode alike.
TEST_F(RenderToolBatch, BadArgumentsExitTwoAndBadFilesExitOne) {
    std::ofstream(path("bad.json"))
        << R"({"format": "rux-edit-recipe", "version": 9, "transformations": []})";
    std::ofstream(path("bad.cube")) << "LUT_3D_SIZE 300\n0 0 0\n1 1 1\n";
    const std::string recipe = " --recipe " + path("recipe.json") + " ";
    for (const std::string& arguments :
         {recipe + "--shard 4/4 " + m_inputs[0], recipe + "--shard 1 " + m_inputs[0],
          recipe + "--jobs 0 " + m_inputs[0], recipe + "--format gif " + m_inputs[0],
          recipe + "--output-dir " + path("x"),
          recipe + "--save-recipe " + path("y.json") + " " + m_inputs[0], std::string("--report"),
          std::string("--brightness 0.2 --resume")}) {
        ToolResult run = runRender(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments << "\n" << run.output;
        EXPECT_NE(run.output.find("usage: rux-render"), std::string::npos) << arguments;
    }
    struct BadFile {
        std::string arguments, says;
    };
    for (const BadFile& bad :
         {BadFile{"--recipe " + path("bad.json") + " " + m_inputs[0] + " " + path("z.png"),
                  "unsupported recipe version"},
          BadFile{"--recipe " + path("missing.json") + " " + m_inputs[0] + " " + path("z.png"),
                  "cannot read"},
          BadFile{m_inputs[0] + " " + path("z.png") + " --look-file " + path("bad.cube"),
                  "LUT_3D_SIZE must be"},
          BadFile{"--recipe " + path("bad.json") + " --output-dir " + path("x") + inputList(),
                  "unsupported recipe version"},
          BadFile{"--look-file " + path("bad.cube") + " --output-dir " + path("x") + inputList(),
                  "LUT_3D_SIZE must be"},
          BadFile{"--manifest " + path("missing.txt") + " --output-dir " + path("x"),
                  "cannot read the manifest"}}) {
        ToolResult run = runRender(bad.arguments);
        EXPECT_EQ(run.exitCode, 1) << bad.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(bad.says), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("usage:"), std::string::npos) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(std::filesystem::exists(path("z.png")));
    }
}

// Edit flags alone make a batch, and they apply after the recipe's edits as in single mode; the
// inputs may come from a manifest as well as from the command line.
TEST_F(RenderToolBatch, EditFlagsAloneAndManifests) {
    std::filesystem::create_directories(m_dir / "flags");
    std::filesystem::create_directories(m_dir / "single");
    std::ofstream manifest(path("photos.txt"));
    for (std::size_t i = 2; i < m_inputs.size(); ++i) {
        manifest << m_inputs[i] << (i % 2 ? "\r\n" : "\n") << (i == 3 ? "\n" : "");
    }
    manifest.close();
    ToolResult run = runRender("--brightness 0.3 --look Etude --output-dir " + (m_dir / "flags").string() +
                               " --manifest " + path("photos.txt") + " " + m_inputs[0] + " " + m_inputs[1]);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(namesIn(m_dir / "flags").size(), m_inputs.size());
    for (const std::string& input : m_inputs) {
        const std::string name = std::filesystem::path(input).filename().string();
        ToolResult single =
            runRender(input + " " + (m_dir / "single" / name).string() + " --brightness 0.3 --look Etude");
        ASSERT_EQ(single.exitCode, 0) << single.output;
        EXPECT_EQ(bytesOf(m_dir / "flags" / name), bytesOf(m_dir / "single" / name)) << name;
    }
    // Two paths and no batch option stay INPUT OUTPUT.
    run = runRender(m_inputs[0] + " " + path("two.png") + " --brightness 0.3");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(std::filesystem::exists(path("two.png")));
}

// --resume skips pictures already written and clears what a killed run of its own shard left, but
// not another shard's files; --report says per photo what happened.
TEST_F(RenderToolBatch, ResumeSkipsWhatIsThereAndReportsEachPhoto) {
    const auto out = m_dir / "out";
    std::filesystem::create_directories(out);
    const std::string recipe = "--recipe " + path("recipe.json") + " --output-dir " + out.string();
    ToolResult run = runRender(recipe + " --shard 0/2" + inputList());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::set<std::string> firstShard = namesIn(out);
    ASSERT_EQ(firstShard.size(), 3u);
    const std::string kept = *firstShard.begin();
    const std::string keptBytes = bytesOf(out / kept);
    // What a killed run leaves: a temporary file of each shard, and a picture removed.
    std::ofstream(out / (kept + ".rux-shard-0-of-2.Ab3dEf")) << "half";
    std::ofstream(out / "photo1.jpg.rux-shard-1-of-2.Zz9yXw") << "live";
    std::filesystem::remove(out / *std::next(firstShard.begin()));
    // A photo that cannot be read is reported as failed (sorted after in/…, so shard 0 keeps the
    // photos it had).
    std::ofstream(path("zz-broken.png")) << "not a picture";

    run = runRender(recipe + " --shard 0/2 --resume --report " + path("report.jsonl") + inputList() + " " +
                    path("zz-broken.png"));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(bytesOf(out / kept), keptBytes) << "a picture that was there was written again";
    EXPECT_FALSE(std::filesystem::exists(out / (kept + ".rux-shard-0-of-2.Ab3dEf")));
    EXPECT_TRUE(std::filesystem::exists(out / "photo1.jpg.rux-shard-1-of-2.Zz9yXw"));
    std::ifstream report(path("report.jsonl"));
    std::map<std::string, int> statuses;
    int lines = 0;
    for (std::string line; std::getline(report, line); ++lines) {
        for (const char* status : {"written", "skipped", "failed"}) {
            if (line.find(std::string("\"status\":\"") + status + "\"") != std::string::npos) {
                ++statuses[status];
            }
        }
        EXPECT_NE(line.find("\"milliseconds\":"), std::string::npos) << line;
        EXPECT_NE(line.find("\"error\":"), std::string::npos) << line;
    }
    EXPECT_EQ(statuses["skipped"], 2);
    EXPECT_EQ(statuses["written"], 1);
    EXPECT_EQ(statuses["failed"], 1);
    EXPECT_EQ(lines, statuses["skipped"] + statuses["written"] + statuses["failed"]);
}

} // namespace
