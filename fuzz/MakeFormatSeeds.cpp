// Writes the seeds of decode-webp, decode-heif and metadata: small files from the very libraries
// the decoders use, covering their variants (lossy, lossless, alpha, animation, colour profiles,
// colour descriptions, Exif/XMP/IPTC). Not built with the project; run once by hand:
//   c++ -std=c++20 fuzz/MakeFormatSeeds.cpp $(pkg-config --cflags --libs libheif libwebp libwebpmux exiv2
//   lcms2) \
//       -o /tmp/make-format-seeds && /tmp/make-format-seeds fuzz/corpus
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <lcms2.h>
#include <libheif/heif.h>
#include <string>
#include <vector>
#include <webp/encode.h>
#include <webp/mux.h>

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

static fs::path root;

static void write(const char* target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(root / target);
    std::ofstream(root / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

static Bytes pixels(int w, int h, int channels) {
    Bytes p(static_cast<std::size_t>(w * h * channels));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                p[static_cast<std::size_t>((y * w + x) * channels + c)] =
                    static_cast<std::uint8_t>(c == 3 ? x * 255 / w : (x * 40 + y * 25 + c * 70));
    return p;
}

static Bytes wideProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.68, 0.32, 1}, {0.265, 0.69, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

static Bytes webp(int w, int h, bool alpha, bool lossless) {
    const Bytes p = pixels(w, h, alpha ? 4 : 3);
    std::uint8_t* out = nullptr;
    std::size_t n = lossless ? (alpha ? WebPEncodeLosslessRGBA(p.data(), w, h, w * 4, &out)
                                      : WebPEncodeLosslessRGB(p.data(), w, h, w * 3, &out))
                             : (alpha ? WebPEncodeRGBA(p.data(), w, h, w * 4, 60, &out)
                                      : WebPEncodeRGB(p.data(), w, h, w * 3, 60, &out));
    Bytes bytes(out, out + n);
    WebPFree(out);
    return bytes;
}

static Bytes muxed(const Bytes& image, const Bytes& icc, const Bytes& exif) {
    WebPMux* mux = WebPMuxNew();
    WebPData data{image.data(), image.size()};
    WebPMuxSetImage(mux, &data, 1);
    if (!icc.empty()) {
        WebPData chunk{icc.data(), icc.size()};
        WebPMuxSetChunk(mux, "ICCP", &chunk, 1);
    }
    if (!exif.empty()) {
        WebPData chunk{exif.data(), exif.size()};
        WebPMuxSetChunk(mux, "EXIF", &chunk, 1);
    }
    WebPData out;
    WebPMuxAssemble(mux, &out);
    Bytes bytes(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return bytes;
}

static Bytes animated(int w, int h) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(w, h, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.quality = 50;
    for (int frame = 0; frame < 2; ++frame) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.width = w;
        picture.height = h;
        picture.use_argb = 1;
        Bytes p = pixels(w, h, 4);
        for (auto& b : p)
            b = static_cast<std::uint8_t>(b + frame * 50);
        WebPPictureImportRGBA(&picture, p.data(), w * 4);
        WebPAnimEncoderAdd(encoder, &picture, frame * 100, &config);
        WebPPictureFree(&picture);
    }
    WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
    WebPData out;
    WebPAnimEncoderAssemble(encoder, &out);
    Bytes bytes(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPAnimEncoderDelete(encoder);
    return bytes;
}

// A little-endian TIFF block with Make and Orientation 6, as WebP and HEIF carry Exif.
static Bytes tiffExif() {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Seed";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    exif["Exif.Photo.DateTimeOriginal"] = "2024:01:02 03:04:05";
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return Bytes(blob.begin(), blob.end());
}

static Bytes heif(heif_compression_format format, int w, int h, bool alpha, const Bytes& icc, int primaries,
                  const Bytes& exif) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, format, &encoder);
    heif_encoder_set_lossy_quality(encoder, 40);
    heif_image* image = nullptr;
    const int channels = alpha ? 4 : 3;
    heif_image_create(w, h, heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const Bytes p = pixels(w, h, channels);
    for (int y = 0; y < h; ++y)
        std::memcpy(plane + y * stride, p.data() + y * w * channels, static_cast<std::size_t>(w * channels));
    if (!icc.empty())
        heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size());
    if (primaries) {
        heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
        nclx->color_primaries = static_cast<heif_color_primaries>(primaries);
        nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    heif_image_handle* handle = nullptr;
    heif_context_encode_image(context, image, encoder, nullptr, &handle);
    if (!exif.empty())
        heif_context_add_exif_metadata(context, handle, exif.data(), static_cast<int>(exif.size()));
    Bytes out;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                           auto* bytes = static_cast<Bytes*>(userdata);
                           bytes->insert(bytes->end(), static_cast<const std::uint8_t*>(data),
                                         static_cast<const std::uint8_t*>(data) + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &out);
    heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

// A file of the corpus with a camera's metadata written into it by Exiv2.
static Bytes withMetadata(const Bytes& file, bool iptc) {
    auto image = Exiv2::ImageFactory::open(file.data(), static_cast<long>(file.size()));
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Seed";
    exif["Exif.Image.Model"] = "Seed Camera";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(8);
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(4000);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    image->setExifData(exif);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.creator"] = "Seed";
    xmp["Xmp.tiff.Orientation"] = "8";
    image->setXmpData(xmp);
    if (iptc) {
        Exiv2::IptcData data;
        data["Iptc.Application2.Caption"] = "Seed";
        image->setIptcData(data);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    Bytes out(io.size());
    io.read(out.data(), static_cast<long>(out.size()));
    io.close();
    return out;
}

static Bytes readFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(stream), {}};
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-format-seeds CORPUS-DIR\n");
        return 2;
    }
    root = argv[1];
    Exiv2::XmpParser::initialize();
    Exiv2::enableBMFF(true);
    const Bytes icc = wideProfile();
    const Bytes exif = tiffExif();

    write("decode-webp", "lossy.webp", webp(17, 11, false, false));
    write("decode-webp", "lossy-alpha.webp", webp(16, 16, true, false));
    write("decode-webp", "lossless.webp", webp(13, 7, false, true));
    write("decode-webp", "lossless-alpha.webp", webp(9, 9, true, true));
    write("decode-webp", "profile-exif.webp", muxed(webp(12, 8, false, false), icc, exif));
    write("decode-webp", "animated.webp", animated(10, 6));

    write("decode-heif", "plain.heic", heif(heif_compression_HEVC, 16, 16, false, {}, 0, {}));
    write("decode-heif", "alpha.heic", heif(heif_compression_HEVC, 16, 8, true, {}, 0, {}));
    write("decode-heif", "profile.heic", heif(heif_compression_HEVC, 8, 8, false, icc, 0, {}));
    write("decode-heif", "p3-exif.heic", heif(heif_compression_HEVC, 8, 8, false, {}, 12, exif));
    write("decode-heif", "plain.avif", heif(heif_compression_AV1, 16, 16, false, {}, 0, {}));
    write("decode-heif", "bt2020.avif", heif(heif_compression_AV1, 8, 8, false, {}, 9, {}));

    const Bytes jpeg = readFile(root / "decode-jpeg" / "420.jpg");
    if (!jpeg.empty())
        write("metadata", "camera.jpg", withMetadata(jpeg, true));
    write("metadata", "camera.webp", withMetadata(webp(8, 8, false, false), false));
    write("metadata", "exif.heic", heif(heif_compression_HEVC, 8, 8, false, {}, 0, exif));
    const Bytes png = readFile(root / "decode-png" / "rgb8.png");
    if (!png.empty())
        write("metadata", "camera.png", withMetadata(png, false));
    return 0;
}
