#include <Manager/RUXImageFilterInterface.h>
#include <cmath>

ImageEngine::ImagePtr
RUXFilterOutput(ImageEngine::FilterName name,
                std::initializer_list<std::pair<ImageEngine::InputKey, ImageEngine::FilterValue>> inputs) {
    // A missing image input makes the whole chain empty; say nothing, the caller passes it on.
    for (const auto& input : inputs) {
        if (auto image = std::get_if<ImageEngine::ImagePtr>(&input.second); image && !*image) {
            return nullptr;
        }
    }
    auto filter = ImageEngine::Filter::create(name);
    if (!filter) {
        return nullptr;
    }
    for (const auto& [key, value] : inputs) {
        filter->setValue(key, value);
    }
    return filter->outputImage();
}

Graphics::Rect RUXPixelRectForExtent(const Graphics::Rect& extent) {
    if (extent.isNull() || extent.isInfinite()) {
        return extent;
    }
    auto snap = [](double v) {
        double nearest = std::round(v);
        return std::abs(v - nearest) < 1e-6 ? nearest : v;
    };
    double x0 = snap(extent.minX()), y0 = snap(extent.minY()), x1 = snap(extent.maxX()),
           y1 = snap(extent.maxY());
    return Graphics::Rect(x0, y0, x1 - x0, y1 - y0);
}
