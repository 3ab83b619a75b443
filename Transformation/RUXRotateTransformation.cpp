#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXRotateTransformation.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXRotateTransformation)

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
    auto result = RUXFilterOutput("CIAffineTransform",
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
