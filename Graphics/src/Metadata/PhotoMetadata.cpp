// Exif, XMP and IPTC through Exiv2. Exiv2 reports trouble by exceptions and by printing to stderr:
// both stop here, so that callers see a null result or false and at most one line in our log.
#include <Foundation/Log.h>
#include <Graphics/PhotoMetadata.h>
#include <algorithm>
#include <climits>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libheif/heif.h>
#include <mutex>

namespace Graphics {

struct PhotoMetadata::Contents {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

namespace {

// The XMP toolkit must be set up once before any thread parses XMP; BMFF (HEIF, AVIF) reading is
// off in Exiv2 until asked for.
void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

template <typename Data, typename Key>
void setIfPresent(Data& data, const char* key, const std::string& value) {
    auto found = data.findKey(Key(key));
    if (found != data.end())
        found->setValue(value);
}

template <typename Data, typename Key>
void eraseIfPresent(Data& data, const char* key) {
    auto found = data.findKey(Key(key));
    if (found != data.end())
        data.erase(found);
}

// A raw's first directory describes its sensor data (strips or tiles, the mosaic's pattern, DNG's
// colour calibration) and its other directories hold the raw image and previews. None of that
// describes an edited copy, and a reader could take the copy's pixels for a mosaic.
bool describesRawData(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    if (group.rfind("SubImage", 0) == 0 || group.rfind("SubThumb", 0) == 0 ||
        (group.size() == 6 && group.rfind("Image", 0) == 0 && group[5] >= '2' && group[5] <= '9'))
        return true;
    if (group != "Image")
        return false;
    const std::uint16_t tag = datum.tag();
    constexpr std::uint16_t kLayoutTags[] = {0x00fe, 0x0111, 0x0116, 0x0117, 0x0142, 0x0143,
                                             0x0144, 0x0145, 0x014a, 0x828d, 0x828e};
    return (tag >= 0xc612 && tag <= 0xcfff) ||
           std::find(std::begin(kLayoutTags), std::end(kLayoutTags), tag) != std::end(kLayoutTags);
}

// The edited copy is upright, of a new size, in sRGB, and its old preview would show the photo
// before the edit.
void describeEditedCopy(PhotoMetadata::Contents& metadata, int width, int height) {
    auto& exif = metadata.exif;
    if (!exif.empty()) {
        Exiv2::ExifThumb(exif).erase();
        for (auto datum = exif.begin(); datum != exif.end();)
            datum = describesRawData(*datum) ? exif.erase(datum) : std::next(datum);
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
        exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
        exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
        setIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageWidth", std::to_string(width));
        setIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageLength", std::to_string(height));
        setIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.ColorSpace", "1");
        eraseIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Iop.InteroperabilityIndex");
        eraseIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.InterColorProfile");
    }
    auto& xmp = metadata.xmp;
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.Orientation", "1");
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
    setIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.ColorSpace", "1");
    eraseIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.photoshop.ICCProfile");
}

struct HeifContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

bool isHeif(const std::uint8_t* data, std::size_t size) {
    if (size < 12 || std::memcmp(data + 4, "ftyp", 4) != 0)
        return false;
    const heif_filetype_result type =
        heif_check_filetype(data, static_cast<int>(std::min<std::size_t>(size, 4096)));
    return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

std::vector<std::uint8_t> heifBlock(heif_image_handle* handle, heif_item_id id) {
    std::vector<std::uint8_t> bytes(heif_image_handle_get_metadata_size(handle, id));
    if (bytes.empty() || heif_image_handle_get_metadata(handle, id, bytes.data()).code != heif_error_Ok)
        bytes.clear();
    return bytes;
}

// Exiv2 finds no Exif in the HEIF files we meet; libheif, which decodes them, hands over the primary
// image's Exif block (a 4-byte offset to the TIFF header, then the block) and its XMP.
void readHeifMetadata(const std::uint8_t* data, std::size_t size, PhotoMetadata::Contents& contents) {
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    heif_image_handle* rawHandle = nullptr;
    if (!context ||
        heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
            heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok || !rawHandle)
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    std::unique_ptr<heif_image_handle, HeifHandleDeleter> handle(rawHandle);
    heif_item_id ids[16];
    const int exifCount = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", ids, 16);
    if (exifCount > 0) {
        const std::vector<std::uint8_t> block = heifBlock(handle.get(), ids[0]);
        if (block.size() >= 4) {
            const std::uint64_t offset =
                4 + ((std::uint64_t{block[0]} << 24) | (block[1] << 16) | (block[2] << 8) | block[3]);
            if (offset < block.size())
                Exiv2::ExifParser::decode(contents.exif, block.data() + offset,
                                          static_cast<std::uint32_t>(block.size() - offset));
        }
    }
    const int mimeCount = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "mime", ids, 16);
    for (int i = 0; i < std::min(mimeCount, 16); ++i) {
        const char* type = heif_image_handle_get_metadata_content_type(handle.get(), ids[i]);
        if (type && std::strcmp(type, "application/rdf+xml") == 0) {
            const std::vector<std::uint8_t> block = heifBlock(handle.get(), ids[i]);
            Exiv2::XmpParser::decode(contents.xmp, std::string(block.begin(), block.end()));
            break;
        }
    }
}

} // namespace

PhotoMetadata::PhotoMetadata(std::unique_ptr<Contents> contents) : m_contents(std::move(contents)) {}
PhotoMetadata::~PhotoMetadata() = default;

std::shared_ptr<const PhotoMetadata> PhotoMetadata::createFromData(const std::uint8_t* data,
                                                                   std::size_t size) {
    if (!data || size == 0 || size > static_cast<std::size_t>(LONG_MAX))
        return nullptr;
    prepareExiv2();
    auto contents = std::make_unique<Contents>();
    try {
        if (isHeif(data, size)) {
            readHeifMetadata(data, size, *contents);
            if (contents->exif.empty() && contents->xmp.empty())
                return nullptr;
            return std::shared_ptr<const PhotoMetadata>(new PhotoMetadata(std::move(contents)));
        }
        auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
        if (!image.get())
            return nullptr;
        image->readMetadata();
        contents->exif = image->exifData();
        contents->xmp = image->xmpData();
        contents->iptc = image->iptcData();
    } catch (const std::exception& error) {
        Foundation::log("Metadata: unreadable, none kept (%s)", error.what());
        return nullptr;
    } catch (...) {
        Foundation::log("Metadata: unreadable, none kept");
        return nullptr;
    }
    if (contents->exif.empty() && contents->xmp.empty() && contents->iptc.empty())
        return nullptr;
    return std::shared_ptr<const PhotoMetadata>(new PhotoMetadata(std::move(contents)));
}

std::shared_ptr<const PhotoMetadata> PhotoMetadata::createFromFile(const std::string& path) {
    // The same bound as the image loader's: no photo we accept comes near it.
    constexpr std::uintmax_t kMaxFileBytes = 1ull << 30;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::ifstream file(path, std::ios::binary);
    if (error || size > kMaxFileBytes || !file) {
        Foundation::log("Metadata: cannot open %s, none kept", path.c_str());
        return nullptr;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    return createFromData(bytes.data(), bytes.size());
}

std::optional<std::string> PhotoMetadata::value(const std::string& key) const {
    try {
        if (key.rfind("Exif.", 0) == 0) {
            auto found = m_contents->exif.findKey(Exiv2::ExifKey(key));
            if (found != m_contents->exif.end())
                return found->toString();
        } else if (key.rfind("Xmp.", 0) == 0) {
            auto found = m_contents->xmp.findKey(Exiv2::XmpKey(key));
            if (found != m_contents->xmp.end())
                return found->toString();
        } else if (key.rfind("Iptc.", 0) == 0) {
            auto found = m_contents->iptc.findKey(Exiv2::IptcKey(key));
            if (found != m_contents->iptc.end())
                return found->toString();
        }
    } catch (...) {
        // An unknown key is an absent one.
    }
    return std::nullopt;
}

bool PhotoMetadata::writeInto(std::vector<std::uint8_t>& encoded, int width, int height) const {
    if (encoded.empty() || encoded.size() > static_cast<std::size_t>(LONG_MAX))
        return false;
    try {
        Contents edited{m_contents->exif, m_contents->xmp, m_contents->iptc};
        describeEditedCopy(edited, width, height);
        auto image = Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
        if (!image.get())
            return false;
        // Reading first keeps what the encoder wrote (the colour profile) through the rewrite.
        image->readMetadata();
        image->setExifData(edited.exif);
        image->setXmpData(edited.xmp);
        if (image->supportsMetadata(Exiv2::mdIptc))
            image->setIptcData(edited.iptc);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return false;
        std::vector<std::uint8_t> result(io.size());
        const long read = result.empty() ? 0 : io.read(result.data(), static_cast<long>(result.size()));
        io.close();
        if (read != static_cast<long>(result.size()) || result.empty())
            throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        encoded = std::move(result);
        return true;
    } catch (const std::exception& error) {
        Foundation::log("Metadata: cannot write into the edited copy, none kept (%s)", error.what());
    } catch (...) {
        Foundation::log("Metadata: cannot write into the edited copy, none kept");
    }
    return false;
}

} // namespace Graphics
