#pragma once

// The main screen's scale is process-wide; this guard restores it also when a test returns early.

#include <Graphics/BitmapImage.h>

namespace TestSupport {

// Sets the main screen's scale while it lives.
class MainScreenScale {
public:
    explicit MainScreenScale(double scale) : m_saved(Graphics::mainScreenScale()) {
        Graphics::setMainScreenScale(scale);
    }
    ~MainScreenScale() { Graphics::setMainScreenScale(m_saved); }
    MainScreenScale(const MainScreenScale&) = delete;
    MainScreenScale& operator=(const MainScreenScale&) = delete;

private:
    double m_saved;
};

} // namespace TestSupport
