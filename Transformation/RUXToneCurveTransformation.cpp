#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXToneCurveTransformation.h>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXToneCurveTransformation)

const RUXTransformationDeclaration& RUXToneCurveTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeWithCode(13);
        d.sortOrder = 1.4;
        d.family = RUXEditFamily::Colour;
        // Documents of version 1 cannot hold it.
        d.recipeVersion = 2;
        RUXParameter points;
        points.key = std::string("points");
        points.kind = RUXParameterKind::PointList;
        points.minValue = 0;
        points.maxValue = 1;
        points.unit = std::string("encoded value in and out");
        points.flag = std::string("--curve");
        points.flagValue = std::string("\"X,Y X,Y ...\"");
        points.flagTakes = std::string("points X,Y from 0 to 1 separated by spaces");
        points.help =
            std::string("bends the encoded values through the points; 0,0 and 1,1 hold unless given.");
        points.flagAccepts = [](const std::vector<double>& n) {
            for (double v : n) {
                if (v < 0 || v > 1) {
                    return false;
                }
            }
            return true;
        };
        points.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            RUXParameterValue value;
            for (const Graphics::Point& p : static_cast<const RUXToneCurveTransformation&>(t).points()) {
                value.numbers.insert(value.numbers.end(), {p.x, p.y});
            }
            return value;
        };
        points.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            std::vector<Graphics::Point> list;
            for (std::size_t i = 0; i + 1 < v.numbers.size(); i += 2) {
                list.push_back({v.numbers[i], v.numbers[i + 1]});
            }
            static_cast<RUXToneCurveTransformation&>(t).setPoints(std::move(list));
        };
        d.parameters = {std::move(points)};
        return d;
    }();
    return d;
}

std::vector<Graphics::Point> RUXToneCurveTransformation::points() const {
    std::lock_guard lock(m_mutex);
    return m_points;
}

void RUXToneCurveTransformation::setPoints(std::vector<Graphics::Point> points) {
    std::lock_guard lock(m_mutex);
    m_points = std::move(points);
}

ImageEngine::ToneCurve RUXToneCurveTransformation::curve() const {
    std::vector<ImageEngine::ToneCurve::Point> points;
    for (const Graphics::Point& p : this->points()) {
        points.push_back({p.x, p.y});
    }
    return ImageEngine::ToneCurve::throughPoints(points);
}

ImageEngine::ImagePtr RUXToneCurveTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                  RUXImageMetadata&) {
    // The points are read once, as the curve the engine will draw; the identity changes nothing.
    const ImageEngine::ToneCurve c = curve();
    if (!image || c.isIdentity()) {
        return image;
    }
    std::vector<float> numbers;
    for (const ImageEngine::ToneCurve::Point& p : c.points()) {
        numbers.insert(numbers.end(), {float(p.x), float(p.y)});
    }
    auto data = std::make_shared<std::vector<std::uint8_t>>(numbers.size() * sizeof(float));
    std::memcpy(data->data(), numbers.data(), data->size());
    return RUXFilterOutput(
        RUXFilterName::toneCurve,
        {{RUXFilterKey::image, image}, {RUXFilterKey::curvePoints, ImageEngine::Data(std::move(data))}});
}

RUXTransformationPtr RUXToneCurveTransformation::copy() const {
    auto result = std::make_shared<RUXToneCurveTransformation>();
    result->setPoints(points());
    return result;
}
