// Keys and dropped files in touch scripts: how chords are spelled, and what the headless host
// hands its program.
#include <Hosts/HeadlessHost.h>
#include <Toolkit/ViewController.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Hosts::KeyChord;
using Hosts::KeyPhase;

struct ChordCase {
    const char* text;
    std::optional<KeyChord> chord;
};

class KeyChordParsing : public ::testing::TestWithParam<ChordCase> {};

TEST_P(KeyChordParsing, ReadsModifiersAndOneKey) {
    const std::optional<KeyChord> chord = Hosts::parseKeyChord(GetParam().text);
    EXPECT_EQ(chord, GetParam().chord) << GetParam().text;
    if (chord) {
        EXPECT_EQ(Hosts::parseKeyChord(chord->name()), chord) << "the canonical name reads back";
    }
}

INSTANTIATE_TEST_SUITE_P(Chords, KeyChordParsing,
                         ::testing::Values(ChordCase{"ctrl+z", KeyChord{"z", true}},
                                           ChordCase{"Ctrl+Shift+Z", KeyChord{"z", true, true}},
                                           ChordCase{"shift+control+z", KeyChord{"z", true, true}},
                                           ChordCase{"alt+7", KeyChord{"7", false, false, true}},
                                           ChordCase{"Esc", KeyChord{"escape"}},
                                           ChordCase{"return", KeyChord{"enter"}},
                                           ChordCase{"left", KeyChord{"left"}}, ChordCase{"", std::nullopt},
                                           ChordCase{"ctrl+", std::nullopt}, ChordCase{"+z", std::nullopt},
                                           ChordCase{"ctrl+ctrl+z", std::nullopt},
                                           ChordCase{"hyper+z", std::nullopt}, ChordCase{"f13", std::nullopt},
                                           ChordCase{"ctrl+zz", std::nullopt}));

// The program's side: every key event and dropped path, in order.
class KeyScript : public ::testing::Test {
protected:
    void SetUp() override {
        host = Hosts::HeadlessHost::create({100, 80}, 1);
        ASSERT_TRUE(host);
        host->application().setRootViewController(Toolkit::ViewController::create());
        host->setKeyHandler([this](const KeyChord& chord, KeyPhase phase) {
            events.push_back((phase == KeyPhase::Released ? "up " : "down ") + chord.name());
            return chord.key != "x";
        });
        host->setDropHandler([this](const std::string& path) {
            events.push_back("drop " + path);
            return path.ends_with(".png");
        });
    }

    std::unique_ptr<Hosts::HeadlessHost> host;
    std::vector<std::string> events;
};

TEST_F(KeyScript, DeliversKeysAndDropsInOrderAndGoesOnWhenTheProgramDeclines) {
    std::string error;
    ASSERT_TRUE(host->runScript("key ctrl+shift+z\n"
                                "keydown space\n"
                                "key x            # declined: the script goes on\n"
                                "keyup SPACE\n"
                                "drop /tmp/a photo.png  # the path runs to the end of the line\n"
                                "drop /tmp/notes.txt\n",
                                &error))
        << error;
    EXPECT_EQ(events,
              (std::vector<std::string>{"down ctrl+shift+z", "up ctrl+shift+z", "down space", "down x",
                                        "up x", "up space", "drop /tmp/a photo.png", "drop /tmp/notes.txt"}));
    EXPECT_FALSE(host->keyUp(*Hosts::parseKeyChord("space"))) << "not down";
    EXPECT_TRUE(host->keyDown(*Hosts::parseKeyChord("z")));
    EXPECT_FALSE(host->keyDown(*Hosts::parseKeyChord("ctrl+z"))) << "z is already down";
    EXPECT_FALSE(host->drop("/tmp/notes.txt"));
}

struct ScriptError {
    const char* script;
    const char* message;
};

class KeyScriptError : public KeyScript, public ::testing::WithParamInterface<ScriptError> {};

TEST_P(KeyScriptError, NamesTheLine) {
    std::string error;
    EXPECT_FALSE(host->runScript(GetParam().script, &error));
    EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, KeyScriptError,
    ::testing::Values(ScriptError{"key\n", "line 1: key takes one key"},
                      ScriptError{"key ctrl+z ctrl+y\n", "line 1: key takes one key"},
                      ScriptError{"idle\nkeydown hyper+a\n", "line 2: unknown key \"hyper+a\""},
                      ScriptError{"drop   \n", "line 1: drop takes a path"},
                      ScriptError{"keyup a\n", "line 1: the key a is not down"},
                      ScriptError{"keydown a\nkeydown shift+a\n", "line 2: the key a is already down"},
                      ScriptError{"keydown a\nkey a\n", "line 2: the key a is already down"}));

} // namespace
