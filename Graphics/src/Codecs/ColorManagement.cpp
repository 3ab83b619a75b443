// Colour conversion to sRGB through LittleCMS. Decoders hand over the pixels they produced together
// with whatever the file said about their colour; everything after decoding works in sRGB.
#include "ColorManagement.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <lcms2.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace Graphics {

namespace {

// Distinct profiles a process meets are few (a camera's, a phone's, a few working spaces); a cap
// keeps a stream of hostile files from growing the cache without bound.
constexpr std::size_t kMaxCachedTransforms = 32;
// Rows per task when a transform is spread over the pool: large enough to amortise the hand-over.
constexpr int kRowsPerTask = 64;

struct ProfileCloser {
    void operator()(void* profile) const {
        if (profile)
            cmsCloseProfile(profile);
    }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// A cached outcome for one source: a transform, or the knowledge that the pixels are already sRGB
// (or must be taken as such).
struct Conversion {
    cmsHTRANSFORM transform = nullptr;
    ~Conversion() {
        if (transform)
            cmsDeleteTransform(transform);
    }
};

Profile makeSRGB() {
    return Profile(cmsCreate_sRGBProfile());
}

cmsToneCurve* srgbCurve() {
    const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

Profile rgbProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
    if (!curve)
        return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return profile;
}

// Whether a profile's matrix and curves are sRGB's, so that the common sRGB-tagged photo costs
// nothing. A near miss is converted, which is correct, only slower.
bool describesSRGB(cmsHPROFILE profile) {
    if (cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile))
        return false;
    static const Profile srgb = makeSRGB();
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        auto* ours = static_cast<cmsCIEXYZ*>(cmsReadTag(profile, colorants[c]));
        auto* theirs = static_cast<cmsCIEXYZ*>(cmsReadTag(srgb.get(), colorants[c]));
        if (!ours || !theirs || std::abs(ours->X - theirs->X) > 0.002 ||
            std::abs(ours->Y - theirs->Y) > 0.002 || std::abs(ours->Z - theirs->Z) > 0.002)
            return false;
        auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        auto* reference = static_cast<cmsToneCurve*>(cmsReadTag(srgb.get(), curves[c]));
        if (!curve || !reference)
            return false;
        for (int i = 0; i <= 32; ++i) {
            const float x = static_cast<float>(i) / 32;
            if (std::abs(cmsEvalToneCurveFloat(curve, x) - cmsEvalToneCurveFloat(reference, x)) > 0.4f / 255)
                return false;
        }
    }
    return true;
}

const cmsCIExyY kD65{0.3127, 0.3290, 1.0};
const cmsCIExyYTRIPLE kBT709{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};

// PNG's gAMA and cHRM as a profile; nullptr when they describe sRGB or make no sense.
Profile profileFromPngChunks(const ColorSource& source) {
    if (source.fileGamma && !(*source.fileGamma > 0.01 && *source.fileGamma < 10)) {
        Foundation::log("Colour: PNG gamma %g ignored, taken as sRGB", *source.fileGamma);
        return nullptr;
    }
    cmsCIExyY white = kD65;
    cmsCIExyYTRIPLE primaries = kBT709;
    if (source.chromaticities) {
        const auto& c = *source.chromaticities;
        white = {c[0], c[1], 1.0};
        primaries = {{c[2], c[3], 1.0}, {c[4], c[5], 1.0}, {c[6], c[7], 1.0}};
    }
    cmsToneCurve* curve = source.fileGamma ? cmsBuildGamma(nullptr, 1.0 / *source.fileGamma) : srgbCurve();
    Profile profile = rgbProfile(white, primaries, curve);
    if (!profile)
        Foundation::log("Colour: PNG chromaticities make no profile, taken as sRGB");
    return profile;
}

// H.273 colour primaries and transfer characteristics as a profile; nullptr for sRGB and what we
// do not know (taken as sRGB).
Profile profileFromCicp(int primariesCode, int transferCode) {
    cmsCIExyY white = kD65;
    cmsCIExyYTRIPLE primaries = kBT709;
    switch (primariesCode) {
    case 1: // BT.709, sRGB
    case 2: // unspecified
        break;
    case 4: // BT.470 M
        white = {0.310, 0.316, 1.0};
        primaries = {{0.67, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.14, 0.08, 1.0}};
        break;
    case 5: // BT.470 BG
        primaries = {{0.64, 0.33, 1.0}, {0.29, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        break;
    case 6: // SMPTE 170M
    case 7: // SMPTE 240M
        primaries = {{0.630, 0.340, 1.0}, {0.310, 0.595, 1.0}, {0.155, 0.070, 1.0}};
        break;
    case 9: // BT.2020
        primaries = {{0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}};
        break;
    case 11: // DCI-P3
        white = {0.314, 0.351, 1.0};
        [[fallthrough]];
    case 12: // Display P3
        primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
        break;
    default:
        Foundation::log("Colour: colour primaries %d unknown, taken as sRGB", primariesCode);
        return nullptr;
    }
    // Video's BT.709-family curves are shown as sRGB, as displays and browsers do; HDR curves (PQ,
    // HLG) have no 8-bit sRGB rendering we stand behind, so they get the sRGB curve too.
    cmsToneCurve* curve = nullptr;
    bool srgbTransfer = false;
    switch (transferCode) {
    case 4:
        curve = cmsBuildGamma(nullptr, 2.2);
        break;
    case 5:
        curve = cmsBuildGamma(nullptr, 2.8);
        break;
    case 8:
        curve = cmsBuildGamma(nullptr, 1.0);
        break;
    case 16:
    case 18:
        Foundation::log("Colour: HDR transfer %d shown with the sRGB curve", transferCode);
        srgbTransfer = true;
        break;
    default:
        srgbTransfer = true;
        break;
    }
    if (srgbTransfer) {
        if (primariesCode == 1 || primariesCode == 2)
            return nullptr;
        curve = srgbCurve();
    }
    return rgbProfile(white, primaries, curve);
}

cmsUInt32Number inputFormat(SampleLayout layout) {
    switch (layout) {
    case SampleLayout::GrayInRGBA:
        return COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(3) | BYTES_SH(1);
    case SampleLayout::CMYK:
        return TYPE_CMYK_8;
    case SampleLayout::CMYKInverted:
        return TYPE_CMYK_8_REV;
    case SampleLayout::PackedRGBAtRowEnd:
        return TYPE_RGB_8;
    case SampleLayout::RGBA:
        break;
    }
    return TYPE_RGBA_8;
}

cmsColorSpaceSignature spaceOf(SampleLayout layout) {
    switch (layout) {
    case SampleLayout::GrayInRGBA:
        return cmsSigGrayData;
    case SampleLayout::CMYK:
    case SampleLayout::CMYKInverted:
        return cmsSigCmykData;
    case SampleLayout::RGBA:
    case SampleLayout::PackedRGBAtRowEnd:
        break;
    }
    return cmsSigRgbData;
}

bool isRGB(SampleLayout layout) {
    return layout == SampleLayout::RGBA || layout == SampleLayout::PackedRGBAtRowEnd;
}

// Builds the conversion for a source; an empty one (no transform) means "already sRGB".
std::shared_ptr<Conversion> buildConversion(SampleLayout layout, const ColorSource& source) {
    auto conversion = std::make_shared<Conversion>();
    Profile profile;
    if (!source.icc.empty()) {
        profile.reset(
            cmsOpenProfileFromMem(source.icc.data(), static_cast<cmsUInt32Number>(source.icc.size())));
        if (!profile) {
            Foundation::log("Colour: the embedded profile (%zu bytes) cannot be read, taken as sRGB",
                            source.icc.size());
            return conversion;
        }
        if (cmsGetColorSpace(profile.get()) != spaceOf(layout)) {
            Foundation::log("Colour: the embedded profile does not fit the image's channels, taken as sRGB");
            return conversion;
        }
        if (isRGB(layout) && describesSRGB(profile.get()))
            return conversion;
    } else if (source.srgbChunk) {
        return conversion;
    } else if (isRGB(layout) && (source.fileGamma || source.chromaticities)) {
        profile = profileFromPngChunks(source);
    } else if (isRGB(layout) && source.cicp) {
        profile = profileFromCicp((*source.cicp)[0], (*source.cicp)[1]);
    }
    if (!profile)
        return conversion;
    static const Profile srgb = makeSRGB();
    conversion->transform =
        cmsCreateTransform(profile.get(), inputFormat(layout), srgb.get(), TYPE_RGBA_8,
                           INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE);
    if (!conversion->transform)
        Foundation::log("Colour: no conversion from the image's profile to sRGB, taken as sRGB");
    return conversion;
}

std::string cacheKey(SampleLayout layout, const ColorSource& source) {
    std::string key(1, static_cast<char>('0' + static_cast<int>(layout)));
    if (!source.icc.empty())
        return key.append("icc:").append(source.icc.begin(), source.icc.end());
    char text[256];
    const auto& c = source.chromaticities.value_or(std::array<double, 8>{});
    std::snprintf(text, sizeof text,
                  "s%d g%.17g c%d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g n%d %d %d",
                  source.srgbChunk, source.fileGamma.value_or(0), source.chromaticities.has_value(), c[0],
                  c[1], c[2], c[3], c[4], c[5], c[6], c[7], source.cicp.has_value(),
                  source.cicp ? (*source.cicp)[0] : 0, source.cicp ? (*source.cicp)[1] : 0);
    return key.append(text);
}

std::shared_ptr<Conversion> conversionFor(SampleLayout layout, const ColorSource& source) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<Conversion>> cache;
    std::string key = cacheKey(layout, source);
    {
        std::lock_guard lock(mutex);
        if (auto found = cache.find(key); found != cache.end())
            return found->second;
    }
    // Built outside the lock: two threads meeting a new profile at once may both build it, which
    // costs a little time, never a wrong answer.
    std::shared_ptr<Conversion> conversion = buildConversion(layout, source);
    std::lock_guard lock(mutex);
    if (cache.size() >= kMaxCachedTransforms)
        cache.clear();
    cache.emplace(std::move(key), conversion);
    return conversion;
}

// Without a profile, CMYK is turned into light by the inks alone, so that such a file still opens
// with roughly right colours.
void plainCMYKRow(std::uint8_t* p, int width, bool inverted) {
    for (int x = 0; x < width; ++x, p += 4) {
        unsigned ink[4];
        for (int c = 0; c < 4; ++c)
            ink[c] = inverted ? 255u - p[c] : p[c];
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<std::uint8_t>(((255u - ink[c]) * (255u - ink[3]) + 127) / 255);
        p[3] = 255;
    }
}

// Three-byte pixels from the end of the row to four-byte ones from its start. Pixel x is read from
// bytes width + 3x on and written to bytes 4x on, which only ever overwrites pixels already read.
void unpackRow(std::uint8_t* row, int width, bool converted) {
    const std::uint8_t* packed = row + width;
    for (int x = 0; x < width; ++x) {
        if (!converted) {
            const std::uint8_t r = packed[3 * x], g = packed[3 * x + 1], b = packed[3 * x + 2];
            row[4 * x] = r;
            row[4 * x + 1] = g;
            row[4 * x + 2] = b;
        }
        row[4 * x + 3] = 255;
    }
}

void convertRows(Bitmap& bitmap, const Conversion& conversion, SampleLayout layout, int first, int last) {
    const bool cmyk = layout == SampleLayout::CMYK || layout == SampleLayout::CMYKInverted;
    const int width = bitmap.width();
    for (int y = first; y < last; ++y) {
        std::uint8_t* row = bitmap.mutableRow(y);
        if (layout == SampleLayout::PackedRGBAtRowEnd) {
            // lcms reads each pixel before it writes it, so the output may run over the input as
            // long as it never overtakes it; it leaves the fourth bytes alone.
            if (conversion.transform)
                cmsDoTransform(conversion.transform, row + width, row, static_cast<cmsUInt32Number>(width));
            unpackRow(row, width, conversion.transform != nullptr);
            continue;
        }
        if (!conversion.transform) {
            plainCMYKRow(row, width, layout == SampleLayout::CMYKInverted);
            continue;
        }
        // In place: lcms reads each pixel before it writes it, and leaves the fourth byte alone.
        cmsDoTransform(conversion.transform, row, row, static_cast<cmsUInt32Number>(width));
        if (cmyk)
            for (int x = 0; x < width; ++x)
                row[x * 4 + 3] = 255;
    }
}

// Whether anything is to be done for these samples: CMYK always needs converting, RGB and grey only
// under a profile that is not sRGB.
std::shared_ptr<Conversion> neededConversion(const Bitmap& bitmap, SampleLayout layout,
                                             const ColorSource& source) {
    if (bitmap.format() != PixelFormat::RGBA8)
        return nullptr;
    // CMYK always needs converting and packed rows unpacking, even where no profile applies.
    const bool always = layout == SampleLayout::CMYK || layout == SampleLayout::CMYKInverted ||
                        layout == SampleLayout::PackedRGBAtRowEnd;
    if (source.empty() && !always)
        return nullptr;
    std::shared_ptr<Conversion> conversion = conversionFor(layout, source);
    return conversion->transform || always ? conversion : nullptr;
}

} // namespace

// Bands wait in a queue that one pool task and the finishing decoder both drain, so that finishing
// never depends on a pool thread being free (a decoder may itself run on the pool). While the decoder
// still runs, one helper is enough: a second would only take processor time from the decoder.
class BandConverter : public std::enable_shared_from_this<BandConverter> {
public:
    BandConverter(std::shared_ptr<Bitmap> bitmap, std::shared_ptr<Conversion> conversion, SampleLayout layout)
        : m_bitmap(std::move(bitmap)), m_conversion(std::move(conversion)), m_layout(layout) {}

    void add(int first, int last) {
        bool startHelper = false;
        {
            std::lock_guard lock(m_mutex);
            m_queue.emplace_back(first, last);
            startHelper = !m_helperActive;
            m_helperActive = true;
        }
        if (startHelper)
            Foundation::dispatchAsyncGlobal([self = shared_from_this()] { self->help(); });
    }

    void finish() {
        while (runOne()) {
        }
        // Only bands already taken are waited for, never the helper itself: it may still sit in
        // the pool's queue behind tasks that wait for this decoder, and finds nothing left when
        // it runs.
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [&] { return m_running == 0; });
    }

private:
    void help() {
        for (;;) {
            while (runOne()) {
            }
            // A band added after runOne found the queue empty is seen here, under the lock that
            // clears the flag add() looks at, so no band is ever left without a helper.
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                m_helperActive = false;
                return;
            }
        }
    }

    bool runOne() {
        std::pair<int, int> band;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                return false;
            band = m_queue.front();
            m_queue.pop_front();
            ++m_running;
        }
        convertRows(*m_bitmap, *m_conversion, m_layout, band.first, band.second);
        std::lock_guard lock(m_mutex);
        if (--m_running == 0)
            m_idle.notify_all();
        return true;
    }

    std::shared_ptr<Bitmap> m_bitmap;
    std::shared_ptr<Conversion> m_conversion;
    SampleLayout m_layout;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::deque<std::pair<int, int>> m_queue;
    int m_running = 0;
    bool m_helperActive = false;
};

void startBandConversion(std::shared_ptr<BandConverter>& out, const std::shared_ptr<Bitmap>& bitmap,
                         SampleLayout layout, const ColorSource& source) {
    out.reset();
    if (!bitmap)
        return;
    if (std::shared_ptr<Conversion> conversion = neededConversion(*bitmap, layout, source))
        out = std::make_shared<BandConverter>(bitmap, std::move(conversion), layout);
}

void convertBand(BandConverter& converter, int firstRow, int endRow) {
    if (firstRow < endRow)
        converter.add(firstRow, endRow);
}

void finishBandConversion(BandConverter& converter) {
    converter.finish();
}

bool needsConversion(SampleLayout layout, const ColorSource& source) {
    if (layout == SampleLayout::CMYK || layout == SampleLayout::CMYKInverted)
        return true;
    return !source.empty() && conversionFor(layout, source)->transform != nullptr;
}

void convertToSRGB(Bitmap& bitmap, SampleLayout layout, const ColorSource& source) {
    const std::shared_ptr<Conversion> conversion = neededConversion(bitmap, layout, source);
    if (!conversion)
        return;
    const int height = bitmap.height();
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(bitmap.width()) * static_cast<std::uint64_t>(height);
    if (pixels < 256u * 256u || height <= kRowsPerTask) {
        convertRows(bitmap, *conversion, layout, 0, height);
        return;
    }
    const std::size_t bands = static_cast<std::size_t>((height + kRowsPerTask - 1) / kRowsPerTask);
    Foundation::parallelFor(bands, [&](std::size_t band) {
        const int first = static_cast<int>(band) * kRowsPerTask;
        convertRows(bitmap, *conversion, layout, first, std::min(height, first + kRowsPerTask));
    });
}

const std::vector<std::uint8_t>& sRGBProfileData() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes;
        Profile profile = makeSRGB();
        // Version 2 is what every reader of JPEG profiles understands.
        if (profile)
            cmsSetProfileVersion(profile.get(), 2.1);
        cmsUInt32Number size = 0;
        if (profile && cmsSaveProfileToMem(profile.get(), nullptr, &size) && size > 0) {
            bytes.resize(size);
            if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
                bytes.clear();
        }
        // lcms stamps the profile with the time it was made (header bytes 24 to 35) and, from that,
        // its MD5 identity (bytes 84 to 99). Both are cleared, as the profile format allows, so that
        // the same edit of the same photo always writes the same file.
        if (bytes.size() >= 128) {
            std::fill(bytes.begin() + 24, bytes.begin() + 36, std::uint8_t(0));
            std::fill(bytes.begin() + 84, bytes.begin() + 100, std::uint8_t(0));
        }
        return bytes;
    }();
    return data;
}

} // namespace Graphics
