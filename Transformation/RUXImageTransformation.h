#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <ImageEngine/Image.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class RUXImageMetadata;
class RUXImageTransformation;

// The edit slot a transformation fills; the committed list holds at most one per code. The editor's
// own slots are 0 … 7; a class added later takes a code of its own from 8 up, so the type holds any
// 64-bit code, not only the named ones.
enum class RUXTransformationType : std::int64_t {
    Blur = 0,
    Brightness = 1,
    Contrast = 2,
    Saturation = 3,
    Filter = 4,
    Rotate = 5,
    Crop = 6,
    Normalize = 7,
};
// The editor's slots by the names the rest of the code uses.
inline constexpr RUXTransformationType RUXTransformationTypeBlur = RUXTransformationType::Blur;
inline constexpr RUXTransformationType RUXTransformationTypeBrightness = RUXTransformationType::Brightness;
inline constexpr RUXTransformationType RUXTransformationTypeContrast = RUXTransformationType::Contrast;
inline constexpr RUXTransformationType RUXTransformationTypeSaturation = RUXTransformationType::Saturation;
inline constexpr RUXTransformationType RUXTransformationTypeFilter = RUXTransformationType::Filter;
inline constexpr RUXTransformationType RUXTransformationTypeRotate = RUXTransformationType::Rotate;
inline constexpr RUXTransformationType RUXTransformationTypeCrop = RUXTransformationType::Crop;
inline constexpr RUXTransformationType RUXTransformationTypeNormalize = RUXTransformationType::Normalize;

// The first code of the classes added after the editor's own; below it only the look slot is shared.
inline constexpr RUXTransformationType RUXFirstAddedTransformationType{8};

// The number a type stands for, and the type a number stands for (any code, named or not), for logs
// and for codes that arrive as numbers.
constexpr std::int64_t RUXTransformationTypeCode(RUXTransformationType type) {
    return static_cast<std::int64_t>(type);
}
constexpr RUXTransformationType RUXTransformationTypeWithCode(std::int64_t code) {
    return static_cast<RUXTransformationType>(code);
}

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

    // Whether the filter strip's thumbnails apply this edit; std::nullopt for a class that has no
    // answer, which counts as not applied. Any thread.
    virtual std::optional<bool> isAppliedToThumbnail() const { return std::nullopt; }

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

    // Told when a pan or pinch on the image begins and ends, before the point or scale it sets;
    // a class that has no use for them keeps these empty defaults. Main thread.
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
