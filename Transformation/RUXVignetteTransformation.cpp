#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXVignetteTransformation)

namespace {

RUXParameter shapeParameter(const char* key, double (RUXVignetteTransformation::*get)() const,
                            void (RUXVignetteTransformation::*set)(double)) {
    RUXParameter p;
    p.key = std::string(key);
    p.kind = RUXParameterKind::Scalar;
    p.minValue = 0;
    p.maxValue = 1;
    p.neutralValue = 0.5;
    p.unit = std::string("fraction from the centre to the corners");
    p.get = [get](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
        return RUXParameterValue{{(static_cast<const RUXVignetteTransformation&>(t).*get)()}, {}};
    };
    p.set = [set](RUXImageTransformation& t, const RUXParameterValue& v) {
        (static_cast<RUXVignetteTransformation&>(t).*set)(v.numbers.at(0));
    };
    return p;
}

} // namespace

const RUXTransformationDeclaration& RUXVignetteTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d = declare(classDescriptor(), RUXTransformationTypeWithCode(14), 3.5,
                                                 -1, 1, 0, "half the stops at the corners", "");
        d.family = RUXEditFamily::Effect;
        // Documents of version 1 cannot hold it.
        d.recipeVersion = 2;
        // The amount keeps the key "value", by which the slider screens find a one-value edit.
        d.parameters.front().caption = std::string("Amount");
        d.parameters.push_back(shapeParameter("midpoint", &RUXVignetteTransformation::midpoint,
                                              &RUXVignetteTransformation::setMidpoint));
        d.parameters.push_back(shapeParameter("feather", &RUXVignetteTransformation::feather,
                                              &RUXVignetteTransformation::setFeather));
        d.parameters.back().unit = std::string("fraction of the widest fall-off");
        RUXParameter flag;
        flag.kind = RUXParameterKind::Group;
        flag.members = {"value", "midpoint", "feather"};
        flag.requiredMembers = 1;
        flag.flag = std::string("--vignette");
        flag.flagValue = std::string("A[,MIDPOINT[,FEATHER]]");
        flag.flagTakes = std::string("A[,MIDPOINT[,FEATHER]] with A from -1 to 1 and the others from 0 to 1");
        flag.help =
            std::string("darkens (A < 0) or lightens the corners; midpoint and feather default to 0.5.");
        flag.flagAccepts = [](const std::vector<double>& n) {
            if (n[0] < -1 || n[0] > 1) {
                return false;
            }
            return std::all_of(n.begin() + 1, n.end(), [](double v) { return v >= 0 && v <= 1; });
        };
        d.parameters.push_back(std::move(flag));
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXVignetteTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    const float amount = value();
    const double middle = midpoint(), width = feather();
    if (!std::isfinite(amount) || !std::isfinite(middle) || !std::isfinite(width)) {
        Foundation::log(
            "Vignette amount %f, midpoint %f or feather %f is not a finite number; the vignette is "
            "skipped",
            double(amount), middle, width);
        return image;
    }
    if (!image || amount == 0) {
        return image;
    }
    return RUXFilterOutput(RUXFilterName::vignette,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(image->extent())},
                            {RUXFilterKey::amount, std::clamp(double(amount), -32.0, 32.0)},
                            {RUXFilterKey::midpoint, std::clamp(middle, 0.0, 1.0)},
                            {RUXFilterKey::feather, std::clamp(width, 0.0, 1.0)}});
}

RUXTransformationPtr RUXVignetteTransformation::copy() const {
    auto result = std::make_shared<RUXVignetteTransformation>();
    result->setValue(value());
    result->setMidpoint(midpoint());
    result->setFeather(feather());
    return result;
}
