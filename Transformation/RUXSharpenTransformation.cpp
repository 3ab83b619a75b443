#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXSharpenTransformation)

const RUXTransformationDeclaration& RUXSharpenTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d =
            declare(classDescriptor(), RUXTransformationTypeWithCode(15), 4.0, 0, 3, 0, "amount", "");
        d.family = RUXEditFamily::Effect;
        // Documents of version 1 may not hold it.
        d.recipeVersion = 2;
        d.parameters.front().key = std::string("amount");
        RUXParameter radius;
        radius.key = std::string("radius");
        radius.kind = RUXParameterKind::Scalar;
        radius.minValue = 0.5;
        radius.maxValue = 3;
        radius.neutralValue = kDefaultRadius;
        radius.unit = std::string("pixels of the photo");
        radius.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            return RUXParameterValue{{double(static_cast<const RUXSharpenTransformation&>(t).radius())}, {}};
        };
        radius.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXSharpenTransformation&>(t).setRadius(float(v.numbers.at(0)));
        };
        radius.check = [](const RUXParameterValue& v) -> std::string {
            return std::isfinite(float(v.numbers.at(0))) ? "" : "is too large";
        };
        RUXParameter flag;
        flag.kind = RUXParameterKind::Group;
        flag.members = {std::string("amount"), std::string("radius")};
        flag.requiredMembers = 1;
        flag.flag = std::string("--sharpen");
        flag.flagValue = std::string("AMOUNT[,RADIUS]");
        flag.flagTakes = std::string("AMOUNT[,RADIUS] with an amount of 0 or more and a radius above 0");
        flag.help =
            std::string("takes the amount (0 to 3) and an optional radius in pixels of the photo (0.5 to 3, "
                        "default 1).");
        flag.flagAccepts = [](const std::vector<double>& n) {
            return !n.empty() && n[0] >= 0 && float(n[0]) <= 1e6f &&
                   (n.size() < 2 || (n[1] > 0 && n[1] <= 1e6));
        };
        d.parameters.push_back(std::move(radius));
        d.parameters.push_back(std::move(flag));
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXSharpenTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                RUXImageMetadata& metadata) {
    const float amount = value(), r = radius();
    const double scale = metadata.resolutionScale();
    if (!std::isfinite(amount) || !std::isfinite(r) || !std::isfinite(scale)) {
        Foundation::log("Sharpening amount %f or radius %f is not a finite number; the sharpening is skipped",
                        double(amount), double(r));
        return image;
    }
    if (!image || amount == 0 || !(r > 0) || !(scale > 0)) {
        return image;
    }
    // The radius is in the photo's own pixels; the picture being rendered may be smaller.
    return RUXFilterOutput(RUXFilterName::sharpenLuminance, {{RUXFilterKey::image, image},
                                                             {RUXFilterKey::amount, double(amount)},
                                                             {RUXFilterKey::radius, double(r) * scale}});
}

RUXTransformationPtr RUXSharpenTransformation::copy() const {
    auto result = std::make_shared<RUXSharpenTransformation>();
    result->setValue(value());
    result->setRadius(radius());
    return result;
}
