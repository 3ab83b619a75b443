#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <algorithm>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXHighlightsShadowsTransformation)

namespace {

using Self = RUXHighlightsShadowsTransformation;

RUXParameter tone(std::string key, std::string flag, std::string help, float (Self::*get)() const,
                  void (Self::*set)(float)) {
    RUXParameter p;
    p.key = std::move(key);
    p.kind = RUXParameterKind::Scalar;
    p.minValue = -1;
    p.maxValue = 1;
    p.neutralValue = 0;
    p.unit = std::string("lift");
    p.mapping = RUXSliderMapping::Centred;
    p.sliderText = RUXSliderText::Travel;
    p.flag = std::move(flag);
    p.flagValue = std::string("V");
    p.flagTakes = std::string("a number");
    p.help = std::move(help);
    p.get = [get](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
        return RUXParameterValue{{double((static_cast<const Self&>(t).*get)())}, {}};
    };
    p.set = [set](RUXImageTransformation& t, const RUXParameterValue& v) {
        (static_cast<Self&>(t).*set)(float(v.numbers.at(0)));
    };
    // A finite double beyond single precision would be stored as an infinity.
    p.check = [](const RUXParameterValue& v) -> std::string {
        return std::isfinite(float(v.numbers.at(0))) ? "" : "is too large";
    };
    return p;
}

} // namespace

const RUXTransformationDeclaration& RUXHighlightsShadowsTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeWithCode(11);
        d.sortOrder = 0.993;
        d.family = RUXEditFamily::Colour;
        // Documents of version 1 may not hold it.
        d.recipeVersion = 2;
        d.parameters = {tone("highlights", "--highlights",
                             "lifts (above 0) or lowers the tones above middle grey, -1 to 1.",
                             &Self::highlights, &Self::setHighlights),
                        tone("shadows", "--shadows",
                             "lifts (above 0) or lowers the tones below middle grey, -1 to 1.",
                             &Self::shadows, &Self::setShadows)};
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXHighlightsShadowsTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                          RUXImageMetadata&) {
    const float h = highlights(), s = shadows();
    if (!std::isfinite(h) || !std::isfinite(s)) {
        Foundation::log("Highlights %f and shadows %f are not both finite numbers; the adjustment is skipped",
                        double(h), double(s));
        return image;
    }
    if (!image || (h == 0 && s == 0)) {
        return image;
    }
    const Graphics::Rect extent = image->extent();
    if (extent.isNull() || extent.isEmpty() || extent.isInfinite()) {
        return image;
    }
    const double radius = kRadiusFraction * std::max(extent.width(), extent.height());
    return RUXFilterOutput(RUXFilterName::highlightsShadows,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::highlights, std::clamp(double(h), -1.0, 1.0)},
                            {RUXFilterKey::shadows, std::clamp(double(s), -1.0, 1.0)},
                            {RUXFilterKey::radius, radius}});
}

RUXTransformationPtr RUXHighlightsShadowsTransformation::copy() const {
    auto result = std::make_shared<RUXHighlightsShadowsTransformation>();
    result->setHighlights(highlights());
    result->setShadows(shadows());
    return result;
}
