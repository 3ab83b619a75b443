#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Convolution.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXEngineValues.h>
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
    Kernel kernel;
    size = std::max(1, size | 1);
    const int half = (size - 1) / 2;
    const double sigma = half / 3.0;
    kernel.weights.resize(size);
    for (int i = 0; i < size; ++i) {
        // For a single tap sigma is 0 and the centre's 0/0 would be NaN; it is the whole kernel.
        double weight =
            half == 0 ? 255.0 : 255.0 * std::exp(-double(i - half) * (i - half) / (2 * sigma * sigma));
        kernel.weights[i] = static_cast<std::int16_t>(weight);
        kernel.divisor += kernel.weights[i];
    }
    return kernel;
}

namespace {

// A coordinate that is not a number places the circle nowhere; it is moved as far off the picture
// as the engine can still compute with, and huge ones are held there too.
double placeableCoordinate(double v) {
    return std::isnan(v) ? kRUXLargestEngineValue : RUXEngineValue(v);
}

// The sharp picture painted over the (opaque) blurred one with opacity 1 − mask, written over the
// blurred one; each byte is read before it is written.
void blendInto(const Graphics::Bitmap& sharp, Graphics::Bitmap& blurred, const Graphics::Bitmap& mask) {
    const int width = blurred.width();
    Foundation::parallelFor(std::size_t(blurred.height()), [&](std::size_t yIndex) {
        const int y = int(yIndex);
        const std::uint8_t* s = sharp.row(y);
        const std::uint8_t* m = mask.row(y);
        std::uint8_t* out = blurred.mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const int coverage = 255 - m[x];
            const int sharpAlpha = s[4 * x + 3] * coverage / 255;
            for (int c = 0; c < 3; ++c) {
                int v = (s[4 * x + c] * coverage + out[4 * x + c] * (255 - sharpAlpha) + 127) / 255;
                out[4 * x + c] = std::uint8_t(std::min(v, 255));
            }
            out[4 * x + 3] = 255;
        }
    });
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

std::shared_ptr<Graphics::Bitmap>
RUXBeautifulBlurTransformation::circleMask(int width, int height, Graphics::Point point,
                                           const std::shared_ptr<const Graphics::BitmapImage>& circle) {
    auto mask = Graphics::Bitmap::create(width, height, Graphics::PixelFormat::Gray8,
                                         Graphics::AlphaInfo::NoneSkipLast, Graphics::ColorSpace::DeviceGray);
    if (!mask) {
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        std::fill(mask->mutableRow(y), mask->mutableRow(y) + width, 255);
    }
    if (!circle || !circle->bitmap()) {
        return mask;
    }
    const Graphics::Bitmap& art = *circle->bitmap();
    const Graphics::Size artSize = circle->size();
    point = {placeableCoordinate(point.x), placeableCoordinate(point.y)};
    const Graphics::Rect target =
        Graphics::Rect(point.x - artSize.width * 0.5, point.y - artSize.height * 0.5, artSize.width,
                       artSize.height)
            .insetBy(-500, -500);
    const bool gray = art.format() == Graphics::PixelFormat::Gray8;
    const bool opaque = gray || art.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
    // One art sample as (premultiplied grey, alpha) in 0 … 1.
    auto sample = [&](int x, int y, double& level, double& alpha) {
        x = std::clamp(x, 0, art.width() - 1);
        y = std::clamp(y, 0, art.height() - 1);
        const std::uint8_t* p = art.row(y) + x * art.bytesPerPixel();
        if (gray) {
            level = p[0] / 255.0;
            alpha = 1;
            return;
        }
        level = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
        alpha = opaque ? 1.0 : p[3] / 255.0;
    };
    // Clipped to the mask in floating point first: a circle placed far off the picture must not
    // overflow the conversion to pixel indices.
    auto clip = [](double v, int limit) { return int(std::clamp(v, 0.0, double(limit))); };
    const int x0 = clip(std::floor(target.minX()), width), x1 = clip(std::ceil(target.maxX()), width);
    const int y0 = clip(std::floor(target.minY()), height), y1 = clip(std::ceil(target.maxY()), height);
    const double sx = art.width() / target.width(), sy = art.height() / target.height();
    // Draw the art stretched into the target (top-left origin, as the mask's rows run), sampled
    // bilinearly at pixel centres and laid over the white.
    // Rows are independent, so they are drawn on the pool: this is a large part of a full-size
    // render that would otherwise run on one core.
    Foundation::parallelFor(std::size_t(std::max(0, y1 - y0)), [&](std::size_t index) {
        const int y = y0 + int(index);
        std::uint8_t* row = mask->mutableRow(y);
        const double v = (y + 0.5 - target.minY()) * sy - 0.5;
        const int v0 = int(std::floor(v));
        const double fv = v - v0;
        for (int x = x0; x < x1; ++x) {
            const double u = (x + 0.5 - target.minX()) * sx - 0.5;
            const int u0 = int(std::floor(u));
            const double fu = u - u0;
            double l00, a00, l10, a10, l01, a01, l11, a11;
            sample(u0, v0, l00, a00);
            sample(u0 + 1, v0, l10, a10);
            sample(u0, v0 + 1, l01, a01);
            sample(u0 + 1, v0 + 1, l11, a11);
            auto mix = [&](double c00, double c10, double c01, double c11) {
                return (c00 * (1 - fu) + c10 * fu) * (1 - fv) + (c01 * (1 - fu) + c11 * fu) * fv;
            };
            double alpha = mix(a00, a10, a01, a11);
            double level = mix(l00 * a00, l10 * a10, l01 * a01, l11 * a11) + (1 - alpha);
            row[x] = std::uint8_t(std::lround(std::clamp(level, 0.0, 1.0) * 255));
        }
    });
    return mask;
}

std::shared_ptr<Graphics::Bitmap> RUXBeautifulBlurTransformation::blurImage(const Graphics::Bitmap& sharp,
                                                                            const Graphics::Bitmap& blurred,
                                                                            const Graphics::Bitmap& mask) {
    const int width = blurred.width(), height = blurred.height();
    if (sharp.width() != width || sharp.height() != height || mask.width() != width ||
        mask.height() != height) {
        return nullptr;
    }
    auto result = blurred.copy();
    if (!result) {
        return nullptr;
    }
    blendInto(sharp, *result, mask);
    return result;
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                      RUXImageMetadata& metadata) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = RUXPixelRectForExtent(image->extent());
    if (extent.isEmpty() || extent.isInfinite()) {
        return image;
    }
    auto context = ImageEngine::Context::create();
    auto sharp = context->createCGImage(image, extent);
    if (!sharp) {
        return image;
    }
    // The blurred picture is made from the same render rather than rendering the input twice.
    auto blurred =
        ImageEngine::convolvedCopy(*sharp, kernelOfSize(kernelSizeForSize(sharp->width(), sharp->height())));
    if (!blurred) {
        return image;
    }

    Graphics::Point center;
    {
        std::lock_guard lock(m_mutex);
        if (m_point.x == 0 && m_point.y == 0) {
            m_point = {sharp->width() * 0.5, sharp->height() * 0.5};
        }
        center = m_point;
    }
    auto circle = circleArt(RUXCodeBundlePath(), metadata.screenScale() > 0 ? metadata.screenScale()
                                                                            : Graphics::mainScreenScale());
    auto mask = circleMask(sharp->width(), sharp->height(), center, circle);
    if (!mask) {
        return image;
    }
    if (mask->width() != blurred->width() || mask->height() != blurred->height()) {
        return image;
    }
    blendInto(*sharp, *blurred, *mask);
    auto composite = std::move(blurred);
    // The composite's pixels stand where the input's extent was.
    auto result = ImageEngine::Image::createWithBitmap(std::move(composite));
    if (result && (extent.origin.x != 0 || extent.origin.y != 0)) {
        return result->imageByApplyingTransform(
            Graphics::AffineTransform::makeTranslation(extent.origin.x, extent.origin.y));
    }
    return result;
}
