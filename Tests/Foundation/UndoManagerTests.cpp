#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Foundation/UndoManager.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Foundation;

namespace {

using Value = std::shared_ptr<const std::string>;

// A target that records its own inverse the way the edit manager does: each set is a step of
// its own, registered with grouping by event switched off around an explicit group.
class Document : public std::enable_shared_from_this<Document> {
public:
    explicit Document(std::shared_ptr<UndoManager> undo) : m_undo(std::move(undo)) {}

    void setValue(Value value) {
        Value old = m_value;
        m_undo->setGroupsByEvent(false);
        m_undo->beginUndoGrouping();
        m_undo->registerUndo(shared_from_this(), [old](Document& d) { d.setValue(old); });
        m_undo->endUndoGrouping();
        m_undo->setGroupsByEvent(true);
        m_value = std::move(value);
    }
    const Value& value() const { return m_value; }
    std::string text() const { return m_value ? *m_value : "-"; }

private:
    std::shared_ptr<UndoManager> m_undo;
    Value m_value;
};

Value make(const char* s) {
    return std::make_shared<const std::string>(s);
}

class UndoManagerTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().runUntilIdle(); }

    std::shared_ptr<UndoManager> m_undo = UndoManager::create();
    std::shared_ptr<Document> m_doc = std::make_shared<Document>(m_undo);
};

} // namespace

TEST_F(UndoManagerTest, UndoRegistersOnRedoAndRedoOnUndoRestoringTheSameObjects) {
    Value a = make("a"), b = make("b"), c = make("c");
    m_doc->setValue(a);
    m_doc->setValue(b);
    m_doc->setValue(c);
    EXPECT_EQ(m_undo->undoStepCount(), 3u);
    EXPECT_FALSE(m_undo->canRedo());

    m_undo->undo();
    EXPECT_EQ(m_doc->value(), b);
    m_undo->undo();
    EXPECT_EQ(m_doc->value(), a);
    EXPECT_EQ(m_undo->undoStepCount(), 1u);
    EXPECT_EQ(m_undo->redoStepCount(), 2u);

    // Redo's own registration goes back onto undo and leaves the other redo step in place.
    m_undo->redo();
    EXPECT_EQ(m_doc->value(), b);
    EXPECT_EQ(m_undo->undoStepCount(), 2u);
    EXPECT_EQ(m_undo->redoStepCount(), 1u);
    m_undo->redo();
    EXPECT_EQ(m_doc->value(), c);
    EXPECT_FALSE(m_undo->canRedo());

    m_undo->undo();
    m_undo->undo();
    m_undo->undo();
    EXPECT_EQ(m_doc->value(), nullptr);
    EXPECT_FALSE(m_undo->canUndo());
    m_undo->undo(); // empty stack: nothing happens
    EXPECT_EQ(m_doc->value(), nullptr);
    EXPECT_EQ(m_undo->redoStepCount(), 3u);
}

TEST_F(UndoManagerTest, AFreshRegistrationEmptiesRedo) {
    m_doc->setValue(make("a"));
    m_doc->setValue(make("b"));
    m_undo->undo();
    ASSERT_TRUE(m_undo->canRedo());
    m_doc->setValue(make("x"));
    EXPECT_FALSE(m_undo->canRedo());
    m_undo->redo();
    EXPECT_EQ(m_doc->text(), "x");
    m_undo->undo();
    EXPECT_EQ(m_doc->text(), "a");
}

TEST_F(UndoManagerTest, RegisteringPastTheLimitDropsTheOldestSteps) {
    m_undo->setLevelsOfUndo(3);
    for (const char* s : {"1", "2", "3", "4", "5"}) {
        m_doc->setValue(make(s));
    }
    EXPECT_EQ(m_undo->undoStepCount(), 3u);
    std::string seen;
    while (m_undo->canUndo()) {
        m_undo->undo();
        seen += m_doc->text();
    }
    EXPECT_EQ(seen, "432");
    // The redo stack is bounded the same way, and lowering the limit trims at once.
    EXPECT_EQ(m_undo->redoStepCount(), 3u);
    m_undo->setLevelsOfUndo(1);
    EXPECT_EQ(m_undo->redoStepCount(), 1u);
    m_undo->redo();
    EXPECT_EQ(m_doc->text(), "3");
}

TEST_F(UndoManagerTest, ExplicitGroupsUndoTogetherNewestCallFirst) {
    std::string calls;
    auto target = std::make_shared<int>(0);
    m_undo->setGroupsByEvent(false);
    m_undo->beginUndoGrouping();
    m_undo->registerUndo(target, [&] { calls += "1"; });
    m_undo->beginUndoGrouping();
    m_undo->registerUndo(target, [&] { calls += "2"; });
    m_undo->registerUndo(target, [&] { calls += "3"; });
    m_undo->endUndoGrouping();
    m_undo->registerUndo(target, [&] { calls += "4"; });
    EXPECT_FALSE(m_undo->canUndo()) << "a step exists only once its outermost group closes";
    m_undo->endUndoGrouping();
    // An empty group is not a step.
    m_undo->beginUndoGrouping();
    m_undo->endUndoGrouping();
    EXPECT_EQ(m_undo->undoStepCount(), 1u);
    m_undo->undo();
    EXPECT_EQ(calls, "4321");
    EXPECT_FALSE(m_undo->canUndo());
}

TEST_F(UndoManagerTest, GroupingByEventOnMakesOneStepPerLoopTurnAndOffOneStepPerCall) {
    auto target = std::make_shared<int>(0);
    std::string calls;
    m_undo->registerUndo(target, [&] { calls += "a"; });
    m_undo->registerUndo(target, [&] { calls += "b"; });
    EXPECT_TRUE(m_undo->canUndo());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(m_undo->groupingLevel(), 0u);
    m_undo->registerUndo(target, [&] { calls += "c"; });
    // undo closes the open event group itself.
    m_undo->undo();
    EXPECT_EQ(calls, "c");
    m_undo->undo();
    EXPECT_EQ(calls, "cba");

    m_undo->setGroupsByEvent(false);
    m_undo->registerUndo(target, [&] { calls += "d"; });
    m_undo->registerUndo(target, [&] { calls += "e"; });
    EXPECT_EQ(m_undo->undoStepCount(), 2u);
}

TEST_F(UndoManagerTest, TargetsAreHeldWeaklyAndSkippedOnceGone) {
    std::weak_ptr<Document> weakDoc = m_doc;
    m_doc->setValue(make("a"));
    m_doc->setValue(make("b"));
    m_doc.reset();
    EXPECT_TRUE(weakDoc.expired()) << "the history must not keep its targets alive";
    EXPECT_TRUE(m_undo->canUndo());
    m_undo->undo();
    EXPECT_FALSE(m_undo->canRedo()) << "a skipped call registers nothing";
}

TEST_F(UndoManagerTest, MisuseIsIgnoredWithALogLine) {
    LogCapture capture;
    auto target = std::make_shared<int>(0);
    int runs = 0;

    m_undo->endUndoGrouping(); // nothing open
    m_undo->registerUndo(std::weak_ptr<void>(), [&] { ++runs; });
    m_undo->registerUndo(target, nullptr);
    EXPECT_FALSE(m_undo->canUndo());

    m_undo->setGroupsByEvent(false);
    m_undo->registerUndo(target, [&] {
        ++runs;
        m_undo->undo(); // from inside an undo
    });
    m_undo->registerUndo(target, [&] { ++runs; });
    m_undo->beginUndoGrouping();
    m_undo->undo(); // explicit group open
    EXPECT_EQ(runs, 0);
    m_undo->endUndoGrouping();
    m_undo->undo();
    m_undo->undo();
    EXPECT_EQ(runs, 2);

    bool offMainAnswer = true;
    std::thread other([&] {
        m_undo->registerUndo(target, [&] { ++runs; });
        offMainAnswer = m_undo->canRedo();
    });
    other.join();
    EXPECT_FALSE(offMainAnswer);
    EXPECT_EQ(m_undo->undoStepCount(), 0u);
    EXPECT_EQ(capture.lines().size(), 7u);
}

TEST_F(UndoManagerTest, RemoveAllActionsEmptiesBothStacks) {
    m_doc->setValue(make("a"));
    m_doc->setValue(make("b"));
    m_undo->undo();
    m_undo->removeAllActions();
    EXPECT_FALSE(m_undo->canUndo());
    EXPECT_FALSE(m_undo->canRedo());
    m_doc->setValue(make("c"));
    m_undo->undo();
    EXPECT_EQ(m_doc->text(), "a");
}
