#pragma once

#include <cstddef>
#include <cstdint>

// The fuzz targets' bodies. Each takes any bytes and either returns 0 or aborts with a message
// naming the broken invariant. They are shared by the libFuzzer programs and by the reliability
// tests, which replay the seed corpora and every input that once failed.
namespace RUXFuzz {

// Bytes through the platform image loader (PNG, JPEG, WebP, HEIF, AVIF or a camera raw, chosen by content) under a small
// pixel limit; a decoded image is then drawn upright into a tiny context.
int decodeImage(const std::uint8_t* data, std::size_t size);

// Bytes as a photo file whose Exif, XMP and IPTC are read and written into an edited copy of each
// output format; the copy must open upright.
int photoMetadata(const std::uint8_t* data, std::size_t size);

// A lookup-table image of any size, tile count and pixel format, or a PNG, turned into cube data
// and applied; also the engine's colour cube with any dimension and data length.
int lookupTable(const std::uint8_t* data, std::size_t size);

// An overlay look whose overlay image has any size, laid over a small photo and rendered.
int overlay(const std::uint8_t* data, std::size_t size);

// An editing session: commits, undos, redos, working-copy edits, previews, thumbnails and renders
// at tiny sizes, checking the edit list's invariants after every step.
int editSession(const std::uint8_t* data, std::size_t size);

// Bytes as a recipe document; one that is read must be a valid list, write back to a document that
// reads the same, commit as one undoable step on a tiny photo and render.
int recipe(const std::uint8_t* data, std::size_t size);

// Bytes as a .cube file; a table that is read must suit the engine's colour cube (a size of 2 to
// 64, exactly size³ finite, opaque entries) and render a small picture to its own size.
int cubeFile(const std::uint8_t* data, std::size_t size);

} // namespace RUXFuzz
