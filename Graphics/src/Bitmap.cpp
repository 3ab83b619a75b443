#include <Foundation/Log.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageSource.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/mman.h>

namespace Graphics {

namespace {
std::atomic<std::uint64_t> g_pixelLimit{100'000'000};
std::atomic<double> g_mainScreenScale{2.0};
constexpr std::size_t kRowAlignment = 16;

// From this size on a bitmap gets pages of its own: the kernel hands them out zeroed, so nothing
// is cleared twice, and in 2 MB pages a photo costs a few dozen page faults instead of tens of
// thousands (on virtual machines each of those is expensive). Smaller buffers, the many
// thumbnails and tiles, stay on the heap.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kMappedFrom = std::size_t(4) << 20;

// The sanitizers watch heap blocks for overruns, not private mappings: under them every bitmap
// stays on the heap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMapLargeBitmaps = false;
#else
constexpr bool kMapLargeBitmaps = true;
#endif

// Zeroed pages of at least `bytes`, starting on a huge-page boundary, or nullptr; `mapped` is the
// length to unmap.
std::uint8_t* mapZeroedPages(std::size_t bytes, std::size_t& mapped) {
    mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t reserved = mapped + kHugePage;
    void* start = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        return nullptr;
    // Trim the reservation to an aligned run so that whole huge pages back it.
    const auto base = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t aligned = (base + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > base)
        munmap(start, aligned - base);
    const std::size_t tail = reserved - (aligned - base) - mapped;
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + mapped), tail);
    auto* pixels = reinterpret_cast<std::uint8_t*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(pixels, mapped, MADV_HUGEPAGE);
#endif
    return pixels;
}
} // namespace

void Bitmap::PixelsDeleter::operator()(std::uint8_t* pixels) const {
    if (!pixels)
        return;
    if (mappedBytes > 0)
        munmap(pixels, mappedBytes);
    else
        delete[] pixels;
}

std::uint64_t Bitmap::pixelLimit() {
    return g_pixelLimit.load(std::memory_order_relaxed);
}
void Bitmap::setPixelLimit(std::uint64_t pixels) {
    g_pixelLimit.store(pixels, std::memory_order_relaxed);
}

std::shared_ptr<Bitmap> Bitmap::create(int width, int height, PixelFormat format, AlphaInfo alpha,
                                       ColorSpace space) {
    if (width <= 0 || height <= 0) {
        Foundation::log("Bitmap: refusing a %d x %d bitmap", width, height);
        return nullptr;
    }
    // Sizes in 64 bits before anything is allocated: width × height × 4 cannot overflow there.
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > pixelLimit()) {
        Foundation::log("Bitmap: %d x %d exceeds the limit of %llu pixels", width, height,
                        static_cast<unsigned long long>(pixelLimit()));
        return nullptr;
    }
    const std::uint64_t bytesPerPixel = format == PixelFormat::RGBA8 ? 4 : 1;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bytesPerPixel + kRowAlignment - 1) /
                                   kRowAlignment * kRowAlignment;
    const std::uint64_t total = rowBytes * static_cast<std::uint64_t>(height);
    std::unique_ptr<std::uint8_t[], PixelsDeleter> data;
    if (kMapLargeBitmaps && total >= kMappedFrom) {
        std::size_t mapped = 0;
        if (std::uint8_t* pixels = mapZeroedPages(static_cast<std::size_t>(total), mapped))
            data = std::unique_ptr<std::uint8_t[], PixelsDeleter>(pixels, PixelsDeleter{mapped});
    }
    if (!data)
        data.reset(new (std::nothrow) std::uint8_t[total]());
    if (!data) {
        Foundation::log("Bitmap: out of memory for %d x %d", width, height);
        return nullptr;
    }
    std::shared_ptr<Bitmap> bitmap(new Bitmap());
    bitmap->m_width = width;
    bitmap->m_height = height;
    bitmap->m_bytesPerRow = static_cast<std::size_t>(rowBytes);
    bitmap->m_format = format;
    bitmap->m_alpha = alpha;
    bitmap->m_space = format == PixelFormat::Gray8 ? ColorSpace::DeviceGray : space;
    bitmap->m_data = std::move(data);
    return bitmap;
}

std::shared_ptr<Bitmap> Bitmap::copy() const {
    std::shared_ptr<Bitmap> result = create(m_width, m_height, m_format, m_alpha, m_space);
    if (result)
        std::memcpy(result->m_data.get(), m_data.get(), m_bytesPerRow * static_cast<std::size_t>(m_height));
    return result;
}

double mainScreenScale() {
    return g_mainScreenScale.load(std::memory_order_relaxed);
}

void setMainScreenScale(double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) {
        Foundation::log("setMainScreenScale: ignoring scale %f", scale);
        return;
    }
    g_mainScreenScale.store(scale, std::memory_order_relaxed);
}

std::shared_ptr<BitmapImage> BitmapImage::create(std::shared_ptr<const Bitmap> bitmap, double scale,
                                                 ImageOrientation orientation) {
    if (!bitmap || !(scale > 0) || !std::isfinite(scale))
        return nullptr;
    return std::make_shared<BitmapImage>(std::move(bitmap), scale, orientation);
}

BitmapImage::BitmapImage(std::shared_ptr<const ImageSource> source, double scale)
    : m_source(std::move(source)), m_scale(scale), m_orientation(m_source->orientation()) {}

ImageSource::~ImageSource() = default;

std::shared_ptr<BitmapImage> BitmapImage::createWithSource(std::shared_ptr<const ImageSource> source,
                                                           double scale) {
    if (!source || !(scale > 0) || !std::isfinite(scale) || source->width() <= 0 || source->height() <= 0)
        return nullptr;
    return std::make_shared<BitmapImage>(std::move(source), scale);
}

const std::shared_ptr<const Bitmap>& BitmapImage::bitmap() const {
    if (!m_source)
        return m_bitmap;
    std::lock_guard lock(m_decodeMutex);
    if (!m_decodeTried) {
        m_decodeTried = true;
        m_bitmap = m_source->decodeCovering(0, 0);
    }
    return m_bitmap;
}

std::shared_ptr<const Bitmap> BitmapImage::bitmapCovering(int minWidth, int minHeight) const {
    if (!m_source)
        return m_bitmap;
    {
        std::lock_guard lock(m_decodeMutex);
        if (m_decodeTried)
            return m_bitmap;
    }
    // Reduced decodes are not kept: each is made for one picture, and several may run at once.
    return m_source->decodeCovering(std::max(minWidth, 0), std::max(minHeight, 0));
}

bool BitmapImage::holdsFullBitmap() const {
    if (!m_source)
        return m_bitmap != nullptr;
    std::lock_guard lock(m_decodeMutex);
    return m_bitmap != nullptr;
}

int BitmapImage::pixelWidth() const {
    return m_source ? m_source->width() : m_bitmap ? m_bitmap->width() : 0;
}

int BitmapImage::pixelHeight() const {
    return m_source ? m_source->height() : m_bitmap ? m_bitmap->height() : 0;
}

Size BitmapImage::size() const {
    double w = pixelWidth() / m_scale, h = pixelHeight() / m_scale;
    switch (m_orientation) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored:
        return {h, w};
    default:
        return {w, h};
    }
}

} // namespace Graphics
