#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorTestSupport.h>
#include <Foundation/Bundle.h>
#include <Hosts/HeadlessHost.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/ViewController.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXImageView.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ScreenTest {

// Where a tool screen's two bar buttons sit in the test window.
inline constexpr Graphics::Point kCancelButton{80, 544};
inline constexpr Graphics::Point kOkButton{240, 544};

// What a tool screen may change: the committed list (by identity) and the depth of the undo and
// redo history.
struct EditState {
    RUXTransformationList transformations;
    int undoDepth = 0;
    int redoDepth = 0;
    friend bool operator==(const EditState&, const EditState&) = default;
};

// Walks the history to its ends and back, so that the manager is left as it was.
inline EditState editStateOf(RUXEditManager& manager) {
    EditState state;
    state.transformations = manager.transformations();
    while (manager.canUndo()) {
        manager.undo();
        ++state.undoDepth;
    }
    for (int i = 0; i < state.undoDepth; ++i) {
        manager.redo();
    }
    while (manager.canRedo()) {
        manager.redo();
        ++state.redoDepth;
    }
    for (int i = 0; i < state.redoDepth; ++i) {
        manager.undo();
    }
    return state;
}

// Every declared scalar value of a transformation, by key, as a recipe would read them.
inline std::map<std::string, double> declaredValuesOf(const RUXImageTransformation& transformation) {
    std::map<std::string, double> values;
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationOf(transformation.transformationClass());
    if (!declaration) {
        return values;
    }
    for (const RUXParameter& p : declaration->parameters) {
        if (p.kind == RUXParameterKind::Scalar && p.get) {
            if (auto value = p.get(transformation); value && !value->numbers.empty()) {
                values[p.key] = value->numbers[0];
            }
        }
    }
    return values;
}

// A headless phone screen of 320 × 568 points at scale 2 showing a plain root screen, from which
// tool screens are presented as the main screen presents them, over a small photo. The resource
// bundle is the source tree's.
class ToolScreenFixture : public ::testing::Test {
public:
    static constexpr Graphics::Size kScreenSize{320, 568};

    void SetUp() override {
        host = Hosts::HeadlessHost::create(kScreenSize, screenScale);
        ASSERT_TRUE(host);
        root = Toolkit::ViewController::create();
        host->application().setRootViewController(root);
        editManager = RUXEditManager::create(EditorTest::makePhoto(photoWidth, photoHeight, photoScale));
        renderer = RUXImageRenderer::create();
        configuration = std::make_shared<RUXImageEditorSampleConfiguration>();
        showCommittedImage();
    }

    void TearDown() override {
        if (host) {
            host->runUntilIdle();
        }
        host.reset();
    }

    // What the main screen does on appearing: the committed picture becomes the renderer's last
    // formula, which a tool screen shows first.
    void showCommittedImage() {
        auto target = Toolkit::ImageView::create();
        renderer->renderAndDisplayImage(editManager->committedImage(), target);
    }

    template <class Screen>
    std::shared_ptr<Screen> present() {
        auto screen = Screen::createWithConfiguration(configuration, editManager, renderer);
        root->presentViewController(screen, Toolkit::Animated::No);
        settle();
        return screen;
    }

    // Runs until every background render has been shown.
    void settle() { ASSERT_TRUE(host->runUntilIdle()); }

    bool run(const std::string& script) {
        std::string error;
        bool ok = host->runScript(script, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    void tap(Graphics::Point p) {
        run("tap " + std::to_string(p.x) + " " + std::to_string(p.y));
        settle();
    }

    bool isPresenting() const { return root->presentedViewController() != nullptr; }

    // The window point at the centre of a view.
    static Graphics::Point centreInWindow(const std::shared_ptr<Toolkit::View>& view) {
        Graphics::Rect b = view->bounds();
        return view->convertPointToView({b.midX(), b.midY()}, nullptr);
    }

    // The source tree's resource bundle, for every test; restored after TearDown.
    TestSupport::MainBundlePath resources{RUX_SOURCE_RESOURCES_DIR};
    int photoWidth = 300;
    int photoHeight = 200;
    // Pixels per point of the photo; at 2 a photo below 640 × 2 pixels reaches the screen unresized.
    double photoScale = 2;
    // Pixels per point of the screen; the reference screenshots use 1 to stay small.
    double screenScale = 2;
    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<Toolkit::ViewController> root;
    std::shared_ptr<RUXEditManager> editManager;
    std::shared_ptr<RUXImageRenderer> renderer;
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration;
};

} // namespace ScreenTest
