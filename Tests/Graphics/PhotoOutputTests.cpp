// A camera photo's metadata survives into the edited copy, which is upright, says so, and carries
// no stale preview; output quality and colour tagging follow the options.
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>
#include <Graphics/PhotoOutput.h>
#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace Graphics;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A landscape picture stored sideways: red in the stored top-left corner, blue elsewhere.
std::shared_ptr<Bitmap> storedPicture(int width, int height) {
    auto bitmap = Bitmap::create(width, height, PixelFormat::RGBA8, AlphaInfo::NoneSkipLast);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const bool corner = x < width / 4 && y < height / 4;
            p[0] = corner ? 230 : 20;
            p[1] = 30;
            p[2] = corner ? 20 : 200;
            p[3] = 255;
        }
    return bitmap;
}

// A camera's JPEG: make, model, date, orientation 6, a preview thumbnail, XMP and IPTC.
Bytes cameraJpeg(const Bytes& plainJpeg, const Bytes& thumbnail) {
    auto image = Exiv2::ImageFactory::open(plainJpeg.data(), static_cast<long>(plainJpeg.size()));
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Canon";
    exif["Exif.Image.Model"] = "Canon EOS 80D";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:17 10:11:12";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(9999);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail.data(), static_cast<long>(thumbnail.size()));
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.creator"] = "A. Photographer";
    xmp["Xmp.tiff.Orientation"] = "6";
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Caption"] = "Mountains";
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->setIptcData(iptc);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    Bytes out(io.size());
    io.read(out.data(), static_cast<long>(out.size()));
    io.close();
    return out;
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(stream), {}};
}

class PhotoOutput : public testing::TestWithParam<ImageFileType> {
protected:
    void SetUp() override {
        m_directory =
            std::filesystem::temp_directory_path() / ("rux-photo-output-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_directory);
    }
    void TearDown() override { std::filesystem::remove_all(m_directory); }
    std::filesystem::path m_directory;
};

const char* extensionOf(ImageFileType type) {
    switch (type) {
    case ImageFileType::PNG:
        return ".png";
    case ImageFileType::JPEG:
        return ".jpg";
    case ImageFileType::WebP:
        return ".webp";
    }
    return "";
}

TEST_P(PhotoOutput, CameraMetadataSurvivesAndTheCopyIsTurnedOnce) {
    const Bytes thumbnail = *encodeJPEG(*storedPicture(16, 12), 0.8);
    const Bytes source = cameraJpeg(*encodeJPEG(*storedPicture(64, 48), 0.95), thumbnail);
    auto photo = BitmapImage::createFromData(source.data(), source.size());
    ASSERT_TRUE(photo);
    ASSERT_EQ(photo->orientation(), ImageOrientation::Right);

    // What an editor does with the photo before saving: draw it upright.
    auto context = ImageContext::create(photo->size(), Opacity::Opaque, 1.0);
    context->drawImage(*photo, Rect(0, 0, photo->size().width, photo->size().height));
    auto upright = context->makeImage();
    ASSERT_EQ(upright->bitmap()->width(), 48);

    const auto path = m_directory / (std::string("edited") + extensionOf(GetParam()));
    ASSERT_TRUE(writePhoto(*upright->bitmap(), path.string(),
                           {92, PhotoMetadata::createFromData(source.data(), source.size())}));

    const Bytes written = readFile(path);
    auto saved = PhotoMetadata::createFromData(written.data(), written.size());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->value("Exif.Image.Make"), "Canon");
    EXPECT_EQ(saved->value("Exif.Image.Model"), "Canon EOS 80D");
    EXPECT_EQ(saved->value("Exif.Photo.DateTimeOriginal"), "2024:05:17 10:11:12");
    EXPECT_EQ(saved->value("Exif.Image.Orientation"), "1");
    EXPECT_EQ(saved->value("Exif.Photo.PixelXDimension"), "48");
    EXPECT_EQ(saved->value("Exif.Photo.PixelYDimension"), "64");
    EXPECT_EQ(saved->value("Xmp.dc.creator"), "A. Photographer");
    EXPECT_EQ(saved->value("Xmp.tiff.Orientation"), "1");
    EXPECT_FALSE(saved->value("Exif.Thumbnail.JPEGInterchangeFormat"));
    if (GetParam() == ImageFileType::JPEG) {
        EXPECT_EQ(saved->value("Iptc.Application2.Caption"), "Mountains");
    }

    // Opened again, the copy is upright as saved: the red corner, stored top-left, was turned to
    // the top right once and is not turned again.
    auto reopened = BitmapImage::createFromData(written.data(), written.size());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->orientation(), ImageOrientation::Up);
    const Bitmap& pixels = *reopened->bitmap();
    ASSERT_EQ(pixels.width(), 48);
    ASSERT_EQ(pixels.height(), 64);
    EXPECT_GT(pixels.row(4)[(48 - 4) * 4], 180);
    EXPECT_LT(pixels.row(4)[4 * 4], 60);
}

TEST_P(PhotoOutput, WithoutMetadataNothingIsKept) {
    const Bytes source =
        cameraJpeg(*encodeJPEG(*storedPicture(32, 24), 0.9), *encodeJPEG(*storedPicture(8, 6), 0.8));
    const auto bytes = encodePhoto(*storedPicture(32, 24), GetParam(), {});
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(PhotoMetadata::createFromData(bytes->data(), bytes->size()));
}

INSTANTIATE_TEST_SUITE_P(Formats, PhotoOutput,
                         testing::Values(ImageFileType::PNG, ImageFileType::JPEG, ImageFileType::WebP),
                         [](const auto& info) { return std::string(extensionOf(info.param)).substr(1); });

TEST(PhotoOutputJpeg, QualityAndChromaFollowTheOptions) {
    auto picture = storedPicture(64, 64);
    const auto low = encodePhoto(*picture, ImageFileType::JPEG, {20, nullptr});
    const auto high = encodePhoto(*picture, ImageFileType::JPEG, {95, nullptr});
    const auto clamped = encodePhoto(*picture, ImageFileType::JPEG, {500, nullptr});
    ASSERT_TRUE(low && high && clamped);
    EXPECT_LT(low->size(), high->size());
    EXPECT_GE(clamped->size(), high->size());
    // 4:4:4 from 90: every component of the frame header samples 1 × 1.
    for (int quality : {89, 90}) {
        const auto bytes = *encodePhoto(*picture, ImageFileType::JPEG, {quality, nullptr});
        std::size_t sof = 2;
        while (sof + 4 < bytes.size() &&
               !(bytes[sof] == 0xFF && (bytes[sof + 1] == 0xC0 || bytes[sof + 1] == 0xC2)))
            sof += 2 + ((bytes[sof + 2] << 8) | bytes[sof + 3]);
        ASSERT_LT(sof + 11, bytes.size());
        EXPECT_EQ(bytes[sof + 11] == 0x11, quality >= 90) << "quality " << quality;
    }
    // Tagged sRGB, and read back as such (unchanged by colour management).
    const Bytes& bytes = *high;
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t marker = text.find("ICC_PROFILE");
    ASSERT_NE(marker, std::string::npos);
    // The profile carries no time of making (nor the identity made from it), so that one edit of
    // one photo writes the same bytes whenever it is saved.
    const std::size_t profile = marker + 14;
    ASSERT_LT(profile + 100, bytes.size());
    EXPECT_TRUE(std::all_of(bytes.begin() + profile + 24, bytes.begin() + profile + 36,
                            [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + profile + 84, bytes.begin() + profile + 100,
                            [](auto b) { return b == 0; }));
    auto plain = BitmapImage::createFromData(bytes.data(), bytes.size());
    Foundation::LogCapture log;
    ASSERT_TRUE(plain);
    EXPECT_TRUE(log.lines().empty());
}

TEST(PhotoOutputJpeg, CorruptExifOpensUprightAndSavesWithoutIt) {
    Bytes jpeg = *encodeJPEG(*storedPicture(32, 24), 0.9);
    // An APP1 "Exif" segment whose TIFF structure points everywhere and nowhere.
    Bytes segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0x7F};
    for (int i = 0; i < 200; ++i)
        segment.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    segment[2] = static_cast<std::uint8_t>((segment.size() - 2) >> 8);
    segment[3] = static_cast<std::uint8_t>(segment.size() - 2);
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());

    Foundation::LogCapture log;
    auto photo = BitmapImage::createFromData(jpeg.data(), jpeg.size());
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->orientation(), ImageOrientation::Up);
    auto metadata = PhotoMetadata::createFromData(jpeg.data(), jpeg.size());
    const auto out = encodePhoto(*photo->bitmap(), ImageFileType::JPEG, {92, metadata});
    ASSERT_TRUE(out);
    auto reopened = BitmapImage::createFromData(out->data(), out->size());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->bitmap()->width(), 32);
    EXPECT_LE(log.lines().size(), 1u);
}

} // namespace
