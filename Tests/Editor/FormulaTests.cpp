#include "CountingTransformation.h"
#include "EditorTestSupport.h"

#include <Foundation/Dispatch.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <gtest/gtest.h>

using namespace EditorTest;

RUX_DEFINE_TRANSFORMATION_CLASS(CountingTransformation)
RUX_DEFINE_TRANSFORMATION_CLASS(CountingSubclass)

namespace {

TEST(Formula, WithoutOrWithEmptyListAnswersTheSourceAndADefaultRecord) {
    auto source = solidImage(4, 4, {1, 2, 3, 255});
    for (auto formula :
         {RUXRenderFormula::createWithoutTransformations(source), RUXRenderFormula::create(source, {})}) {
        EXPECT_EQ(formula->resultantImage(), source);
        auto metadata = formula->metadata();
        ASSERT_TRUE(metadata);
        EXPECT_TRUE(metadata->appliedAffineTransform().isIdentity());
        EXPECT_EQ(metadata->translateX(), 0);
        EXPECT_EQ(metadata->translateY(), 0);
    }
}

struct QuickCase {
    RUXPreviewMode mode;
    bool subclassInList;
    bool classNamed; // the preview class is CountingTransformation rather than another class
    int expectedQuick;
};

class QuickMode : public testing::TestWithParam<QuickCase> {};

TEST_P(QuickMode, OnlyTheExactNamedClassGivesItsQuickResult) {
    const QuickCase& c = GetParam();
    RUXTransformationPtr t = c.subclassInList ? RUXTransformationPtr(std::make_shared<CountingSubclass>())
                                              : std::make_shared<CountingTransformation>();
    const RUXClass* named = c.classNamed ? &CountingTransformation::classDescriptor()
                                         : &RUXRotateTransformation::classDescriptor();
    auto formula = RUXRenderFormula::create(solidImage(2, 2, {0, 0, 0, 255}), {t}, c.mode, named);
    formula->resultantImage();
    auto& counting = static_cast<CountingTransformation&>(*t);
    EXPECT_EQ(counting.quickCount, c.expectedQuick);
    EXPECT_EQ(counting.fullCount, 1 - c.expectedQuick);
}

INSTANTIATE_TEST_SUITE_P(Formula, QuickMode,
                         testing::Values(QuickCase{RUXPreviewModeQuick, false, true, 1},
                                         QuickCase{RUXPreviewModeQuick, true, true, 0},
                                         QuickCase{RUXPreviewModeQuick, false, false, 0},
                                         QuickCase{RUXPreviewModeHighQuality, false, true, 0},
                                         QuickCase{RUXPreviewMode{7}, false, true, 0}));

TEST(Formula, FoldsOnceEvenWhenManyThreadsAsk) {
    auto t = std::make_shared<CountingTransformation>();
    auto formula = RUXRenderFormula::create(solidImage(2, 2, {0, 0, 0, 255}), {t});
    // Nothing is folded until someone asks.
    EXPECT_EQ(t->fullCount, 0);
    EXPECT_EQ(formula->renderedImage(), nullptr);
    std::vector<ImageEngine::ImagePtr> results(16);
    std::vector<std::shared_ptr<const RUXImageMetadata>> records(16);
    Foundation::parallelFor(16, [&](std::size_t i) {
        results[i] = formula->resultantImage();
        records[i] = formula->metadata();
    });
    EXPECT_EQ(t->fullCount, 1);
    for (std::size_t i = 1; i < 16; ++i) {
        EXPECT_EQ(results[i], results[0]);
        EXPECT_EQ(records[i], records[0]);
    }
    // Asking again for the record does not fold again; an explicit reprocess does.
    formula->metadata();
    EXPECT_EQ(t->fullCount, 1);
    formula->processFormula();
    EXPECT_EQ(t->fullCount, 2);
}

TEST(Formula, RenderRunsOnceAndTheOthersShareItsBitmap) {
    auto formula = RUXRenderFormula::create(solidImage(2, 2, {0, 0, 0, 255}), {});
    std::atomic<int> renders{0};
    std::vector<std::shared_ptr<const Graphics::BitmapImage>> images(8);
    Foundation::parallelFor(8, [&](std::size_t i) {
        images[i] = formula->ensureRenderedImage([&](RUXRenderFormula&) {
            ++renders;
            return Graphics::BitmapImage::create(makeBitmap(1, 1, [](int, int) {
                return Rgba{0, 0, 0, 255};
            }));
        });
    });
    EXPECT_EQ(renders, 1);
    for (auto& image : images) {
        EXPECT_EQ(image, images[0]);
    }
}

TEST(Formula, KeepsItsOwnCopyOfTheList) {
    RUXTransformationList list{std::make_shared<RUXNormalizeTransformation>()};
    auto formula = RUXRenderFormula::create(solidImage(2, 2, {0, 0, 0, 255}), list);
    list.push_back(std::make_shared<CountingTransformation>());
    ASSERT_EQ(formula->transformations()->size(), 1u);
    EXPECT_EQ(formula->transformations()->front(), list.front());
}

TEST(Formula, RecordAfterRotateCropNormalize) {
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect(Graphics::Rect(10, 20, 30, 40));
    crop->setOriginalRect(Graphics::Rect(0, 0, 100, 80));
    auto formula = RUXRenderFormula::create(solidImage(100, 80, {0, 0, 0, 255}),
                                            {rotate, crop, std::make_shared<RUXNormalizeTransformation>()});
    auto metadata = formula->metadata();
    EXPECT_EQ(metadata->appliedAffineTransform(), rotate->transformMatrix());
    // The cropped, rotated image starts where crop (10, 20, 30, 40) lands after a clockwise turn:
    // x from 20, y from −40.
    EXPECT_NEAR(metadata->translateX(), 20, 1e-9);
    EXPECT_NEAR(metadata->translateY(), -40, 1e-9);
    EXPECT_EQ(RUXPixelRectForExtent(formula->resultantImage()->extent()), Graphics::Rect(0, 0, 40, 30));
}

} // namespace
