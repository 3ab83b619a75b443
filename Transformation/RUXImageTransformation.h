#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <ImageEngine/Image.h>
#include <cstdint>
#include <memory>
#include <string>

class RUXImageMetadata;
class RUXImageTransformation;

// The edit slot a transformation fills; the committed list holds at most one per code.
using RUXTransformationType = std::int64_t;
enum : RUXTransformationType {
    RUXTransformationTypeBlur = 0,
    RUXTransformationTypeBrightness = 1,
    RUXTransformationTypeContrast = 2,
    RUXTransformationTypeSaturation = 3,
    RUXTransformationTypeFilter = 4,
    RUXTransformationTypeRotate = 5,
    RUXTransformationTypeCrop = 6,
    RUXTransformationTypeNormalize = 7,
};

using RUXTransformationPtr = std::shared_ptr<RUXImageTransformation>;

// A transformation class used as a value: its name and a factory for a default instance. Each
// class has exactly one descriptor, so two descriptors name the same class only if they are the
// same object; a subclass has its own descriptor and never matches its parent's.
struct RUX_API RUXClass {
    const char* name;
    RUXTransformationPtr (*factory)();

    // A new default instance, owned by the caller; never nullptr. Any thread.
    RUXTransformationPtr create() const { return factory(); }
};

// Declares the class descriptor and the exact-class query of a concrete transformation class.
#define RUX_TRANSFORMATION_CLASS(ClassName)                                                                  \
public:                                                                                                      \
    static const RUXClass& classDescriptor();                                                                \
    const RUXClass& transformationClass() const override {                                                   \
        return classDescriptor();                                                                            \
    }                                                                                                        \
                                                                                                             \
private:

// Defines what RUX_TRANSFORMATION_CLASS declared; ClassName must be default-constructible.
#define RUX_DEFINE_TRANSFORMATION_CLASS(ClassName)                                                           \
    const RUXClass& ClassName::classDescriptor() {                                                           \
        static const RUXClass descriptor{                                                                    \
            #ClassName, []() -> RUXTransformationPtr { return std::make_shared<ClassName>(); }};             \
        return descriptor;                                                                                   \
    }

// One edit: a small parameter object that turns an input recipe into an output recipe. The
// result operations only build recipes (they never render) and never change their input. A
// transformation that has been committed is never changed again; screens edit copies. Parameter
// fields are guarded so that a working copy may be changed on the main thread while a preview
// holding it is built on a background thread: a recipe reads each parameter once and keeps it.
class RUX_API RUXImageTransformation {
public:
    virtual ~RUXImageTransformation() = default;

    // The exact class of this object (a subclass answers its own). Any thread.
    virtual const RUXClass& transformationClass() const = 0;
    virtual RUXTransformationType type() const = 0;
    // Lower runs earlier in a render.
    virtual double sortOrder() const = 0;

    // The output recipe for image, reading and writing the render's metadata record; nullptr
    // flows through (a nullptr input gives a nullptr output). The caller owns the result. Any
    // thread.
    virtual ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                                  RUXImageMetadata& metadata) = 0;
    // A cheaper stand-in used while a control is being dragged; by default the full result.
    virtual ImageEngine::ImagePtr quickResultFromImage(const ImageEngine::ImagePtr& image,
                                                       RUXImageMetadata& metadata) {
        return resultFromImage(image, metadata);
    }

    // Whether the class answers isAppliedToThumbnail at all; a class that does not counts as
    // not applied. Ask this before calling isAppliedToThumbnail.
    virtual bool respondsToIsAppliedToThumbnail() const { return false; }
    virtual bool isAppliedToThumbnail() const { return false; }

    // A new, independent instance of the same class carrying the class's copied fields (the
    // rest keep their defaults). Never nullptr; the caller owns it. Any thread.
    virtual RUXTransformationPtr copy() const = 0;
};

// An edit placed at a point of the image, with a size factor.
class RUX_API RUXPositionalTransformation : public RUXImageTransformation {
public:
    virtual Graphics::Point point() const = 0;
    virtual void setPoint(Graphics::Point point) = 0;
    virtual double scale() const = 0;
    virtual void setScale(double scale) = 0;

    // Whether the class answers the four gesture notifications; ask before sending them.
    virtual bool respondsToGestureNotifications() const { return false; }
    virtual void startPanningAt(Graphics::Point) {}
    virtual void stopPanning() {}
    virtual void startScalingAt(double) {}
    virtual void stopScaling() {}
};

// A one-value edit with its range and neutral value; value() is never clamped.
class RUX_API RUXScalarTransformation : public RUXImageTransformation {
public:
    virtual float minValue() const = 0;
    virtual float maxValue() const = 0;
    virtual float defaultValue() const = 0;
    virtual float value() const = 0;
    virtual void setValue(float value) = 0;
};
