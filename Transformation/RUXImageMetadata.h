#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>

// The record threaded through one render: rotate writes the matrix it applied, normalisation the
// offset it removed, and crop reads both. A formula fills it once while it is processed and only
// reads it afterwards, so it needs no lock of its own.
class RUX_API RUXImageMetadata {
public:
    double translateX() const { return m_translateX; }
    void setTranslateX(double x) { m_translateX = x; }
    double translateY() const { return m_translateY; }
    void setTranslateY(double y) { m_translateY = y; }
    const Graphics::AffineTransform& appliedAffineTransform() const { return m_appliedAffineTransform; }
    void setAppliedAffineTransform(const Graphics::AffineTransform& t) { m_appliedAffineTransform = t; }
    // The screen scale the picture is made for (art drawn into it takes that variant); 0 stands for
    // the main screen's scale, so that the screens need not set it.
    double screenScale() const { return m_screenScale; }
    void setScreenScale(double scale) { m_screenScale = scale; }
    // Pixels of the rendered source per pixel of the photo's own size (its width over the photo's
    // upright width): below 1 for the screen and thumbnail pictures. Edits measured in the photo's
    // own pixels scale by it, so a preview shows what Save gives. 1 when the photo is not known.
    double resolutionScale() const { return m_resolutionScale; }
    void setResolutionScale(double scale) { m_resolutionScale = scale; }

private:
    double m_translateX = 0;
    double m_translateY = 0;
    Graphics::AffineTransform m_appliedAffineTransform = Graphics::AffineTransform::identity();
    double m_screenScale = 0;
    double m_resolutionScale = 1;
};
