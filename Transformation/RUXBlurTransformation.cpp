#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXEngineValues.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXBlurTransformation)

const RUXTransformationDeclaration& RUXBlurTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeBlur;
        d.sortOrder = 100.0;
        d.family = RUXEditFamily::Effect;
        RUXParameter point;
        point.key = std::string("point");
        point.kind = RUXParameterKind::Point;
        point.minValue = 0;
        point.maxValue = 1;
        point.neutralValue = 0.5;
        point.unit = std::string("unit point from the top-left");
        point.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            const Graphics::Point p = static_cast<const RUXBlurTransformation&>(t).point();
            return RUXParameterValue{{p.x, p.y}, {}};
        };
        point.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXBlurTransformation&>(t).setPoint({v.numbers.at(0), v.numbers.at(1)});
        };
        RUXParameter scale;
        scale.key = std::string("scale");
        scale.kind = RUXParameterKind::Scalar;
        scale.minValue = 0;
        scale.maxValue = 4;
        scale.neutralValue = 1;
        scale.unit = std::string("factor of the radii");
        scale.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            return RUXParameterValue{{static_cast<const RUXBlurTransformation&>(t).scale()}, {}};
        };
        scale.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXBlurTransformation&>(t).setScale(v.numbers.at(0));
        };
        RUXParameter flag;
        flag.kind = RUXParameterKind::Group;
        flag.members = {"point", "scale"};
        flag.requiredMembers = 1;
        flag.flag = std::string("--focus-blur");
        flag.flagValue = std::string("X,Y[,SCALE]");
        flag.flagTakes = std::string("X,Y[,SCALE] with a scale of 0 or more");
        flag.help = std::string("takes the unit point from the top-left and an optional scale.");
        flag.flagAccepts = [](const std::vector<double>& n) { return n.size() != 3 || n[2] >= 0; };
        d.parameters = {std::move(point), std::move(scale), std::move(flag)};
        return d;
    }();
    return d;
}

Graphics::Point RUXBlurTransformation::point() const {
    std::lock_guard lock(m_mutex);
    return m_point;
}
void RUXBlurTransformation::setPoint(Graphics::Point point) {
    std::lock_guard lock(m_mutex);
    m_point = point;
}
double RUXBlurTransformation::scale() const {
    std::lock_guard lock(m_mutex);
    return m_scale;
}
void RUXBlurTransformation::setScale(double scale) {
    std::lock_guard lock(m_mutex);
    m_scale = scale;
}

RUXBlurTransformation::Geometry RUXBlurTransformation::geometryForExtent(const Graphics::Rect& extent) const {
    Graphics::Point p;
    double s;
    {
        std::lock_guard lock(m_mutex);
        p = m_point;
        s = m_scale;
    }
    Geometry g;
    if (!RUXIsFinite(p) || !std::isfinite(s)) {
        g.isPlaced = false;
        return g;
    }
    // An empty image has a null extent; its geometry collapses to zero.
    double w = extent.isNull() ? 0 : extent.width(), h = extent.isNull() ? 0 : extent.height();
    g.center = {RUXEngineValue(w * p.x), RUXEngineValue(h - h * p.y)};
    // The radii are handed to the engine in single precision. A huge scale is held where the
    // outer radius reaches the engine's limit, keeping the inner one at a third of it: two equal
    // radii would make the veil's gradient, which runs outer to inner, read as outside everywhere.
    double inner = w * 0.09765625 * s, outer = w * 0.29296875 * s;
    if (std::abs(outer) > kRUXLargestEngineValue) {
        outer = RUXEngineValue(outer);
        inner = outer / 3;
    }
    g.innerRadius = float(inner);
    g.outerRadius = float(outer);
    return g;
}

ImageEngine::ImagePtr RUXBlurTransformation::blurredImageWithSource(const ImageEngine::ImagePtr& image) {
    if (!image) {
        return nullptr;
    }
    auto clamped = RUXFilterOutput(
        RUXFilterName::affineClamp,
        {{RUXFilterKey::image, image}, {RUXFilterKey::transform, Graphics::AffineTransform::identity()}});
    auto blurred = RUXFilterOutput(RUXFilterName::gaussianBlur,
                                   {{RUXFilterKey::image, clamped}, {RUXFilterKey::radius, kBlurRadius}});
    return RUXFilterOutput(RUXFilterName::crop,
                           {{RUXFilterKey::image, blurred},
                            {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(image->extent())}});
}

ImageEngine::ImagePtr
RUXBlurTransformation::createRadialMaskForImage(const ImageEngine::ImagePtr& image) const {
    if (!image) {
        return nullptr;
    }
    Geometry g = geometryForExtent(image->extent());
    if (!g.isPlaced) {
        return nullptr;
    }
    auto gradient =
        RUXFilterOutput(RUXFilterName::radialGradient,
                        {{RUXFilterKey::radius0, g.innerRadius},
                         {RUXFilterKey::radius1, g.outerRadius},
                         {RUXFilterKey::center, ImageEngine::Vector::make(g.center.x, g.center.y)},
                         {RUXFilterKey::color0, ImageEngine::Color{0, 1, 0, 1}},
                         {RUXFilterKey::color1, ImageEngine::Color{0, 1, 0, 0}}});
    return RUXFilterOutput(RUXFilterName::crop,
                           {{RUXFilterKey::image, gradient},
                            {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(image->extent())}});
}

ImageEngine::ImagePtr RUXBlurTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                             RUXImageMetadata&) {
    if (!image || !geometryForExtent(image->extent()).isPlaced) {
        return image;
    }
    auto mask = createRadialMaskForImage(image);
    auto blurred = blurredImageWithSource(image);
    return RUXFilterOutput(RUXFilterName::blendWithMask, {{RUXFilterKey::image, image},
                                                          {RUXFilterKey::backgroundImage, blurred},
                                                          {RUXFilterKey::maskImage, mask}});
}

ImageEngine::ImagePtr RUXBlurTransformation::quickResultFromImage(const ImageEngine::ImagePtr& image,
                                                                  RUXImageMetadata&) {
    if (!image) {
        return nullptr;
    }
    Geometry g = geometryForExtent(image->extent());
    if (!g.isPlaced) {
        return image;
    }
    // The radii run outer to inner, the reverse of the mask, so the veil is clear in the middle.
    // A scale of 0 leaves no sharp region, and the full result blurs everything; a ring of zero
    // width would read as inside everywhere for the reversed gradient, so its inner edge is put
    // just below zero to veil everything instead.
    const double veilInner = g.innerRadius == 0 && g.outerRadius == 0 ? -1e-30 : g.innerRadius;
    auto veil = RUXFilterOutput(RUXFilterName::radialGradient,
                                {{RUXFilterKey::radius0, g.outerRadius},
                                 {RUXFilterKey::radius1, veilInner},
                                 {RUXFilterKey::color0, ImageEngine::Color{1, 1, 1, 0.85}},
                                 {RUXFilterKey::color1, ImageEngine::Color{1, 1, 1, 0}},
                                 {RUXFilterKey::center, ImageEngine::Vector::make(g.center.x, g.center.y)}});
    if (!veil) {
        return nullptr;
    }
    auto cropped = veil->imageByCroppingToRect(image->extent());
    return RUXFilterOutput(RUXFilterName::sourceOverCompositing,
                           {{RUXFilterKey::image, cropped}, {RUXFilterKey::backgroundImage, image}});
}

RUXTransformationPtr RUXBlurTransformation::copy() const {
    auto result = std::make_shared<RUXBlurTransformation>();
    std::lock_guard lock(m_mutex);
    result->m_point = m_point;
    result->m_scale = m_scale;
    return result;
}
