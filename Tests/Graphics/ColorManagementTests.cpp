// Tagged photos decode to what LittleCMS itself makes of their pixels in sRGB, whichever way the
// file carries its profile; profiles we cannot use leave the pixels as sRGB with one log line.
#include "PngChunks.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/ImageSource.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <latch>
#include <lcms2.h>
#include <string>
#include <zlib.h>

using namespace Graphics;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

const cmsCIExyY kD65{0.3127, 0.3290, 1.0};

// A grey profile with a plain power curve.
Bytes greyProfileWithGamma(double gamma) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

Bytes rgbProfile(cmsCIExyYTRIPLE primaries, cmsToneCurve* curve) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&kD65, &primaries, curves);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

cmsToneCurve* srgbCurve() {
    const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, p);
}

// Adobe RGB's primaries: green well outside sRGB.
Bytes wideGamutProfile() {
    return rgbProfile({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}},
                      cmsBuildGamma(nullptr, 563.0 / 256));
}

// sRGB's primaries with a plain 2.2 power curve, stored as three long tables so that the profile
// needs more than one JPEG marker.
Bytes gamma22Profile() {
    std::vector<cmsUInt16Number> table(30000);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<cmsUInt16Number>(
            std::lround(65535 * std::pow(static_cast<double>(i) / (table.size() - 1), 2.2)));
    cmsToneCurve* curves[3];
    for (auto& curve : curves)
        curve =
            cmsBuildTabulatedToneCurve16(nullptr, static_cast<cmsUInt32Number>(table.size()), table.data());
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsHPROFILE profile = cmsCreateRGBProfile(&kD65, &primaries, curves);
    for (auto* curve : curves)
        cmsFreeToneCurve(curve);
    Bytes bytes = saveProfile(profile);
    EXPECT_GT(bytes.size(), 65519u);
    return bytes;
}

// Red and green primaries exchanged: what the file calls red is sRGB's green.
Bytes swappedChannelsProfile() {
    return rgbProfile({{0.30, 0.60, 1}, {0.64, 0.33, 1}, {0.15, 0.06, 1}}, srgbCurve());
}

// lcms's own answer for straight RGBA pixels under profile, rendered to sRGB as the decoders do.
Bytes lcmsToSRGB(const Bytes& profileBytes, const Bytes& rgba, cmsUInt32Number inputFormat = TYPE_RGBA_8) {
    cmsHPROFILE profile =
        cmsOpenProfileFromMem(profileBytes.data(), static_cast<cmsUInt32Number>(profileBytes.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform =
        cmsCreateTransform(profile, inputFormat, srgb, TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION);
    Bytes out = rgba;
    cmsDoTransform(transform, rgba.data(), out.data(), static_cast<cmsUInt32Number>(rgba.size() / 4));
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(profile);
    return out;
}

constexpr int kSide = 48;

// Every corner of the cube and the ramps between: saturated colours show gamut and channel
// mistakes, ramps show curve mistakes.
std::shared_ptr<Bitmap> testPattern(int height = kSide) {
    auto bitmap = Bitmap::create(kSide, height, PixelFormat::RGBA8, AlphaInfo::NoneSkipLast);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kSide; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const int corner = (x / 6) % 8;
            const auto ramp = static_cast<std::uint8_t>(y % kSide * 255 / (kSide - 1));
            p[0] = corner & 1 ? ramp : 0;
            p[1] = corner & 2 ? ramp : 0;
            p[2] = corner & 4 ? ramp : static_cast<std::uint8_t>(x * 5);
            p[3] = 255;
        }
    return bitmap;
}

Bytes pixelsOf(const Bitmap& bitmap) {
    Bytes out;
    for (int y = 0; y < bitmap.height(); ++y)
        out.insert(out.end(), bitmap.row(y), bitmap.row(y) + bitmap.width() * 4);
    return out;
}

int maxDifference(const Bytes& a, const Bytes& b) {
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (i % 4 != 3)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return a.size() == b.size() ? worst : 999;
}

// The encoded PNG without its sRGB chunk, with the given chunks after IHDR instead.
Bytes pngWithChunks(const Bytes& png, const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes out(png.begin(), png.begin() + 33); // signature and IHDR
    for (const auto& [type, data] : chunks)
        PngChunks::putChunk(out, type, data);
    for (std::size_t at = 33; at + 8 <= png.size();) {
        const std::uint32_t length = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        const std::size_t end = at + 12 + length;
        if (std::memcmp(&png[at + 4], "sRGB", 4) != 0)
            out.insert(out.end(), png.begin() + static_cast<long>(at), png.begin() + static_cast<long>(end));
        at = end;
    }
    return out;
}

Bytes iccpChunk(const Bytes& profile) {
    Bytes data = {'t', 'e', 's', 't', 0, 0};
    uLongf size = compressBound(static_cast<uLong>(profile.size()));
    Bytes compressed(size);
    compress(compressed.data(), &size, profile.data(), static_cast<uLong>(profile.size()));
    data.insert(data.end(), compressed.begin(), compressed.begin() + static_cast<long>(size));
    return data;
}

Bytes bigEndian(std::uint32_t value) {
    return {std::uint8_t(value >> 24), std::uint8_t(value >> 16), std::uint8_t(value >> 8),
            std::uint8_t(value)};
}

// The JPEG without the APP2 markers (the sRGB profile) our encoder writes.
Bytes withoutProfile(const Bytes& jpeg) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const std::size_t end = at + 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
        if (jpeg[at + 1] != 0xE2)
            out.insert(out.end(), jpeg.begin() + static_cast<long>(at),
                       jpeg.begin() + static_cast<long>(end));
        at = end;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
    return out;
}

// The profile split over APP2 markers right after SOI, as cameras and editors write it.
Bytes jpegWithProfile(const Bytes& tagged, const Bytes& profile) {
    const Bytes jpeg = withoutProfile(tagged);
    constexpr std::size_t kChunk = 65519;
    const std::size_t count = (profile.size() + kChunk - 1) / kChunk;
    Bytes segments;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t begin = i * kChunk, end = std::min(profile.size(), begin + kChunk);
        const std::size_t length = 2 + 12 + 2 + (end - begin);
        const std::uint8_t header[18] = {0xFF,
                                         0xE2,
                                         std::uint8_t(length >> 8),
                                         std::uint8_t(length),
                                         'I',
                                         'C',
                                         'C',
                                         '_',
                                         'P',
                                         'R',
                                         'O',
                                         'F',
                                         'I',
                                         'L',
                                         'E',
                                         0,
                                         std::uint8_t(i + 1),
                                         std::uint8_t(count)};
        segments.insert(segments.end(), header, header + 18);
        segments.insert(segments.end(), profile.begin() + static_cast<long>(begin),
                        profile.begin() + static_cast<long>(end));
    }
    Bytes out = jpeg;
    out.insert(out.begin() + 2, segments.begin(), segments.end());
    return out;
}

Bytes decodedPixels(const Bytes& file) {
    auto image = BitmapImage::createFromData(file.data(), file.size());
    return image ? pixelsOf(*image->bitmap()) : Bytes{};
}

struct TaggedCase {
    const char* name;
    std::function<Bytes()> profile;
};

class TaggedPhoto : public testing::TestWithParam<TaggedCase> {};

TEST_P(TaggedPhoto, PngDecodesToLcmsConversion) {
    const Bytes profile = GetParam().profile();
    const auto pattern = testPattern();
    const Bytes png = pngWithChunks(*encodePNG(*pattern), {{"iCCP", iccpChunk(profile)}});
    EXPECT_LE(maxDifference(decodedPixels(png), lcmsToSRGB(profile, pixelsOf(*pattern))), 1);
}

TEST_P(TaggedPhoto, JpegDecodesToLcmsConversion) {
    const Bytes profile = GetParam().profile();
    // Tall enough that the conversion runs in several bands beside the decoding.
    const Bytes jpeg = *encodeJPEG(*testPattern(kSide * 9), 0.95);
    // The same encoded pixels untagged are what the profile describes.
    const Bytes expected = lcmsToSRGB(profile, decodedPixels(jpeg));
    EXPECT_LE(maxDifference(decodedPixels(jpegWithProfile(jpeg, profile)), expected), 1);
}

// Decoded at a reduced size (here half, through the scaled inverse DCT) the profile is applied the
// same way.
TEST_P(TaggedPhoto, ReducedJpegDecodesToLcmsConversion) {
    const Bytes profile = GetParam().profile();
    const Bytes jpeg = *encodeJPEG(*testPattern(kSide * 9), 0.95);
    auto halfOf = [](const Bytes& file) {
        auto source = makeImageSource(file);
        auto bitmap = source ? source->decodeCovering(kSide / 2, kSide * 9 / 2) : nullptr;
        EXPECT_TRUE(bitmap && bitmap->width() == kSide / 2);
        return bitmap ? pixelsOf(*bitmap) : Bytes{};
    };
    const Bytes expected = lcmsToSRGB(profile, halfOf(jpeg));
    EXPECT_LE(maxDifference(halfOf(jpegWithProfile(jpeg, profile)), expected), 1);
}

INSTANTIATE_TEST_SUITE_P(Profiles, TaggedPhoto,
                         testing::Values(TaggedCase{"WideGamut", wideGamutProfile},
                                         TaggedCase{"Gamma22", gamma22Profile},
                                         TaggedCase{"SwappedChannels", swappedChannelsProfile}),
                         [](const auto& info) { return std::string(info.param.name); });

// Decoders may run on the pool themselves. With every pool thread decoding a tagged JPEG at once,
// no thread is free for a conversion's helper, and each decode must still finish by itself.
TEST(ColorManagement, TaggedJpegsDecodeWithEveryPoolThreadBusy) {
    struct Shared {
        Bytes jpeg;
        std::latch started;
        std::vector<std::promise<Bytes>> results;
        Shared(Bytes file, std::size_t threads)
            : jpeg(std::move(file)), started(static_cast<std::ptrdiff_t>(threads)), results(threads) {}
    };
    const std::size_t threads = Foundation::globalQueueThreadCount();
    auto shared = std::make_shared<Shared>(
        jpegWithProfile(*encodeJPEG(*testPattern(kSide * 9), 0.95), wideGamutProfile()), threads);
    const Bytes expected = decodedPixels(shared->jpeg);
    ASSERT_FALSE(expected.empty());
    std::vector<std::future<Bytes>> futures;
    for (std::size_t i = 0; i < threads; ++i) {
        futures.push_back(shared->results[i].get_future());
        Foundation::dispatchAsyncGlobal([shared, i] {
            shared->started.arrive_and_wait();
            shared->results[i].set_value(decodedPixels(shared->jpeg));
        });
    }
    for (auto& future : futures) {
        ASSERT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(future.get(), expected);
    }
}

TEST(ColorManagement, PngGammaAndChromaticitiesStandInForAProfile) {
    const auto pattern = testPattern();
    const Bytes png = *encodePNG(*pattern);
    // gAMA 1/2.2 alone: sRGB primaries with a 2.2 curve.
    const Bytes gammaOnly = pngWithChunks(png, {{"gAMA", bigEndian(45455)}});
    const Bytes gammaProfile = rgbProfile({{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}},
                                          cmsBuildGamma(nullptr, 100000.0 / 45455));
    EXPECT_LE(maxDifference(decodedPixels(gammaOnly), lcmsToSRGB(gammaProfile, pixelsOf(*pattern))), 1);

    // cHRM with red and green exchanged.
    Bytes chrm;
    for (std::uint32_t v : {31270u, 32900u, 30000u, 60000u, 64000u, 33000u, 15000u, 6000u})
        for (auto b : bigEndian(v))
            chrm.push_back(b);
    const Bytes chromaticities = pngWithChunks(png, {{"gAMA", bigEndian(45455)}, {"cHRM", chrm}});
    const Bytes swapped = rgbProfile({{0.30, 0.60, 1}, {0.64, 0.33, 1}, {0.15, 0.06, 1}},
                                     cmsBuildGamma(nullptr, 100000.0 / 45455));
    EXPECT_LE(maxDifference(decodedPixels(chromaticities), lcmsToSRGB(swapped, pixelsOf(*pattern))), 1);
    // The sRGB chunk says all there is to say.
    EXPECT_EQ(decodedPixels(pngWithChunks(png, {{"sRGB", {0}}, {"gAMA", bigEndian(45455)}})),
              pixelsOf(*pattern));
}

TEST(ColorManagement, UnusableProfilesAreTakenAsSRGBWithOneLine) {
    const auto pattern = testPattern();
    const Bytes png = *encodePNG(*pattern);
    const Bytes jpeg = *encodeJPEG(*pattern, 0.95);
    Bytes corrupt = wideGamutProfile();
    for (std::size_t i = 128; i < corrupt.size(); ++i)
        corrupt[i] = static_cast<std::uint8_t>(i * 7);
    Bytes gray = greyProfileWithGamma(1.8);
    Bytes garbage(300, 0x5A);
    for (Bytes* profile : {&corrupt, &gray, &garbage}) {
        {
            Foundation::LogCapture log;
            EXPECT_EQ(decodedPixels(pngWithChunks(png, {{"iCCP", iccpChunk(*profile)}})), pixelsOf(*pattern));
            EXPECT_EQ(log.lines().size(), 1u);
        }
        Foundation::LogCapture log;
        EXPECT_EQ(decodedPixels(jpegWithProfile(jpeg, *profile)), decodedPixels(jpeg));
        EXPECT_EQ(log.lines().size(), 1u);
    }
    // Markers out of order or missing one of their parts: the profile is dropped, the photo opens.
    Bytes broken = jpegWithProfile(jpeg, gamma22Profile());
    broken[2 + 4 + 12] = 7;
    EXPECT_EQ(decodedPixels(broken), decodedPixels(jpeg));
}

// Grey and CMYK JPEGs straight from libjpeg, with or without a profile.
Bytes encodeRawJpeg(J_COLOR_SPACE space, int components, const Bytes& samples, int width, int height,
                    bool adobeMarker) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 98, TRUE);
    info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

TEST(ColorManagement, GreyAndCmykJpegsAreConverted) {
    // A grey ramp tagged with a gamma-1.8 grey profile.
    Bytes ramp(kSide * kSide);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i % kSide * 255 / (kSide - 1));
    const Bytes grey = encodeRawJpeg(JCS_GRAYSCALE, 1, ramp, kSide, kSide, false);
    const Bytes greyProfile = greyProfileWithGamma(1.8);
    const Bytes untagged = decodedPixels(grey);
    ASSERT_FALSE(untagged.empty());
    EXPECT_LE(maxDifference(decodedPixels(jpegWithProfile(grey, greyProfile)),
                            lcmsToSRGB(greyProfile, untagged,
                                       COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(3) | BYTES_SH(1))),
              1);

    // Untagged CMYK, plain and as Adobe writes it (inverted): cyan, magenta, yellow, black, paper.
    const std::uint8_t inks[5][4] = {
        {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 0}};
    const std::uint8_t light[5][3] = {
        {0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0}, {255, 255, 255}};
    for (bool adobe : {false, true}) {
        SCOPED_TRACE(adobe ? "inverted" : "plain");
        Bytes samples;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 80; ++x)
                for (int c = 0; c < 4; ++c)
                    samples.push_back(adobe ? 255 - inks[x / 16][c] : inks[x / 16][c]);
        const Bytes pixels = decodedPixels(encodeRawJpeg(JCS_CMYK, 4, samples, 80, 16, adobe));
        ASSERT_EQ(pixels.size(), 80u * 16 * 4);
        for (int patch = 0; patch < 5; ++patch)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(pixels[(8 * 80 + patch * 16 + 8) * 4 + c], c == 3 ? 255 : light[patch][c], 3)
                    << "patch " << patch << " channel " << c;
    }
}

} // namespace
