#include <Foundation/Bundle.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Convolution.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXEngineValues.h>
#include <Transformation/RUXImageMetadata.h>
#include <Utility/RUXImageUtility.h>
#include <Utility/RUXResourceLocation.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXBeautifulBlurTransformation)

const RUXTransformationDeclaration& RUXBeautifulBlurTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeBlur;
        d.sortOrder = 2.0;
        d.family = RUXEditFamily::Effect;
        RUXParameter point;
        point.key = std::string("point");
        point.kind = RUXParameterKind::Point;
        point.unit = std::string("pixels of the picture it was placed on, from its top-left (0,0: centre)");
        point.flag = std::string("--circle-blur");
        point.flagValue = std::string("X,Y");
        point.flagTakes = std::string("X,Y");
        point.help =
            std::string("takes the point in pixels of the rendered picture from its top-left (0,0: centre).");
        point.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            const Graphics::Point p = static_cast<const RUXBeautifulBlurTransformation&>(t).point();
            return RUXParameterValue{{p.x, p.y}, {}};
        };
        point.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXBeautifulBlurTransformation&>(t).setPoint({v.numbers.at(0), v.numbers.at(1)});
        };
        d.parameters.push_back(std::move(point));
        return d;
    }();
    return d;
}

Graphics::Point RUXBeautifulBlurTransformation::point() const {
    std::lock_guard lock(m_mutex);
    return m_point;
}
void RUXBeautifulBlurTransformation::setPoint(Graphics::Point point) {
    std::lock_guard lock(m_mutex);
    m_point = point;
}
double RUXBeautifulBlurTransformation::scale() const {
    std::lock_guard lock(m_mutex);
    return m_scale;
}
void RUXBeautifulBlurTransformation::setScale(double scale) {
    std::lock_guard lock(m_mutex);
    m_scale = scale;
}
std::size_t RUXBeautifulBlurTransformation::cachedBackgroundCount() const {
    std::lock_guard lock(m_mutex);
    return m_cache.size();
}

RUXTransformationPtr RUXBeautifulBlurTransformation::copy() const {
    auto result = std::make_shared<RUXBeautifulBlurTransformation>();
    result->setPoint(point());
    return result;
}

int RUXBeautifulBlurTransformation::kernelSizeForSize(int width, int height) {
    int n = int(std::min(width, height) * 0.08);
    return 2 * (n / 2) + 1;
}

RUXBeautifulBlurTransformation::Kernel RUXBeautifulBlurTransformation::kernelOfSize(int size) {
    return ImageEngine::integerGaussianKernel(size);
}

namespace {

// A coordinate that is not a number places the circle nowhere; it is moved as far off the picture
// as the engine can still compute with, and huge ones are held there too.
double placeableCoordinate(double v) {
    return std::isnan(v) ? kRUXLargestEngineValue : RUXEngineValue(v);
}

// The circle art of a bundle at the screen's scale, read once: a full render would otherwise decode
// the file every time. A missing file is not remembered, so it is looked for again next time.
std::shared_ptr<const Graphics::BitmapImage> circleArt(const std::string& bundlePath, double screenScale) {
    static std::mutex mutex;
    static std::map<std::pair<std::string, double>, std::shared_ptr<const Graphics::BitmapImage>> cache;
    const auto key = std::make_pair(bundlePath, screenScale);
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end()) {
            return it->second;
        }
    }
    std::shared_ptr<const Graphics::BitmapImage> art =
        RUXImageFromBundle(bundlePath, "circle", "png", screenScale);
    if (art) {
        std::lock_guard lock(mutex);
        cache.emplace(key, art);
    }
    return art;
}

} // namespace

RUXBeautifulBlurTransformation::ConvolutionResult
RUXBeautifulBlurTransformation::convolve(Graphics::Bitmap& bitmap, const Kernel& kernel) {
    return ImageEngine::convolveSeparably(bitmap, kernel);
}

std::shared_ptr<Graphics::BitmapImage> RUXBeautifulBlurTransformation::imageForColor(double red, double green,
                                                                                     double blue,
                                                                                     double alpha,
                                                                                     Graphics::Size size) {
    if (!(size.width > 0 && size.height > 0)) {
        return nullptr;
    }
    auto bitmap = Graphics::Bitmap::create(int(std::ceil(size.width)), int(std::ceil(size.height)));
    if (!bitmap) {
        return nullptr;
    }
    auto byte = [alpha](double c) {
        return std::uint8_t(std::lround(std::clamp(c * alpha, 0.0, 1.0) * 255));
    };
    const std::uint8_t pixel[4] = {byte(red), byte(green), byte(blue),
                                   std::uint8_t(std::lround(std::clamp(alpha, 0.0, 1.0) * 255))};
    for (int y = 0; y < bitmap->height(); ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < bitmap->width(); ++x) {
            std::copy(pixel, pixel + 4, row + 4 * x);
        }
    }
    return Graphics::BitmapImage::create(std::move(bitmap));
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::backgroundForSize(Graphics::Size size) {
    std::lock_guard lock(m_mutex);
    auto key = std::make_pair(size.width, size.height);
    if (auto it = m_cache.find(key); it != m_cache.end()) {
        return it->second;
    }
    auto white = imageForColor(1, 1, 1, 1, size);
    if (!white) {
        return nullptr;
    }
    auto recipe = ImageEngine::Image::createWithBitmap(white->bitmap());
    m_cache.emplace(key, recipe);
    return recipe;
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::quickResultFromImage(const ImageEngine::ImagePtr& image,
                                                                           RUXImageMetadata&) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = image->extent();
    if (extent.isEmpty()) {
        return image;
    }
    const double w = extent.width(), h = extent.height();
    const Graphics::Point p = point();
    const double centerX = placeableCoordinate(p.x), centerY = RUXEngineValue(h - placeableCoordinate(p.y));
    auto gradient = RUXFilterOutput(RUXFilterName::radialGradient,
                                    {{RUXFilterKey::radius0, 100.0},
                                     {RUXFilterKey::radius1, std::max(w, h)},
                                     {RUXFilterKey::center, ImageEngine::Vector::make(centerX, centerY)}});
    return RUXFilterOutput(RUXFilterName::blendWithMask,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::maskImage, gradient},
                            {RUXFilterKey::backgroundImage, backgroundForSize({w, h})}});
}

ImageEngine::ImagePtr
RUXBeautifulBlurTransformation::circleMaskImage(const Graphics::Rect& pixelRect, Graphics::Point point,
                                                const std::shared_ptr<const Graphics::BitmapImage>& circle) {
    if (!circle || !circle->bitmap()) {
        // No art: the mask stays white, so the whole photo shows blurred.
        return RUXFilterOutput(RUXFilterName::stretchedMask, {});
    }
    const Graphics::Size artSize = circle->size();
    point = {placeableCoordinate(point.x), placeableCoordinate(point.y)};
    // The target from the picture's top-left, then in the recipe's coordinates (y up).
    const Graphics::Rect target =
        Graphics::Rect(point.x - artSize.width * 0.5, point.y - artSize.height * 0.5, artSize.width,
                       artSize.height)
            .insetBy(-500, -500);
    const Graphics::Rect placed(pixelRect.minX() + target.minX(), pixelRect.maxY() - target.maxY(),
                                target.width(), target.height());
    return RUXFilterOutput(RUXFilterName::stretchedMask,
                           {{RUXFilterKey::image, ImageEngine::Image::createWithBitmap(circle->bitmap())},
                            {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(placed)}});
}

std::shared_ptr<Graphics::Bitmap>
RUXBeautifulBlurTransformation::circleMask(int width, int height, Graphics::Point point,
                                           const std::shared_ptr<const Graphics::BitmapImage>& circle) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    const Graphics::Rect pixelRect(0, 0, width, height);
    auto rendered =
        ImageEngine::Context::create()->createCGImage(circleMaskImage(pixelRect, point, circle), pixelRect);
    auto mask = Graphics::Bitmap::create(width, height, Graphics::PixelFormat::Gray8,
                                         Graphics::AlphaInfo::NoneSkipLast, Graphics::ColorSpace::DeviceGray);
    if (!rendered || !mask) {
        return nullptr;
    }
    // The mask is grey: any one channel is its level.
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = rendered->row(y);
        std::uint8_t* to = mask->mutableRow(y);
        for (int x = 0; x < width; ++x) {
            to[x] = from[4 * x + 1];
        }
    }
    return mask;
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                      RUXImageMetadata& metadata) {
    if (!image) {
        return nullptr;
    }
    const Graphics::Rect extent = RUXPixelRectForExtent(image->extent());
    if (extent.isEmpty() || extent.isInfinite()) {
        return image;
    }
    // The whole pixels a render of the input covers; beyond the engine's range it cannot be blurred.
    const Graphics::Rect pixelRect = extent.integral();
    constexpr double kLargestSide = 1 << 29;
    if (!(pixelRect.width() < kLargestSide && pixelRect.height() < kLargestSide)) {
        return image;
    }
    const int width = int(pixelRect.width()), height = int(pixelRect.height());

    Graphics::Point center;
    {
        std::lock_guard lock(m_mutex);
        if (m_point.x == 0 && m_point.y == 0) {
            m_point = {width * 0.5, height * 0.5};
        }
        center = m_point;
    }
    auto circle = circleArt(RUXCodeBundlePath(), metadata.screenScale() > 0 ? metadata.screenScale()
                                                                            : Graphics::mainScreenScale());
    auto mask = circleMaskImage(pixelRect, center, circle);
    auto result = RUXFilterOutput(RUXFilterName::circleBlur,
                                  {{RUXFilterKey::image, image},
                                   {RUXFilterKey::maskImage, mask},
                                   {RUXFilterKey::kernelSize, double(kernelSizeForSize(width, height))}});
    if (!result) {
        return image;
    }
    // The blurred picture stands where a bitmap of the input placed at the input's origin would.
    const double dx = extent.origin.x - pixelRect.origin.x, dy = extent.origin.y - pixelRect.origin.y;
    if (dx != 0 || dy != 0) {
        return result->imageByApplyingTransform(Graphics::AffineTransform::makeTranslation(dx, dy));
    }
    return result;
}
