#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace Graphics {

namespace {

// Filter taps of one output coordinate: the first source index and its weights (summing to 1).
struct Taps {
    int first = 0;
    int count = 0;
    std::size_t offset = 0; // into Weights::values
};

struct Weights {
    std::vector<Taps> taps;
    std::vector<float> values;
};

// Weights that map `outputCount` samples starting at output pixel `outputStart` onto a source of
// `sourceCount` samples, where output coordinate o corresponds to source coordinate
// (o − origin) × ratio. A triangle filter widened by the reduction factor averages the covered area
// when reducing and interpolates bilinearly when enlarging.
Weights makeWeights(int outputStart, int outputCount, double origin, double ratio, int sourceCount) {
    Weights weights;
    weights.taps.resize(static_cast<std::size_t>(outputCount));
    const double support = std::max(1.0, ratio);
    for (int i = 0; i < outputCount; ++i) {
        const double center = (outputStart + i + 0.5 - origin) * ratio - 0.5;
        int first = static_cast<int>(std::floor(center - support)) + 1;
        int last = static_cast<int>(std::ceil(center + support)) - 1;
        first = std::max(first, 0);
        last = std::min(last, sourceCount - 1);
        Taps& taps = weights.taps[static_cast<std::size_t>(i)];
        taps.first = first;
        taps.offset = weights.values.size();
        double sum = 0;
        for (int s = first; s <= last; ++s) {
            const double w = std::max(0.0, 1.0 - std::abs(s - center) / support);
            weights.values.push_back(static_cast<float>(w));
            sum += w;
        }
        taps.count = std::max(0, last - first + 1);
        if (sum <= 0) {
            // Entirely outside the source: take the nearest edge sample.
            weights.values.resize(taps.offset);
            taps.first = std::clamp(static_cast<int>(std::lround(center)), 0, sourceCount - 1);
            taps.count = 1;
            weights.values.push_back(1.0f);
            continue;
        }
        for (int k = 0; k < taps.count; ++k)
            weights.values[taps.offset + static_cast<std::size_t>(k)] /= static_cast<float>(sum);
    }
    return weights;
}

// Source pixel (x, y) of the raw bitmap that lands on upright pixel (u, v).
void rawForUpright(ImageOrientation orientation, int rawWidth, int rawHeight, int u, int v, int& x, int& y) {
    switch (orientation) {
    case ImageOrientation::Up:
        x = u, y = v;
        break;
    case ImageOrientation::Down:
        x = rawWidth - 1 - u, y = rawHeight - 1 - v;
        break;
    case ImageOrientation::Left:
        x = rawWidth - 1 - v, y = u;
        break;
    case ImageOrientation::Right:
        x = v, y = rawHeight - 1 - u;
        break;
    case ImageOrientation::UpMirrored:
        x = rawWidth - 1 - u, y = v;
        break;
    case ImageOrientation::DownMirrored:
        x = u, y = rawHeight - 1 - v;
        break;
    case ImageOrientation::LeftMirrored:
        x = v, y = u;
        break;
    case ImageOrientation::RightMirrored:
        x = rawWidth - 1 - v, y = rawHeight - 1 - u;
        break;
    }
}

// Expands a source row to premultiplied RGBA bytes whatever its format.
inline void loadPixel(const Bitmap& source, const std::uint8_t* p, float* out) {
    if (source.format() == PixelFormat::Gray8) {
        out[0] = out[1] = out[2] = p[0];
        out[3] = 255;
        return;
    }
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
    out[3] = source.alphaInfo() == AlphaInfo::NoneSkipLast ? 255.0f : p[3];
}

} // namespace

std::shared_ptr<const Bitmap> uprightBitmap(const BitmapImage& image) {
    const std::shared_ptr<const Bitmap>& raw = image.bitmap();
    if (image.orientation() == ImageOrientation::Up)
        return raw;
    const bool sideways = image.orientation() == ImageOrientation::Left ||
                          image.orientation() == ImageOrientation::Right ||
                          image.orientation() == ImageOrientation::LeftMirrored ||
                          image.orientation() == ImageOrientation::RightMirrored;
    const int width = sideways ? raw->height() : raw->width();
    const int height = sideways ? raw->width() : raw->height();
    std::shared_ptr<Bitmap> upright =
        Bitmap::create(width, height, raw->format(), raw->alphaInfo(), raw->colorSpace());
    if (!upright)
        return nullptr;
    const std::size_t bytes = raw->bytesPerPixel();
    Foundation::parallelFor(static_cast<std::size_t>(height), [&](std::size_t row) {
        const int v = static_cast<int>(row);
        std::uint8_t* out = upright->mutableRow(v);
        for (int u = 0; u < width; ++u) {
            int x = u, y = v;
            rawForUpright(image.orientation(), raw->width(), raw->height(), u, v, x, y);
            const std::uint8_t* in = raw->row(y) + static_cast<std::size_t>(x) * bytes;
            for (std::size_t c = 0; c < bytes; ++c)
                out[static_cast<std::size_t>(u) * bytes + c] = in[c];
        }
    });
    return upright;
}

std::unique_ptr<ImageContext> ImageContext::create(Size pointSize, Opacity opacity, double scale) {
    const bool opaque = opacity == Opacity::Opaque;
    if (scale == 0.0)
        scale = mainScreenScale();
    const double pixelWidth = std::ceil(pointSize.width * scale - 1e-9);
    const double pixelHeight = std::ceil(pointSize.height * scale - 1e-9);
    if (!(scale > 0) || !std::isfinite(scale) || !(pixelWidth >= 1) || !(pixelHeight >= 1) ||
        pixelWidth > 1e9 || pixelHeight > 1e9) {
        Foundation::log("ImageContext: cannot make a %g x %g context at scale %g", pointSize.width,
                        pointSize.height, scale);
        return nullptr;
    }
    std::shared_ptr<Bitmap> bitmap =
        Bitmap::create(static_cast<int>(pixelWidth), static_cast<int>(pixelHeight), PixelFormat::RGBA8,
                       opaque ? AlphaInfo::NoneSkipLast : AlphaInfo::PremultipliedLast);
    if (!bitmap)
        return nullptr;
    if (opaque)
        for (int y = 0; y < bitmap->height(); ++y)
            for (int x = 0; x < bitmap->width(); ++x)
                bitmap->mutableRow(y)[x * 4 + 3] = 255;
    return std::unique_ptr<ImageContext>(new ImageContext(std::move(bitmap), pointSize, scale));
}

void ImageContext::drawImage(const BitmapImage& image, const Rect& rect) {
    if (rect.isNull() || rect.isEmpty() || !std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
        !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height))
        return;
    std::shared_ptr<const Bitmap> source = uprightBitmap(image);
    if (!source)
        return;
    // The destination rect in device pixels, and the output pixels whose centres it covers.
    const Rect r = rect.standardized();
    const double x0 = r.minX() * m_scale, y0 = r.minY() * m_scale;
    const double x1 = r.maxX() * m_scale, y1 = r.maxY() * m_scale;
    // Pixel coordinates past ±2^30 (a finite rect can still overflow once scaled) cannot be turned
    // into indices; no picture is drawn that large.
    constexpr double kMaxCoordinate = 1 << 30;
    if (!(std::abs(x0) <= kMaxCoordinate && std::abs(x1) <= kMaxCoordinate &&
          std::abs(y0) <= kMaxCoordinate && std::abs(y1) <= kMaxCoordinate) ||
        !(x1 > x0) || !(y1 > y0)) {
        Foundation::log("ImageContext: not drawing into a %g x %g rect at (%g, %g)", rect.size.width,
                        rect.size.height, rect.origin.x, rect.origin.y);
        return;
    }
    const int firstColumn = std::max(0, static_cast<int>(std::ceil(x0 - 0.5)));
    const int lastColumn = std::min(m_bitmap->width() - 1, static_cast<int>(std::ceil(x1 - 0.5)) - 1);
    const int firstRow = std::max(0, static_cast<int>(std::ceil(y0 - 0.5)));
    const int lastRow = std::min(m_bitmap->height() - 1, static_cast<int>(std::ceil(y1 - 0.5)) - 1);
    if (lastColumn < firstColumn || lastRow < firstRow)
        return;
    const int columns = lastColumn - firstColumn + 1, rows = lastRow - firstRow + 1;
    const Weights horizontal =
        makeWeights(firstColumn, columns, x0, source->width() / (x1 - x0), source->width());
    const Weights vertical = makeWeights(firstRow, rows, y0, source->height() / (y1 - y0), source->height());
    const bool opaqueDestination = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;
    const std::size_t sourceBytes = source->bytesPerPixel();

    // Rows in blocks, so that each task amortises its scratch row.
    constexpr int kRowsPerTask = 16;
    const std::size_t tasks = static_cast<std::size_t>((rows + kRowsPerTask - 1) / kRowsPerTask);
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        std::vector<float> column(static_cast<std::size_t>(source->width()) * 4);
        const int begin = static_cast<int>(task) * kRowsPerTask;
        const int end = std::min(rows, begin + kRowsPerTask);
        for (int i = begin; i < end; ++i) {
            // Vertical pass: the weighted source rows summed into one float row.
            const Taps& vt = vertical.taps[static_cast<std::size_t>(i)];
            std::fill(column.begin(), column.end(), 0.0f);
            const std::size_t width = static_cast<std::size_t>(source->width());
            for (int k = 0; k < vt.count; ++k) {
                const float w = vertical.values[vt.offset + static_cast<std::size_t>(k)];
                const std::uint8_t* in = source->row(vt.first + k);
                if (sourceBytes == 4) {
                    // Byte for byte, which the compiler vectorises; a skipped alpha byte is fixed below.
                    float* acc = column.data();
                    for (std::size_t b = 0; b < width * 4; ++b)
                        acc[b] += w * in[b];
                    continue;
                }
                float pixel[4];
                for (std::size_t x = 0; x < width; ++x) {
                    loadPixel(*source, in + x, pixel);
                    float* acc = column.data() + x * 4;
                    acc[0] += w * pixel[0], acc[1] += w * pixel[1], acc[2] += w * pixel[2],
                        acc[3] += w * pixel[3];
                }
            }
            if (sourceBytes == 4 && source->alphaInfo() == AlphaInfo::NoneSkipLast)
                for (std::size_t x = 0; x < width; ++x)
                    column[x * 4 + 3] = 255.0f;
            // Horizontal pass, then source-over onto the destination row.
            std::uint8_t* out =
                m_bitmap->mutableRow(firstRow + i) + static_cast<std::size_t>(firstColumn) * 4;
            for (int j = 0; j < columns; ++j, out += 4) {
                const Taps& ht = horizontal.taps[static_cast<std::size_t>(j)];
                float acc[4] = {0, 0, 0, 0};
                for (int k = 0; k < ht.count; ++k) {
                    const float w = horizontal.values[ht.offset + static_cast<std::size_t>(k)];
                    const float* p = column.data() + static_cast<std::size_t>(ht.first + k) * 4;
                    acc[0] += w * p[0], acc[1] += w * p[1], acc[2] += w * p[2], acc[3] += w * p[3];
                }
                const float alpha = std::clamp(acc[3], 0.0f, 255.0f);
                const float keep = 1.0f - alpha / 255.0f;
                for (int c = 0; c < 3; ++c) {
                    const float value = std::clamp(acc[c], 0.0f, alpha) + out[c] * keep;
                    out[c] = static_cast<std::uint8_t>(std::min(255.0f, value + 0.5f));
                }
                out[3] = opaqueDestination
                             ? 255
                             : static_cast<std::uint8_t>(std::min(255.0f, alpha + out[3] * keep + 0.5f));
            }
        }
    });
}

std::shared_ptr<BitmapImage> ImageContext::makeImage() const {
    std::shared_ptr<Bitmap> copy = m_bitmap->copy();
    if (!copy)
        return nullptr;
    return BitmapImage::create(std::move(copy), m_scale, ImageOrientation::Up);
}

} // namespace Graphics
