#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipe.h>
#include <Manager/RUXRecipeJournal.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace EditorTest;

namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::shared_ptr<RUXBrightnessTransformation> brightness(float value) {
    auto t = std::make_shared<RUXBrightnessTransformation>();
    t->setValue(value);
    return t;
}

// The document of manager's list, as the journal should hold it.
std::string documentOf(const RUXEditManager& manager) {
    auto recipe = manager.recipe();
    return recipe ? recipe->document() : std::string();
}

// Sets an environment variable for one test and puts the old value back.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvironmentGuard() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class Journal : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("rux-journal-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::shared_ptr<RUXRecipeJournal> makeJournal(const std::string& key = std::string(64, 'a')) {
        return RUXRecipeJournal::create(m_dir.string(), key);
    }

    std::filesystem::path m_dir;
};

} // namespace

// The observer hears of each change once, after it is settled; steps that change nothing, and a
// manager whose host set no observer, call nothing.
TEST(EditManagerObserver, CalledOnceAfterEachChangeAndNeverWhenUnset) {
    auto manager = RUXEditManager::create(makePhoto(40, 30));
    manager->commitTransformation(brightness(0.5f)); // no observer yet: nothing to call
    int calls = 0;
    std::size_t listSizeSeen = 0;
    manager->setChangeObserver([&](RUXEditManager& changed) {
        ++calls;
        listSizeSeen = changed.transformations().size();
        // Settled: the undo history already holds the step that brought the change.
        EXPECT_TRUE(changed.canUndo() || changed.canRedo());
    });
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(listSizeSeen, 3u);
    manager->undo();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(listSizeSeen, 2u);
    manager->redo();
    EXPECT_EQ(calls, 3);
    // A list commit and its undo are one change each, however many slots they touch.
    ASSERT_TRUE(manager->commitTransformations({std::make_shared<RUXRotateTransformation>(),
                                                brightness(-0.25f), std::make_shared<RUXFilterTokyo>()}));
    EXPECT_EQ(calls, 4);
    manager->undo();
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(listSizeSeen, 3u);
    // Nothing to redo, a refused slot and a list equal to the committed one: no call.
    manager->redo();
    EXPECT_EQ(calls, 6);
    manager->redo();
    manager->setTransformationForType(brightness(0.1f), RUXTransformationTypeContrast);
    RUXTransformationList same;
    for (const auto& t : manager->transformations()) {
        if (t->type() != RUXTransformationTypeNormalize) {
            same.push_back(t);
        }
    }
    ASSERT_TRUE(manager->commitTransformations(same));
    EXPECT_EQ(calls, 6);
    const int before = calls;
    manager->setChangeObserver(nullptr);
    manager->commitTransformation(brightness(0.7f));
    manager->undo();
    EXPECT_EQ(calls, before);
}

// What the journal holds follows the list through commits, undo and redo, reads back to the same
// recipe, and is gone once the session ends.
TEST_F(Journal, FollowsTheListAndEndsWithTheSession) {
    auto manager = RUXEditManager::create(makePhoto(40, 30));
    auto journal = makeJournal();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->readBack(nullptr), nullptr) << "no journal yet";
    RUXRecipeJournal::follow(journal, *manager);

    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    manager->commitTransformation(brightness(0.4f));
    ASSERT_TRUE(journal->flush());
    EXPECT_EQ(readAll(journal->path()), documentOf(*manager));
    const std::string withBoth = documentOf(*manager);
    manager->undo();
    ASSERT_TRUE(journal->flush());
    EXPECT_EQ(readAll(journal->path()), documentOf(*manager));
    manager->redo();
    ASSERT_TRUE(journal->flush());
    EXPECT_EQ(readAll(journal->path()), withBoth);

    // A second session on the same photo reads the list back and commits it as one step.
    auto reopened = makeJournal();
    auto recipe = reopened->readBack(nullptr);
    ASSERT_TRUE(recipe);
    auto next = RUXEditManager::create(makePhoto(40, 30));
    ASSERT_TRUE(next->applyRecipe(*recipe));
    EXPECT_EQ(documentOf(*next), withBoth);
    next->undo();
    EXPECT_EQ(next->transformations().size(), 1u);

    EXPECT_TRUE(journal->remove());
    EXPECT_FALSE(std::filesystem::exists(journal->path()));
    EXPECT_EQ(makeJournal()->readBack(nullptr), nullptr);
    EXPECT_EQ(journal->writesFailed(), 0u);
    EXPECT_GE(journal->writesCompleted(), 3u);
}

// A journal that is not a recipe is renamed out of the way, so the photo opens unedited and the
// next session's journal starts clean; a killed write's temporary file is cleared away.
TEST_F(Journal, SetsAsideWhatDoesNotParseAndClearsLeftovers) {
    auto journal = makeJournal();
    std::filesystem::create_directories(m_dir);
    std::ofstream(journal->path())
        << "{\"format\": \"rux-edit-recipe\", \"version\": 1, \"transformations\": [";
    std::ofstream(journal->path() + ".Ab12Cd") << "half a wri";
    bool setAside = false;
    EXPECT_EQ(journal->readBack(nullptr, &setAside), nullptr);
    EXPECT_TRUE(setAside);
    EXPECT_FALSE(std::filesystem::exists(journal->path()));
    EXPECT_TRUE(std::filesystem::exists(journal->path() + ".unreadable"));
    EXPECT_FALSE(std::filesystem::exists(journal->path() + ".Ab12Cd"));

    // A look the reader cannot find is refused the same way.
    std::ofstream(journal->path())
        << "{\"format\": \"rux-edit-recipe\", \"version\": 1, \"transformations\": ["
           "{\"class\": \"RUXUserLookTransformation\", \"name\": \"Gone\", "
           "\"source\": \"/nowhere/gone.cube\"}]}";
    EXPECT_EQ(journal->readBack([](const std::string&, const std::string&) { return nullptr; }, &setAside),
              nullptr);
    EXPECT_TRUE(setAside);

    // Removing a journal that is not there is not a failure.
    EXPECT_TRUE(journal->remove());
}

// Only the newest list matters: many records in a row end with the last one on disk.
TEST_F(Journal, TheLastRecordWins) {
    auto journal = makeJournal();
    auto manager = RUXEditManager::create(makePhoto(20, 20));
    for (int i = 0; i < 50; ++i) {
        manager->commitTransformation(brightness(float(i) / 50));
        journal->record(*manager->recipe());
    }
    ASSERT_TRUE(journal->flush());
    EXPECT_EQ(readAll(journal->path()), documentOf(*manager));
    EXPECT_LE(journal->writesCompleted(), 50u);
}

// A folder that cannot be made fails the write, says so through flush, and leaves the edits alone.
TEST_F(Journal, AFolderThatCannotBeMadeFailsTheWrite) {
    std::filesystem::create_directories(m_dir);
    std::ofstream(m_dir / "file") << "x";
    auto journal = RUXRecipeJournal::create((m_dir / "file" / "below").string(), std::string(64, 'b'));
    auto manager = RUXEditManager::create(makePhoto(20, 20));
    RUXRecipeJournal::follow(journal, *manager);
    manager->commitTransformation(brightness(0.3f));
    EXPECT_FALSE(journal->flush());
    EXPECT_EQ(journal->writesFailed(), 1u);
    EXPECT_EQ(manager->transformations().size(), 2u);
    // Once the journal is gone its observer does nothing.
    journal.reset();
    manager->commitTransformation(brightness(0.5f));
}

TEST_F(Journal, KeysAndFolders) {
    EXPECT_EQ(RUXRecipeJournal::keyForBytes("abc", 3),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::filesystem::create_directories(m_dir);
    std::ofstream(m_dir / "photo.bin", std::ios::binary) << "abc";
    EXPECT_EQ(RUXRecipeJournal::keyForFile((m_dir / "photo.bin").string()),
              RUXRecipeJournal::keyForBytes("abc", 3));
    EXPECT_EQ(RUXRecipeJournal::keyForFile((m_dir / "missing.bin").string()), "");
    // Nothing but a hex key becomes a file name.
    EXPECT_EQ(RUXRecipeJournal::create(m_dir.string(), "../escape"), nullptr);
    EXPECT_EQ(RUXRecipeJournal::create(m_dir.string(), ""), nullptr);
    EXPECT_EQ(RUXRecipeJournal::create("", "abcd"), nullptr);
    {
        EnvironmentGuard state("XDG_STATE_HOME", "/var/state");
        EXPECT_EQ(RUXRecipeJournal::defaultDirectory(), "/var/state/ruximageeditor");
    }
    {
        EnvironmentGuard state("XDG_STATE_HOME", "relative/ignored");
        EnvironmentGuard home("HOME", "/home/someone");
        EXPECT_EQ(RUXRecipeJournal::defaultDirectory(), "/home/someone/.local/state/ruximageeditor");
    }
    {
        EnvironmentGuard state("XDG_STATE_HOME", nullptr);
        EnvironmentGuard home("HOME", nullptr);
        EXPECT_EQ(RUXRecipeJournal::defaultDirectory(), "");
    }
}
