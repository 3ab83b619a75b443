// Kills at random moments. Each test SIGKILLs a program many times while it works (a journal being
// written, a batch, a save, an editing session) and checks that nothing was lost and nothing was
// left half-written. The moments are random; the seed is printed, and RUX_KILL_SEED replays one.

#include "JournalLists.h"

#include <Graphics/Bitmap.h>
#include <Graphics/ImageFile.h>
#include <Manager/RUXRecipeJournal.h>
#include <Support/RunProgram.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using TestSupport::readFile;
using TestSupport::waitFor;

// Sanitised builds run every program several times slower. They keep a fifth of the trials, which
// still kills before, during and after the writes; the release suite runs them all.
constexpr int trials(int count) {
#ifdef RUX_SANITIZED_BUILD
    return count / 5 > 2 ? count / 5 : 2;
#else
    return count;
#endif
}

unsigned seedForTest() {
    if (const char* seed = std::getenv("RUX_KILL_SEED")) {
        return unsigned(std::strtoul(seed, nullptr, 10));
    }
    return std::random_device{}();
}

// A program started in the background, its stdout and stderr going to a file.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const fs::path& outputFile,
          const std::vector<std::string>& extraEnvironment = {}) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<std::string> environment(extraEnvironment);
        for (char** e = environ; *e; ++e) {
            environment.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (m_pid > 0 && !m_status) {
            kill();
        }
    }
    bool started() const { return m_pid > 0; }
    // SIGKILL, whatever it is doing; answers whether it was still running.
    bool kill() {
        const bool running = !exited();
        ::kill(m_pid, SIGKILL);
        wait();
        return running;
    }
    // The exit status once it has exited on its own, -1 for a signal.
    int wait() {
        if (!m_status) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return *m_status;
    }
    bool exited() {
        if (m_status) {
            return true;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        return false;
    }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

class KillTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("rux-kill-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_seed = seedForTest();
        m_random.seed(m_seed);
        RecordProperty("seed", std::to_string(m_seed));
        std::printf("kill moments seeded with %u (RUX_KILL_SEED replays them)\n", m_seed);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // A photo with some detail, so that every edit shows in its bytes.
    std::string writePhoto(const std::string& name, int w, int h, int variant = 0) {
        auto bitmap = Graphics::Bitmap::create(w, h);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = bitmap->mutableRow(y);
            for (int x = 0; x < w; ++x) {
                row[4 * x] = std::uint8_t(x * 3 + variant * 40);
                row[4 * x + 1] = std::uint8_t(y * 5 + x);
                row[4 * x + 2] = std::uint8_t(90 + variant * 17 + ((x / 8 + y / 8) % 2) * 60);
                row[4 * x + 3] = 255;
            }
        }
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(Graphics::writeImageFile(*bitmap, path));
        return path;
    }
    std::chrono::microseconds randomDelay(std::chrono::microseconds upTo) {
        return std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, long(upTo.count()))(m_random));
    }

    fs::path m_dir;
    unsigned m_seed = 0;
    std::mt19937 m_random;
};

std::set<std::string> namesIn(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::chrono::microseconds timeOf(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

// (4) The journal, killed while it writes list after list, always reads back as a whole list: the
// last one it had finished, or the one it was writing.
TEST_F(KillTest, JournalKilledMidWriteReadsBackAsTheOldOrTheNewList) {
    constexpr int kTrials = trials(200);
    const std::string key(64, 'c');
    int tornOrLost = 0, readOld = 0, readNew = 0, empty = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const fs::path directory = m_dir / ("journal-" + std::to_string(trial));
        const fs::path output = m_dir / "writer.out";
        Child writer({RUX_JOURNAL_WRITER_PATH, directory.string(), key, "100000"}, output);
        ASSERT_TRUE(writer.started());
        // Every other trial kills it while it writes list after list; the rest anywhere from its
        // start, the first write included.
        if (trial % 2) {
            ASSERT_TRUE(waitFor([&] { return readFile(output).find('\n') != std::string::npos; }));
            std::this_thread::sleep_for(randomDelay(std::chrono::milliseconds(5)));
        } else {
            std::this_thread::sleep_for(randomDelay(std::chrono::milliseconds(60)));
        }
        ASSERT_TRUE(writer.kill()) << "the writer ended before it was killed";
        // The last list the writer saw on the disk.
        const std::string said = readFile(output);
        int acknowledged = -1;
        std::size_t end = said.rfind('\n');
        if (end != std::string::npos) {
            const std::size_t begin = said.rfind('\n', end - 1);
            acknowledged = std::atoi(said.substr(begin == std::string::npos ? 0 : begin + 1).c_str());
        }
        const fs::path journal = directory / (key + ".recipe.json");
        if (!fs::exists(journal)) {
            EXPECT_EQ(acknowledged, -1) << "trial " << trial << ": a written list was lost";
            ++empty;
            continue;
        }
        const std::string text = readFile(journal);
        const bool isOld = acknowledged >= 0 && text == DurabilityTest::listRecipe(acknowledged)->document();
        const bool isNew = text == DurabilityTest::listRecipe(acknowledged + 1)->document();
        readOld += isOld;
        readNew += isNew;
        if (!isOld && !isNew) {
            ++tornOrLost;
            ADD_FAILURE() << "trial " << trial << " (seed " << m_seed << "): after list " << acknowledged
                          << " the journal holds:\n"
                          << text;
        }
        // The next session reads it back without complaint.
        std::string error;
        EXPECT_TRUE(RUXRecipe::createWithDocument(text, nullptr, error)) << error;
    }
    std::printf("journal: %d kills; read back the last finished list %d times, the one being written %d "
                "times, no journal yet %d times, torn or lost %d\n",
                kTrials, readOld, readNew, empty, tornOrLost);
}

// (3) A save killed at any moment leaves the destination as it was or holds the whole new picture.
TEST_F(KillTest, SaveKilledNeverLeavesAPartialFile) {
    constexpr int kTrials = trials(40);
    const std::string input = writePhoto("big.png", 1200, 800);
    const std::string reference = (m_dir / "reference.jpg").string();
    const std::string destination = (m_dir / "out" / "saved.jpg").string();
    fs::create_directories(m_dir / "out");
    const std::vector<std::string> edit{"--brightness", "0.2", "--look", "Etude", "--resolution", "original"};
    auto arguments = [&](const std::string& output) {
        std::vector<std::string> a{RUX_RENDER_PATH, input, output};
        a.insert(a.end(), edit.begin(), edit.end());
        return a;
    };
    std::chrono::microseconds whole{};
    whole = timeOf([&] {
        Child full(arguments(reference), m_dir / "full.out");
        ASSERT_EQ(full.wait(), 0) << readFile(m_dir / "full.out");
    });
    const std::string newBytes = readFile(reference);
    const std::string oldBytes = readFile(writePhoto("old.jpg", 300, 200, 3));
    ASSERT_FALSE(newBytes.empty());
    int old = 0, whole_ = 0, finished = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        fs::copy_file(m_dir / "old.jpg", destination, fs::copy_options::overwrite_existing);
        Child save(arguments(destination), m_dir / "save.out");
        ASSERT_TRUE(save.started());
        std::this_thread::sleep_for(randomDelay(whole));
        finished += !save.kill();
        const std::string bytes = readFile(destination);
        old += bytes == oldBytes;
        whole_ += bytes == newBytes;
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "trial " << trial << " (seed " << m_seed << "): " << bytes.size()
            << " bytes at the destination";
    }
    std::printf(
        "saves: %d kills (%d after the save had ended); the old file %d times, the whole new one %d times\n",
        kTrials, finished, old, whole_);
}

// (2) A batch killed again and again, and resumed each time, ends with the folder an uninterrupted
// run writes: the same bytes, no temporary file, and no photo written twice.
TEST_F(KillTest, BatchKilledAndResumedEndsAsAnUninterruptedRun) {
    constexpr int kTrials = trials(10);
    constexpr int kPhotos = 10;
    std::vector<std::string> inputs;
    for (int i = 0; i < kPhotos; ++i) {
        inputs.push_back(
            writePhoto("photo" + std::to_string(i) + (i % 2 ? ".jpg" : ".png"), 320 + 16 * i, 240, i));
    }
    // Edits without a recipe, half the inputs from a manifest.
    std::ofstream manifest(m_dir / "manifest.txt");
    for (int i = kPhotos / 2; i < kPhotos; ++i) {
        manifest << inputs[std::size_t(i)] << "\n";
    }
    manifest.close();
    auto arguments = [&](const fs::path& out, bool resume, const fs::path& report) {
        std::vector<std::string> a{RUX_RENDER_PATH,
                                   "--output-dir",
                                   out.string(),
                                   "--jobs",
                                   "2",
                                   "--brightness",
                                   "0.3",
                                   "--look",
                                   "Cantata",
                                   "--manifest",
                                   (m_dir / "manifest.txt").string()};
        if (resume) {
            a.insert(a.end(), {"--resume", "--report", report.string()});
        }
        a.insert(a.end(), inputs.begin(), inputs.begin() + kPhotos / 2);
        return a;
    };
    const fs::path reference = m_dir / "reference";
    fs::create_directories(reference);
    std::chrono::microseconds whole{};
    whole = timeOf([&] {
        Child full(arguments(reference, false, {}), m_dir / "full.out");
        ASSERT_EQ(full.wait(), 0) << readFile(m_dir / "full.out");
    });
    const std::set<std::string> expectedNames = namesIn(reference);
    ASSERT_EQ(expectedNames.size(), std::size_t(kPhotos));

    int kills = 0, runs = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const fs::path out = m_dir / ("out-" + std::to_string(trial));
        const fs::path report = m_dir / ("report-" + std::to_string(trial) + ".jsonl");
        fs::create_directories(out);
        // Killed until a run gets through; after many kills the last run is let finish.
        for (int attempt = 0;; ++attempt) {
            Child batch(arguments(out, true, report), m_dir / "batch.out");
            ASSERT_TRUE(batch.started());
            ++runs;
            if (attempt < 20) {
                std::this_thread::sleep_for(randomDelay(whole));
                if (batch.kill()) {
                    ++kills;
                    continue;
                }
            }
            ASSERT_EQ(batch.wait(), 0) << readFile(m_dir / "batch.out");
            break;
        }
        EXPECT_EQ(namesIn(out), expectedNames) << "trial " << trial << " (seed " << m_seed << ")";
        for (const std::string& name : expectedNames) {
            EXPECT_TRUE(readFile(out / name) == readFile(reference / name))
                << "trial " << trial << ": " << name << " differs from the uninterrupted run's";
        }
        // Each photo was written by one run at most; the others skipped it.
        std::map<std::string, int> written;
        std::istringstream lines(readFile(report));
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"status\":\"written\"") != std::string::npos) {
                ++written[line.substr(0, line.find("\",\"output\""))];
            }
        }
        for (const auto& [input, times] : written) {
            EXPECT_EQ(times, 1) << "trial " << trial << ": written " << times << " times: " << input;
        }
    }
    std::printf("batches: %d trials, %d runs, %d of them killed mid-batch; every folder ended as the "
                "uninterrupted run's\n",
                kTrials, runs, kills);
}

// (1) A session that committed a look and a slider edit and was killed comes back in the next
// session on the same photo: Save alone there writes what the uninterrupted session wrote.
TEST_F(KillTest, EditorSessionKilledComesBackInTheNext) {
    constexpr int kTrials = 3;
    const std::string photo = writePhoto("photo.png", 480, 320);
    const std::string edits = "idle\n"
                              "tap 98 569\n" // a look in the strip
                              "idle\n"
                              "tap 125 643\n" // brightness
                              "idle\n"
                              "key right\nkey right\nkey right\nkey right\n"
                              "key enter\n" // OK commits it
                              "idle\n";
    std::ofstream(m_dir / "uninterrupted.txt") << edits << "key ctrl+s\nidle\n";
    std::ofstream(m_dir / "killed.txt") << edits << "wait 100000\n";
    std::ofstream(m_dir / "save.txt") << "idle\nkey ctrl+s\nidle\n";
    const std::string state = "XDG_STATE_HOME=" + (m_dir / "state").string();

    Child uninterrupted({RUX_EDITOR_PATH, "--headless", "--script", (m_dir / "uninterrupted.txt").string(),
                         "--save", (m_dir / "uninterrupted.png").string(), photo},
                        m_dir / "uninterrupted.out", {state});
    ASSERT_EQ(uninterrupted.wait(), 0) << readFile(m_dir / "uninterrupted.out");
    const std::string expected = readFile(m_dir / "uninterrupted.png");
    ASSERT_FALSE(expected.empty());
    EXPECT_FALSE(fs::exists(m_dir / "state")) << "a replay without --journal kept one";

    auto journalHoldsBothEdits = [&] {
        if (!fs::exists(m_dir / "state" / "ruximageeditor")) {
            return false;
        }
        for (const auto& entry : fs::directory_iterator(m_dir / "state" / "ruximageeditor")) {
            // Only a journal renamed into place counts: the temporary file it is written to first
            // holds both edits a moment before the rename, and a kill in that moment rightly leaves
            // the journal before them.
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".recipe.json"))
                continue;
            const std::string text = readFile(entry.path());
            if (text.find("RUXBrightnessTransformation") != std::string::npos &&
                text.find("RUXFilter") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    for (int trial = 0; trial < kTrials; ++trial) {
        const fs::path saved = m_dir / ("restored-" + std::to_string(trial) + ".png");
        {
            Child killed({RUX_EDITOR_PATH, "--headless", "--journal", "--script",
                          (m_dir / "killed.txt").string(), photo},
                         m_dir / "killed.out", {state});
            ASSERT_TRUE(waitFor(journalHoldsBothEdits)) << readFile(m_dir / "killed.out");
            std::this_thread::sleep_for(randomDelay(std::chrono::milliseconds(200)));
            ASSERT_TRUE(killed.kill()) << "the session ended before it was killed";
        }
        Child next({RUX_EDITOR_PATH, "--headless", "--journal", "--script", (m_dir / "save.txt").string(),
                    "--save", saved.string(), photo},
                   m_dir / "next.out", {state});
        ASSERT_EQ(next.wait(), 0) << readFile(m_dir / "next.out");
        EXPECT_NE(readFile(m_dir / "next.out").find("Restored the unsaved edits"), std::string::npos)
            << readFile(m_dir / "next.out");
        EXPECT_TRUE(readFile(saved) == expected)
            << "trial " << trial << ": the restored session saved other bytes";
        // Save ended the session: nothing is restored a third time.
        EXPECT_TRUE(fs::is_empty(m_dir / "state" / "ruximageeditor"));
    }
    std::printf("editor: %d sessions killed after their edits; each next session saved the same bytes\n",
                kTrials);

    // --fresh opens the photo unedited whatever its journal holds; a journal that does not parse is
    // set aside and the photo opens unedited too.
    Child plain({RUX_EDITOR_PATH, "--headless", "--script", (m_dir / "save.txt").string(), "--save",
                 (m_dir / "unedited.png").string(), photo},
                m_dir / "plain.out", {state});
    ASSERT_EQ(plain.wait(), 0) << readFile(m_dir / "plain.out");
    const std::string unedited = readFile(m_dir / "unedited.png");
    ASSERT_NE(unedited, expected);
    {
        Child killed(
            {RUX_EDITOR_PATH, "--headless", "--journal", "--script", (m_dir / "killed.txt").string(), photo},
            m_dir / "killed.out", {state});
        ASSERT_TRUE(waitFor(journalHoldsBothEdits)) << readFile(m_dir / "killed.out");
        killed.kill();
    }
    Child fresh({RUX_EDITOR_PATH, "--headless", "--journal", "--fresh", "--script",
                 (m_dir / "save.txt").string(), "--save", (m_dir / "fresh.png").string(), photo},
                m_dir / "fresh.out", {state});
    ASSERT_EQ(fresh.wait(), 0) << readFile(m_dir / "fresh.out");
    EXPECT_TRUE(readFile(m_dir / "fresh.png") == unedited);

    const fs::path journal =
        m_dir / "state" / "ruximageeditor" / (RUXRecipeJournal::keyForFile(photo) + ".recipe.json");
    std::ofstream(journal) << "{\"format\": \"rux-edit-recipe\", \"vers";
    Child broken({RUX_EDITOR_PATH, "--headless", "--journal", "--script", (m_dir / "save.txt").string(),
                  "--save", (m_dir / "broken.png").string(), photo},
                 m_dir / "broken.out", {state});
    ASSERT_EQ(broken.wait(), 0) << readFile(m_dir / "broken.out");
    EXPECT_TRUE(readFile(m_dir / "broken.png") == unedited);
    EXPECT_TRUE(fs::exists(journal.string() + ".unreadable"));
    EXPECT_NE(readFile(m_dir / "broken.out").find("set aside"), std::string::npos)
        << readFile(m_dir / "broken.out");
}

} // namespace
