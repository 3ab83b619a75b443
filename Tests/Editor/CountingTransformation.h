#pragma once

#include <Transformation/RUXImageTransformation.h>
#include <atomic>

// Counts how often each result is asked for and passes the image through, so tests can see which
// path a formula took and how often it folded.
class CountingTransformation : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(CountingTransformation)
public:
    RUXTransformationType type() const override { return RUXTransformationTypeBrightness; }
    double sortOrder() const override { return 1.0; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image, RUXImageMetadata&) override {
        ++fullCount;
        return image;
    }
    ImageEngine::ImagePtr quickResultFromImage(const ImageEngine::ImagePtr& image,
                                               RUXImageMetadata&) override {
        ++quickCount;
        return image;
    }
    RUXTransformationPtr copy() const override { return std::make_shared<CountingTransformation>(); }
    std::atomic<int> fullCount{0};
    std::atomic<int> quickCount{0};
};

// A subclass, which must never be taken for its parent.
class CountingSubclass final : public CountingTransformation {
    RUX_TRANSFORMATION_CLASS(CountingSubclass)
};
