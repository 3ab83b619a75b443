// HEIC, AVIF and WebP open as what was encoded (within a lossy codec's error), tagged ones are
// converted to sRGB, and damaged files end in nil with one line.
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>
#include <cmath>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

using namespace Graphics;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 96, kHeight = 64;

// Smooth, so that the codecs' loss stays small: hue across, brightness down.
std::shared_ptr<Bitmap> smoothPicture() {
    auto bitmap = Bitmap::create(kWidth, kHeight, PixelFormat::RGBA8, AlphaInfo::NoneSkipLast);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(40 + x * 180 / kWidth);
            p[1] = static_cast<std::uint8_t>(30 + y * 190 / kHeight);
            p[2] = static_cast<std::uint8_t>(200 - x * 120 / kWidth);
            p[3] = 255;
        }
    return bitmap;
}

Bytes encodeHeif(const Bitmap& picture, heif_compression_format format, const Bytes& icc = {},
                 const Bytes& exif = {}) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, format, &encoder);
    heif_encoder_set_lossy_quality(encoder, 92);
    heif_image* image = nullptr;
    heif_image_create(picture.width(), picture.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, picture.width(), picture.height(), 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            std::memcpy(plane + y * stride + x * 3, picture.row(y) + x * 4, 3);
    if (!icc.empty())
        heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size());
    heif_image_handle* handle = nullptr;
    heif_context_encode_image(context, image, encoder, nullptr, &handle);
    if (!exif.empty())
        heif_context_add_exif_metadata(context, handle, exif.data(), static_cast<int>(exif.size()));
    heif_image_handle_release(handle);
    Bytes out;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                           auto* bytes = static_cast<Bytes*>(userdata);
                           bytes->insert(bytes->end(), static_cast<const std::uint8_t*>(data),
                                         static_cast<const std::uint8_t*>(data) + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &out);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

struct Difference {
    double mean;
    int worst;
};

Difference difference(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return {999, 999};
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(a.row(y)[x * 4 + c]) - int(b.row(y)[x * 4 + c]));
                sum += d;
                worst = std::max(worst, d);
            }
    return {sum / (a.width() * a.height() * 3), worst};
}

struct FormatCase {
    const char* name;
    std::function<Bytes(const Bitmap&)> encode;
};

class NewFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(NewFormat, DecodesCloseToItsSourceAndRefusesDamage) {
    const auto source = smoothPicture();
    const Bytes bytes = GetParam().encode(*source);
    ASSERT_FALSE(bytes.empty());
    auto image = BitmapImage::createFromData(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), ImageOrientation::Up);
    EXPECT_EQ(image->bitmap()->alphaInfo(), AlphaInfo::NoneSkipLast);
    const Difference d = difference(*image->bitmap(), *source);
    EXPECT_LT(d.mean, 3.0);
    EXPECT_LT(d.worst, 40);

    // Cut anywhere past the header, or with its size claimed beyond the pixel limit: nil, one line.
    for (double keep : {0.2, 0.5, 0.8, 0.95}) {
        SCOPED_TRACE(keep);
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() * keep));
        Foundation::LogCapture log;
        EXPECT_FALSE(BitmapImage::createFromData(cut.data(), cut.size()));
        EXPECT_EQ(log.lines().size(), 1u);
    }
    const std::uint64_t saved = Bitmap::pixelLimit();
    Bitmap::setPixelLimit(kWidth * kHeight - 1);
    {
        Foundation::LogCapture log;
        EXPECT_FALSE(BitmapImage::createFromData(bytes.data(), bytes.size()));
        EXPECT_TRUE(log.contains("over the pixel limit"));
    }
    Bitmap::setPixelLimit(saved);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, NewFormat,
    testing::Values(FormatCase{"HEIC", [](const Bitmap& b) { return encodeHeif(b, heif_compression_HEVC); }},
                    FormatCase{"AVIF", [](const Bitmap& b) { return encodeHeif(b, heif_compression_AV1); }},
                    FormatCase{"WebP",
                               [](const Bitmap& b) {
                                   return *encodePhoto(b, ImageFileType::WebP, {95, nullptr});
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NewFormats, TaggedHeicIsConvertedToSRGB) {
    // Adobe RGB's primaries: the same samples read as sRGB would look washed out.
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes icc(size);
    cmsSaveProfileToMem(profile, icc.data(), &size);

    const auto source = smoothPicture();
    const Bytes plain = encodeHeif(*source, heif_compression_HEVC);
    const Bytes tagged = encodeHeif(*source, heif_compression_HEVC, icc);
    auto plainImage = BitmapImage::createFromData(plain.data(), plain.size());
    auto taggedImage = BitmapImage::createFromData(tagged.data(), tagged.size());
    ASSERT_TRUE(plainImage && taggedImage);

    // lcms's answer for the untagged decode under the profile.
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform =
        cmsCreateTransform(profile, TYPE_RGBA_8, srgb, TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION);
    auto expected = plainImage->bitmap()->copy();
    for (int y = 0; y < expected->height(); ++y)
        cmsDoTransform(transform, expected->row(y), expected->mutableRow(y),
                       static_cast<cmsUInt32Number>(kWidth));
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    EXPECT_LE(difference(*taggedImage->bitmap(), *expected).worst, 1);
    EXPECT_GT(difference(*taggedImage->bitmap(), *plainImage->bitmap()).worst, 10);
}

// Exif in a HEIC is a 4-byte offset and a TIFF block in an item of its own; libheif hands it to us.
TEST(NewFormats, HeicExifIsKept) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Apple";
    exif["Exif.Image.Model"] = "iPhone 15";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    Exiv2::Blob tiff;
    Exiv2::ExifParser::encode(tiff, Exiv2::bigEndian, exif);
    const Bytes heic =
        encodeHeif(*smoothPicture(), heif_compression_HEVC, {}, Bytes(tiff.begin(), tiff.end()));
    auto metadata = PhotoMetadata::createFromData(heic.data(), heic.size());
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->value("Exif.Image.Model"), "iPhone 15");
    // The container's own turn (none here) decides; Exif's orientation is not applied on top.
    auto image = BitmapImage::createFromData(heic.data(), heic.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), ImageOrientation::Up);
    EXPECT_EQ(image->bitmap()->width(), kWidth);
    const auto jpeg = encodePhoto(*image->bitmap(), ImageFileType::JPEG, {92, metadata});
    auto kept = PhotoMetadata::createFromData(jpeg->data(), jpeg->size());
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->value("Exif.Image.Make"), "Apple");
    EXPECT_EQ(kept->value("Exif.Image.Orientation"), "1");
}

} // namespace
