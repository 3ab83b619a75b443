#include "EditorTestSupport.h"

#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <atomic>
#include <gtest/gtest.h>
#include <random>

using namespace EditorTest;

namespace {

std::vector<double> sortOrders(const RUXTransformationList& list) {
    std::vector<double> orders;
    for (const auto& t : list) {
        orders.push_back(t->sortOrder());
    }
    return orders;
}

std::shared_ptr<RUXEditManager> makeManager(int w = 60, int h = 40) {
    return RUXEditManager::create(makePhoto(w, h));
}

TEST(EditManager, StartsWithTheNormalisationOnly) {
    auto manager = makeManager();
    EXPECT_FALSE(manager->canUndo());
    EXPECT_FALSE(manager->canRedo());
    ASSERT_EQ(manager->transformations().size(), 1u);
    EXPECT_EQ(&manager->transformations()[0]->transformationClass(),
              &RUXNormalizeTransformation::classDescriptor());
    EXPECT_EQ(manager->committedTransformationWithType(RUXTransformationTypeFilter), nullptr);
}

TEST(EditManager, KeepsSortOrderAndOneSlotPerType) {
    auto manager = makeManager();
    auto focus = std::make_shared<RUXBlurTransformation>();
    auto circle = std::make_shared<RUXBeautifulBlurTransformation>();
    auto look = std::make_shared<RUXFilterVivid>();
    manager->commitTransformation(focus);
    manager->commitTransformation(look);
    manager->commitTransformation(std::make_shared<RUXContrastTransformation>());
    manager->commitTransformation(std::make_shared<RUXRotateTransformation>());
    manager->commitTransformation(std::make_shared<RUXBrightnessTransformation>());
    EXPECT_EQ(sortOrders(manager->transformations()), (std::vector<double>{0.0, 0.99, 1.0, 1.2, 3.0, 100.0}));
    // The two blurs share a slot; so do the looks and the identity.
    manager->commitTransformation(circle);
    manager->commitTransformation(std::make_shared<RUXFilterIdentity>());
    EXPECT_EQ(sortOrders(manager->transformations()), (std::vector<double>{0.0, 0.99, 1.0, 1.2, 2.0, 3.0}));
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBlur), circle);
    // Exact class: the focus-blur class does not find the circle blur, and a look's base class
    // does not find the look.
    EXPECT_EQ(manager->getTransformationWithClass(RUXBlurTransformation::classDescriptor()), nullptr);
    manager->commitTransformation(look);
    EXPECT_EQ(manager->getTransformationWithClass(RUXFilterBase::classDescriptor()), nullptr);
    EXPECT_EQ(manager->getTransformationWithClass(RUXFilterVivid::classDescriptor()), look);
    auto except = manager->imageWithAllTransformationsExcept(RUXBlurTransformation::classDescriptor());
    EXPECT_EQ(except->transformations()->size(), manager->transformations().size());
    auto geometric = manager->imageWithTransformationClasses(
        {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor()});
    EXPECT_EQ(sortOrders(*geometric->transformations()), (std::vector<double>{0.0, 0.99}));
    // Emptying a slot.
    manager->setTransformationForType(nullptr, RUXTransformationTypeBlur);
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBlur), nullptr);
}

TEST(EditManager, UndoAndRedoRestoreTheVeryObjects) {
    auto manager = makeManager();
    auto a = std::make_shared<RUXBrightnessTransformation>();
    auto b = std::make_shared<RUXBrightnessTransformation>();
    manager->commitTransformation(a);
    manager->commitTransformation(b);
    manager->undo();
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBrightness), a);
    manager->undo();
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBrightness), nullptr);
    EXPECT_FALSE(manager->canUndo());
    manager->redo();
    manager->redo();
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBrightness), b);
    EXPECT_FALSE(manager->canRedo());
    // A new commit after an undo clears the redo history.
    manager->undo();
    EXPECT_TRUE(manager->canRedo());
    manager->commitTransformation(std::make_shared<RUXSaturationTransformation>());
    EXPECT_FALSE(manager->canRedo());
    // Committing what is already committed is still a step, which undoes to the same list.
    auto before = manager->transformations();
    manager->commitTransformation(before.back());
    manager->undo();
    EXPECT_EQ(manager->transformations(), before);
}

TEST(EditManager, KeepsAHundredStepsOfUndo) {
    auto manager = makeManager();
    for (int i = 0; i < 101; ++i) {
        manager->commitTransformation(std::make_shared<RUXBrightnessTransformation>());
    }
    int undone = 0;
    while (manager->canUndo()) {
        manager->undo();
        ++undone;
    }
    EXPECT_EQ(undone, 100);
    // The oldest commit could not be undone, so its brightness stays.
    EXPECT_NE(manager->getTransformationWithType(RUXTransformationTypeBrightness), nullptr);
}

TEST(EditManager, ThumbnailCacheFollowsGeometricChangesOnly) {
    auto manager = makeManager();
    auto look = std::make_shared<RUXFilterVivid>();
    auto thumbnail = manager->thumbnailPreviewImageWithTransformation(look);
    EXPECT_EQ(manager->thumbnailPreviewImageWithTransformation(look), thumbnail);
    // Only geometry and the look itself reach a thumbnail.
    manager->commitTransformation(std::make_shared<RUXBrightnessTransformation>());
    manager->commitTransformation(std::make_shared<RUXFilterAden>());
    EXPECT_EQ(manager->thumbnailPreviewImageWithTransformation(look), thumbnail);
    EXPECT_EQ(sortOrders(*thumbnail->transformations()), (std::vector<double>{0.99, 3.0}));

    for (auto geometric : std::vector<RUXTransformationPtr>{std::make_shared<RUXRotateTransformation>(),
                                                            std::make_shared<RUXCropTransformation>()}) {
        manager->thumbnailPreviewImageWithTransformation(look);
        manager->commitTransformation(geometric);
        EXPECT_EQ(manager->thumbnailCacheCount(), 0u);
        manager->thumbnailPreviewImageWithTransformation(look);
        manager->undo(); // taking it away again empties the cache too
        EXPECT_EQ(manager->thumbnailCacheCount(), 0u);
    }
    EXPECT_NE(manager->thumbnailPreviewImageWithTransformation(look), thumbnail);
}

TEST(EditManager, CommittedFormulaIsKeptUntilTheListChanges) {
    auto manager = makeManager();
    auto committed = manager->committedImage();
    EXPECT_EQ(manager->committedImage(), committed);
    auto working = std::static_pointer_cast<RUXBrightnessTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    working->setValue(1.5f);
    manager->commitTransformation(working);
    auto next = manager->committedImage();
    EXPECT_NE(next, committed);
    // A working copy is a different object with the same value; changing it changes nothing committed.
    auto copy = std::static_pointer_cast<RUXBrightnessTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    EXPECT_NE(copy, working);
    EXPECT_EQ(copy->value(), 1.5f);
    copy->setValue(-1);
    EXPECT_EQ(working->value(), 1.5f);
    EXPECT_EQ(manager->committedImage(), next);
    // A preview puts the working copy in its slot without touching the list.
    auto preview = manager->highQualityPreviewImageWithTransformation(copy);
    EXPECT_EQ((*preview->transformations())[1], copy);
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeBrightness), working);
}

struct ResolutionCase {
    double screenScale;
    int width, height;
    int full[2], screen[2], thumbnail[2];
};

class Resolutions : public testing::TestWithParam<ResolutionCase> {};

TEST_P(Resolutions, HonourTheScreenScale) {
    const ResolutionCase& c = GetParam();
    ScreenScale scale(c.screenScale);
    auto manager = RUXEditManager::create(makePhoto(c.width, c.height));
    auto expectSize = [](const ImageEngine::ImagePtr& image, const int(&size)[2]) {
        ASSERT_TRUE(image);
        EXPECT_EQ(image->extent(), Graphics::Rect(0, 0, size[0], size[1]));
    };
    expectSize(manager->fullImage(), c.full);
    expectSize(manager->lowResImage(), c.screen);
    expectSize(manager->thumbnailImage(), c.thumbnail);
}

INSTANTIATE_TEST_SUITE_P(
    EditManager, Resolutions,
    testing::Values(ResolutionCase{2, 3072, 2048, {3072, 2048}, {1920, 1280}, {528, 352}},
                    ResolutionCase{1, 1536, 1024, {1536, 1024}, {960, 640}, {132, 88}},
                    // Already small: never enlarged.
                    ResolutionCase{1, 120, 80, {120, 80}, {120, 80}, {120, 80}}));

TEST(EditManager, OrientationIsAppliedWhenResizing) {
    ScreenScale scale(1);
    auto bitmap = makeBitmap(40, 20, [](int x, int) {
        return x < 20 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
    });
    // Turned clockwise for display: the left (red) half ends on top.
    auto photo = Graphics::BitmapImage::create(bitmap, 1.0, Graphics::ImageOrientation::Right);
    auto resized = render(RUXEditManager::resizeImage(photo, 640));
    ASSERT_TRUE(resized);
    EXPECT_EQ(resized->width(), 20);
    EXPECT_EQ(resized->height(), 40);
    EXPECT_GT(pixel(*resized, 10, 5)[0], 200);
    EXPECT_GT(pixel(*resized, 10, 35)[2], 200);
    EXPECT_EQ(RUXEditManager::resizeImage(nullptr, 640), nullptr);
}

TEST(EditManager, OriginalOutputIsThePhotosOwnPixelsUpright) {
    ScreenScale scale(2);
    auto bitmap = makeBitmap(3000, 1200, [](int x, int) {
        return x < 1500 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
    });
    // An upright photo is shared, not copied.
    auto upright =
        RUXEditManager::create(Graphics::BitmapImage::create(bitmap), RUXOutputResolution::Original);
    EXPECT_EQ(upright->fullImage()->extent(), Graphics::Rect(0, 0, 3000, 1200));
    EXPECT_EQ(upright->lowResImage()->extent(), Graphics::Rect(0, 0, 3200, 1280));
    // A turned one is turned once, at one pixel per pixel whatever the screen's scale.
    auto turned =
        RUXEditManager::create(Graphics::BitmapImage::create(bitmap, 1.0, Graphics::ImageOrientation::Right),
                               RUXOutputResolution::Original);
    auto rendered = RUXImageRenderer::create()->renderedImage(turned->resultantImage());
    ASSERT_TRUE(rendered);
    const Graphics::Bitmap& saved = *rendered->bitmap();
    ASSERT_EQ(saved.width(), 1200);
    ASSERT_EQ(saved.height(), 3000);
    EXPECT_GT(pixel(saved, 600, 10)[0], 200);
    EXPECT_GT(pixel(saved, 600, 2990)[2], 200);
    EXPECT_EQ(RUXEditManager::create(nullptr, RUXOutputResolution::Original)->fullImage(), nullptr);
}

TEST(EditManager, NoPhotoRendersNothing) {
    auto manager = RUXEditManager::create(nullptr);
    auto renderer = RUXImageRenderer::create();
    EXPECT_EQ(renderer->renderedImage(manager->committedImage()), nullptr);
    EXPECT_EQ(renderer->renderedImage(manager->resultantImage()), nullptr);
}

// Thumbnail tasks render on the pool while the main thread commits, undoes and redoes.
TEST(EditManagerStress, ThumbnailTasksDuringThousandsOfChanges) {
    auto manager = makeManager(48, 32);
    auto renderer = RUXImageRenderer::create();
    std::vector<RUXTransformationPtr> looks{std::make_shared<RUXFilterIdentity>(),
                                            std::make_shared<RUXFilterAden>(),
                                            std::make_shared<RUXFilterVivid>()};
    std::atomic<bool> stop{false};
    std::atomic<int> running{0}, rendered{0}, tornLists{0};
    auto task = [&](RUXTransformationPtr look) {
        while (!stop) {
            auto formula = manager->thumbnailPreviewImageWithTransformation(look);
            // A list is whole: sorted, with the normalisation, one entry per type.
            const auto& list = *formula->transformations();
            std::vector<double> orders = sortOrders(list);
            if (!std::is_sorted(orders.begin(), orders.end()) ||
                std::adjacent_find(orders.begin(), orders.end()) != orders.end() ||
                std::find(orders.begin(), orders.end(), 0.99) == orders.end()) {
                ++tornLists;
            }
            if (renderer->renderedImage(formula)) {
                ++rendered;
            }
            manager->resetThumbnailCache();
        }
        --running;
    };
    for (int i = 0; i < 4; ++i) {
        ++running;
        Foundation::dispatchAsyncGlobal([&, i] { task(looks[i % looks.size()]); });
    }
    // Let every task get going first, so the changes below really meet renders in flight.
    ASSERT_TRUE(Foundation::RunLoop::main().runUntil([&] { return rendered >= 4; },
                                                     std::chrono::milliseconds(60000)));
    const int renderedBefore = rendered;
    std::mt19937 random(7);
    // Thousands of changes, and on until the tasks have rendered a few dozen thumbnails meanwhile
    // (however the threads happen to be scheduled), with a bound so a stuck task cannot hang us.
    for (int step = 0; step < 3000 || (rendered - renderedBefore < 40 && step < 2000000); ++step) {
        switch (random() % 5) {
        case 0: {
            auto rotate = std::static_pointer_cast<RUXRotateTransformation>(
                manager->getOrCreateTransformationWithClass(RUXRotateTransformation::classDescriptor()));
            rotate->rotateClockwise90Degrees();
            manager->commitTransformation(rotate);
            break;
        }
        case 1: {
            auto crop = std::make_shared<RUXCropTransformation>();
            crop->setCropRect(Graphics::Rect(2, 2, 20, 10));
            crop->setOriginalRect(Graphics::Rect(0, 0, 48, 32));
            manager->commitTransformation(crop);
            break;
        }
        case 2:
            manager->commitTransformation(looks[random() % looks.size()]);
            break;
        case 3:
            if (manager->canUndo()) {
                manager->undo();
            }
            break;
        case 4:
            if (manager->canRedo()) {
                manager->redo();
            }
            break;
        }
        if (step % 50 == 0) {
            Foundation::RunLoop::main().runOnce();
        }
    }
    stop = true;
    Foundation::RunLoop::main().runUntil([&] { return running == 0; }, std::chrono::milliseconds(60000));
    EXPECT_EQ(running, 0);
    EXPECT_EQ(tornLists, 0);
    EXPECT_GE(rendered - renderedBefore, 40);
}

} // namespace
