#include "Text/TextEngine.h"

#include <Toolkit/Font.h>
#include <cmath>
#include <numeric>

namespace Toolkit {

namespace {
constexpr double kDefaultPointSize = 17;

double usableSize(double size) {
    return std::isfinite(size) && size > 0 && size < 10000 ? size : kDefaultPointSize;
}
} // namespace

std::shared_ptr<const Font> Font::systemFont(double pointSize) {
    return std::make_shared<const Font>(usableSize(pointSize), false);
}

std::shared_ptr<const Font> Font::boldSystemFont(double pointSize) {
    return std::make_shared<const Font>(usableSize(pointSize), true);
}

double Font::ascender() const {
    return Text::faceMetrics(m_bold).ascender * m_pointSize;
}

double Font::descender() const {
    return Text::faceMetrics(m_bold).descender * m_pointSize;
}

double Font::lineHeight() const {
    return Text::faceMetrics(m_bold).lineHeight * m_pointSize;
}

double Font::widthOfText(const std::string& text) const {
    const std::vector<double> a = Text::advances(Text::decodeUtf8(text), m_bold, m_pointSize);
    return std::accumulate(a.begin(), a.end(), 0.0);
}

} // namespace Toolkit
