#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorTestSupport.h>
#include <Foundation/Bundle.h>
#include <Graphics/Bitmap.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/NavigationController.h>
#include <View/RUXMainViewController.h>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace MainScreenTest {

// The host's side of the editor: what Save and Cancel delivered.
class RecordingEditorDelegate : public RUXImageEditorViewControllerDelegate {
public:
    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController&, std::shared_ptr<const Graphics::BitmapImage> image) override {
        savedImages.push_back(std::move(image));
    }
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) override { ++cancels; }

    std::vector<std::shared_ptr<const Graphics::BitmapImage>> savedImages;
    int cancels = 0;
};

// A host configuration that offers everything but the classes named.
class ConfigurationWithout : public RUXImageEditorConfigurationProtocol {
public:
    explicit ConfigurationWithout(std::vector<std::string> disabled, std::vector<const RUXClass*> added = {})
        : m_disabled(std::move(disabled)), m_added(std::move(added)) {}
    std::string title() const override { return m_sample.title(); }
    std::string nextButton() const override { return m_sample.nextButton(); }
    std::optional<std::string> nameForTransformation(const RUXImageTransformation& t) const override {
        return m_sample.nameForTransformation(t);
    }
    bool isTransformationEnabled(const RUXClass& transformationClass) const override {
        for (const std::string& name : m_disabled) {
            if (name == transformationClass.name) {
                return false;
            }
        }
        return true;
    }
    std::vector<const RUXClass*> additionalToolClasses() const override { return m_added; }

private:
    std::vector<std::string> m_disabled;
    std::vector<const RUXClass*> m_added;
    RUXImageEditorSampleConfiguration m_sample;
};

// Whether two bitmaps have the same size and bytes.
inline bool samePixels(const Graphics::Bitmap* a, const Graphics::Bitmap* b) {
    if (!a || !b || a->width() != b->width() || a->height() != b->height()) {
        return false;
    }
    for (int y = 0; y < a->height(); ++y) {
        if (!std::equal(a->row(y), a->row(y) + 4 * a->width(), b->row(y))) {
            return false;
        }
    }
    return true;
}
inline bool samePixels(const std::shared_ptr<const Graphics::BitmapImage>& a,
                       const std::shared_ptr<const Graphics::BitmapImage>& b) {
    return a && b && samePixels(a->bitmap().get(), b->bitmap().get());
}

// The editor as a host shows it: inside a navigation controller, on a headless phone screen of
// 375 × 667 points at scale 2, over a small synthetic photo, with the sample configuration and a
// recording delegate. The resource bundle is the source tree's.
class MainScreenFixture : public ::testing::Test {
public:
    void SetUp() override {
        host = Hosts::HeadlessHost::create(Hosts::HeadlessHost::defaultPointSize, screenScale);
        ASSERT_TRUE(host);
        editor = RUXMainViewController::create(EditorTest::makePhoto(photoWidth, photoHeight));
        editor->setConfiguration(configuration ? configuration
                                               : std::make_shared<RUXImageEditorSampleConfiguration>());
        delegate = std::make_shared<RecordingEditorDelegate>();
        editor->setDelegate(delegate);
        navigation = Toolkit::NavigationController::create(editor);
        host->application().setRootViewController(navigation);
        settle();
    }

    void TearDown() override {
        if (host) {
            EXPECT_TRUE(host->runUntilIdle());
        }
        host.reset();
    }

    // Runs until every background render and thumbnail has been shown.
    void settle() { ASSERT_TRUE(host->runUntilIdle()); }

    bool run(const std::string& script) {
        std::string error;
        const bool ok = host->runScript(script, &error);
        EXPECT_TRUE(ok) << error;
        settle();
        return ok;
    }

    static std::string pointText(Graphics::Point p) {
        std::ostringstream out;
        out << p.x << " " << p.y;
        return out.str();
    }

    // The window point at the centre of a view.
    static Graphics::Point centreInWindow(const std::shared_ptr<Toolkit::View>& view) {
        const Graphics::Rect b = view->bounds();
        return view->convertPointToView({b.midX(), b.midY()}, nullptr);
    }
    void tap(const std::shared_ptr<Toolkit::View>& view) { run("tap " + pointText(centreInWindow(view))); }

    // The picture the main screen's photo area shows.
    std::shared_ptr<const Graphics::BitmapImage> shownImage() const { return editor->imageView()->image(); }
    // A fresh render of a formula, to compare pictures of formulas that are not the shown one.
    std::shared_ptr<const Graphics::BitmapImage> render(const RUXRenderFormulaPtr& formula) const {
        return editor->imageRenderer()->renderedImage(formula);
    }

    // The source tree's resource bundle, for every test; restored after TearDown.
    TestSupport::MainBundlePath resources{RUX_SOURCE_RESOURCES_DIR};
    int photoWidth = 300;
    int photoHeight = 200;
    // Pixels per point of the screen; the reference screenshots use 1 to stay small.
    double screenScale = Hosts::HeadlessHost::defaultScale;
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration;
    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<RUXMainViewController> editor;
    std::shared_ptr<RecordingEditorDelegate> delegate;
    std::shared_ptr<Toolkit::NavigationController> navigation;
};

} // namespace MainScreenTest
