#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXRotateTransformation.h>
#include <algorithm>
#include <cmath>
#include <vector>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXRotateTransformation)

namespace {

// Quarter turns and mirrors leave only 0 and ±1 in the matrix, give or take the residues of
// cos(π/2) that repeated turns accumulate (about 1e-16 each).
constexpr double kMatrixTolerance = 1e-9;

bool isQuarterTurnsAndMirrors(const std::vector<double>& m) {
    auto near = [](double v, double target) { return std::abs(v - target) <= kMatrixTolerance; };
    auto unitOrZero = [&](double v) { return near(v, 0) || near(v, 1) || near(v, -1); };
    if (!std::all_of(m.begin(), m.begin() + 4, unitOrZero) || !near(m[4], 0) || !near(m[5], 0)) {
        return false;
    }
    return near(std::abs(m[0] * m[3] - m[1] * m[2]), 1);
}

RUXParameter direction(const char* key, int (RUXRotateTransformation::*get)() const,
                       void (RUXRotateTransformation::*set)(int)) {
    RUXParameter p;
    p.key = std::string(key);
    p.kind = RUXParameterKind::Sign;
    p.minValue = -1;
    p.maxValue = 1;
    p.neutralValue = 1;
    p.unit = std::string("sign");
    p.get = [get](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
        return RUXParameterValue{{double((static_cast<const RUXRotateTransformation&>(t).*get)())}, {}};
    };
    p.set = [set](RUXImageTransformation& t, const RUXParameterValue& v) {
        (static_cast<RUXRotateTransformation&>(t).*set)(int(v.numbers.at(0)));
    };
    return p;
}

} // namespace

// The turns are actions on the rotate screen and rux-render's --rotate and --flip, not values: no
// parameter has a flag.
const RUXTransformationDeclaration& RUXRotateTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeRotate;
        d.sortOrder = 0.0;
        d.family = RUXEditFamily::Geometry;
        RUXParameter matrix;
        matrix.key = std::string("matrix");
        matrix.kind = RUXParameterKind::Matrix;
        matrix.unit = std::string("affine matrix a, b, c, d, tx, ty");
        matrix.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            const Graphics::AffineTransform m =
                static_cast<const RUXRotateTransformation&>(t).transformMatrix();
            return RUXParameterValue{{m.a, m.b, m.c, m.d, m.tx, m.ty}, {}};
        };
        matrix.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            const auto& m = v.numbers;
            static_cast<RUXRotateTransformation&>(t).setTransformMatrix(
                {m.at(0), m.at(1), m.at(2), m.at(3), m.at(4), m.at(5)});
        };
        matrix.check = [](const RUXParameterValue& v) -> std::string {
            return isQuarterTurnsAndMirrors(v.numbers) ? "" : "is not made of quarter turns and mirrors";
        };
        d.parameters.push_back(std::move(matrix));
        d.parameters.push_back(direction("flipDirection", &RUXRotateTransformation::flipDirection,
                                         &RUXRotateTransformation::setFlipDirection));
        d.parameters.push_back(direction("rotateDirection", &RUXRotateTransformation::rotateDirection,
                                         &RUXRotateTransformation::setRotateDirection));
        return d;
    }();
    return d;
}

namespace {
constexpr double kQuarterTurn = 1.5707963267948966;

// The platform's rotate: elementary rotation × current, with no snapping of the cos(π/2)
// residues, so that sequences of turns reproduce the platform's matrices bit for bit.
Graphics::AffineTransform rotated(const Graphics::AffineTransform& m, double angle) {
    double s = std::sin(angle), c = std::cos(angle);
    return Graphics::AffineTransform::concat({c, s, -s, c, 0, 0}, m);
}
} // namespace

void RUXRotateTransformation::rotate(double angle) {
    std::lock_guard lock(m_mutex);
    m_transformMatrix = rotated(m_transformMatrix, m_rotateDirection * angle);
    m_flipDirection = -m_flipDirection;
}

void RUXRotateTransformation::flip(double sx, double sy) {
    std::lock_guard lock(m_mutex);
    m_transformMatrix = m_transformMatrix.scaled(sx * m_flipDirection, sy * m_flipDirection);
    m_rotateDirection = -m_rotateDirection;
}

void RUXRotateTransformation::rotateClockwise90Degrees() {
    rotate(-kQuarterTurn);
}
void RUXRotateTransformation::rotateCounterClockwise90Degrees() {
    rotate(kQuarterTurn);
}
void RUXRotateTransformation::flipHorizontal() {
    flip(-1, 1);
}
void RUXRotateTransformation::flipVertical() {
    flip(1, -1);
}

ImageEngine::ImagePtr RUXRotateTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                               RUXImageMetadata& metadata) {
    Graphics::AffineTransform matrix = transformMatrix();
    if (!matrix.inverted()) {
        // Turns and flips are always invertible; a matrix set from outside that is not would
        // collapse or poison the picture, and crop could not map back through it.
        Foundation::log("Rotate matrix (%f, %f, %f, %f, %f, %f) has no inverse; the image is left unturned",
                        matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty);
        metadata.setAppliedAffineTransform(Graphics::AffineTransform::identity());
        return image;
    }
    auto result = RUXFilterOutput(RUXFilterName::affineTransform,
                                  {{RUXFilterKey::image, image}, {RUXFilterKey::transform, matrix}});
    metadata.setAppliedAffineTransform(matrix);
    return result;
}

RUXTransformationPtr RUXRotateTransformation::copy() const {
    auto result = std::make_shared<RUXRotateTransformation>();
    std::lock_guard lock(m_mutex);
    result->m_transformMatrix = m_transformMatrix;
    result->m_flipDirection = m_flipDirection;
    result->m_rotateDirection = m_rotateDirection;
    return result;
}

Graphics::AffineTransform RUXRotateTransformation::transformMatrix() const {
    std::lock_guard lock(m_mutex);
    return m_transformMatrix;
}
void RUXRotateTransformation::setTransformMatrix(const Graphics::AffineTransform& matrix) {
    std::lock_guard lock(m_mutex);
    m_transformMatrix = matrix;
}
int RUXRotateTransformation::flipDirection() const {
    std::lock_guard lock(m_mutex);
    return m_flipDirection;
}
void RUXRotateTransformation::setFlipDirection(int direction) {
    std::lock_guard lock(m_mutex);
    m_flipDirection = direction;
}
int RUXRotateTransformation::rotateDirection() const {
    std::lock_guard lock(m_mutex);
    return m_rotateDirection;
}
void RUXRotateTransformation::setRotateDirection(int direction) {
    std::lock_guard lock(m_mutex);
    m_rotateDirection = direction;
}
