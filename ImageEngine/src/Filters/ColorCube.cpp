// Filters::colorCubeWithColorSpace: a three-dimensional colour look-up table applied in a given space;
// the looks are made of it.
// The input's straight colour is clamped to [0, 1] in the table's space and looked up trilinearly; the
// output alpha is the table's alpha times the input's.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/ColorCube.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

#ifndef IMAGEENGINE_FILTERS_COLOR_CUBE_TABLE
#define IMAGEENGINE_FILTERS_COLOR_CUBE_TABLE
namespace ImageEngine {
struct CubeTable {
    const float* data; // dimension³ entries of premultiplied RGBA, red fastest
    // The same entries as whole steps of each channel's range, value = lowest + step × entry; nullptr
    // when a channel's range is too wide for 16 bits to hold its values closely enough.
    const std::uint16_t* compact;
    const float* lowest; // four channels, for the compact entries
    const float* step;   // four channels, for the compact entries
    int dimension;       // 2 … 64
    bool opaque;         // every entry's alpha is 1, so alpha needs no division
    bool encoded;        // the table maps sRGB-encoded colour rather than linear
};
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// Trilinear look-up of the straight colour clamped to [0, 1], which toTable brings into the table's
// space first.
template <class ToTable>
HWY_INLINE void lookUpCube(const Simd::Lanes& lanes, const CubeTable& table, const ToTable& toTable) {
    const D d;
    const DI di;
    const int dimension = table.dimension;
    const V scale = hn::Set(d, static_cast<float>(dimension - 1));
    const VI lastBase = hn::Set(di, dimension - 2);
    // Scalars rather than vectors: the scalable vectors of SVE cannot be elements of an array.
    const int strides[3] = {4, dimension * 4, dimension * dimension * 4};
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    float* const channels[3] = {lanes.r, lanes.g, lanes.b};
    HWY_ALIGN std::int32_t cells[Simd::kRunPixels];
    HWY_ALIGN float fractions[3][Simd::kRunPixels];
    HWY_ALIGN float looked[Simd::kRunPixels * 4];

    // Straight colour in the table's space, clamped to the table's domain, split into a cell and
    // the position inside it.
    forEachVector(lanes, [&](std::size_t i) {
        const V inverse = inverseAlpha(d, hn::Load(d, lanes.a + i));
        VI cell = hn::Zero(di);
        for (int c = 0; c < 3; ++c) {
            const V v = toTable(hn::Min(hn::Max(hn::Mul(hn::Load(d, channels[c] + i), inverse), zero), one));
            const V position = hn::Mul(v, scale);
            const VI base = hn::Min(hn::ConvertTo(di, position), lastBase);
            hn::Store(hn::Sub(position, hn::ConvertTo(d, base)), d, fractions[c] + i);
            cell = hn::Add(hn::Mul(base, hn::Set(di, strides[c])), cell);
        }
        hn::Store(cell, di, cells + i);
    });

    // Trilinear interpolation between the cell's eight corners, a pixel at a time: the corners are
    // scattered over the table, and gathering them lane by lane costs several times more than plain
    // loads. The padding lanes too (their zeros make cell 0), so that the last step reads no stale
    // value.
    const std::size_t padded = (lanes.count + hn::Lanes(d) - 1) / hn::Lanes(d) * hn::Lanes(d);
    const std::ptrdiff_t nextG = dimension * 4, nextB = dimension * dimension * 4;
    const hn::CappedTag<float, 4> d4;
    const std::size_t n4 = hn::Lanes(d4);
    if (table.compact) {
        // A corner and its neighbour along red are eight adjacent 16-bit values: both are blended
        // along green and blue at once, then with each other.
        const hn::CappedTag<float, 8> d8;
        const hn::Rebind<std::int32_t, decltype(d8)> di8;
        const hn::Rebind<std::uint16_t, decltype(d8)> du8;
        const std::size_t n8 = hn::Lanes(d8);
        for (std::size_t i = 0; i < padded; ++i) {
            const auto fg = hn::Set(d8, fractions[1][i]), fb = hn::Set(d8, fractions[2][i]);
            const std::uint16_t* corner = table.compact + cells[i];
            HWY_ALIGN float pair[8];
            for (std::size_t c = 0; c < 8; c += n8) {
                auto load = [&](std::ptrdiff_t offset) {
                    return hn::ConvertTo(d8, hn::PromoteTo(di8, hn::LoadU(du8, corner + offset + c)));
                };
                const auto c00 = load(0), c10 = load(nextG), c01 = load(nextB), c11 = load(nextB + nextG);
                const auto c0 = hn::MulAdd(hn::Sub(c10, c00), fg, c00);
                const auto c1 = hn::MulAdd(hn::Sub(c11, c01), fg, c01);
                hn::Store(hn::MulAdd(hn::Sub(c1, c0), fb, c0), d8, pair + c);
            }
            const auto fr = hn::Set(d4, fractions[0][i]);
            for (std::size_t c = 0; c < 4; c += n4) {
                const auto low = hn::Load(d4, pair + c);
                hn::StoreU(hn::MulAdd(hn::Sub(hn::Load(d4, pair + 4 + c), low), fr, low), d4,
                           looked + i * 4 + c);
            }
        }
    } else {
        for (std::size_t i = 0; i < padded; ++i) {
            const auto fr = hn::Set(d4, fractions[0][i]), fg = hn::Set(d4, fractions[1][i]),
                       fb = hn::Set(d4, fractions[2][i]);
            for (std::size_t c = 0; c < 4; c += n4) {
                const float* corner = table.data + cells[i] + c;
                auto edge = [&](const float* p) {
                    const auto low = hn::LoadU(d4, p);
                    return hn::MulAdd(hn::Sub(hn::LoadU(d4, p + 4), low), fr, low);
                };
                const auto c00 = edge(corner), c10 = edge(corner + nextG);
                const auto c01 = edge(corner + nextB), c11 = edge(corner + nextB + nextG);
                const auto c0 = hn::MulAdd(hn::Sub(c10, c00), fg, c00);
                const auto c1 = hn::MulAdd(hn::Sub(c11, c01), fg, c01);
                hn::StoreU(hn::MulAdd(hn::Sub(c1, c0), fb, c0), d4, looked + i * 4 + c);
            }
        }
    }

    // The table holds premultiplied colour: back to straight, to linear, then premultiplied by both
    // the table's and the pixel's alpha. A clear pixel stays clear.
    forEachVector(lanes, [&](std::size_t i) {
        V r, g, b, a;
        hn::LoadInterleaved4(d, looked + i * 4, r, g, b, a);
        if (table.compact) {
            r = hn::MulAdd(r, hn::Set(d, table.step[0]), hn::Set(d, table.lowest[0]));
            g = hn::MulAdd(g, hn::Set(d, table.step[1]), hn::Set(d, table.lowest[1]));
            b = hn::MulAdd(b, hn::Set(d, table.step[2]), hn::Set(d, table.lowest[2]));
            a = hn::MulAdd(a, hn::Set(d, table.step[3]), hn::Set(d, table.lowest[3]));
        }
        const V alpha = hn::Load(d, lanes.a + i);
        const V tableAlpha = table.opaque ? one : a;
        const V outAlpha = hn::IfThenZeroElse(hn::Le(alpha, zero), hn::Mul(tableAlpha, alpha));
        const V straight = table.opaque ? one : inverseAlpha(d, tableAlpha);
        auto store = [&](V entry, float* channel) {
            V v = hn::Mul(entry, straight);
            if (table.encoded)
                v = decodeAny(d, v);
            hn::Store(hn::Mul(v, outAlpha), d, channel + i);
        };
        store(r, lanes.r);
        store(g, lanes.g);
        store(b, lanes.b);
        hn::Store(outAlpha, d, lanes.a + i);
    });
}

// The table's own look-up: the colour encoded first when the table maps encoded colour.
void colorCube(const Simd::Lanes& lanes, const CubeTable& table) {
    const D d;
    lookUpCube(lanes, table, [&](V v) { return table.encoded ? encodeUnit(d, v) : v; });
}

// A tone curve and then an encoded table in one: the curve's cubics (ToneCurve::encodedSegmentCubics)
// give the encoded value the table looks up, in place of the curve's decoding and the table's
// encoding. Only where the cubics fit the vectors (curvedCubeFits).
void curvedColorCube(const Simd::Lanes& lanes, const CubeTable& table, const float* cubics) {
    withCurveCubics(cubics, [&](const auto& curve) { lookUpCube(lanes, table, curve); });
}

bool curvedCubeFits() {
    return kCurveCubicsFitVectors;
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <typeinfo>

namespace ImageEngine {

HWY_EXPORT(colorCube);
HWY_EXPORT(curvedColorCube);
HWY_EXPORT(curvedCubeFits);

namespace {

// The widest range of one channel whose entries are kept as 16-bit steps: a step is then at most
// 6.1e-5, an error of at most 3.1e-5 per entry, a hundredth of an 8-bit level.
constexpr float kCompactRange = 4.0f;

class ColorCubeKernel final : public PointKernel {
public:
    // source is the table's bytes as the filter was given them (its floats are in table): a table
    // is read as it is and never changed, so the kernel is described by its identity.
    ColorCubeKernel(int dimension, std::vector<float> table, bool encoded, Data source)
        : m_dimension(dimension), m_table(std::move(table)), m_source(std::move(source)), m_encoded(encoded) {
        // Looks are nearly always opaque; their alpha then needs no division.
        m_opaque = true;
        for (std::size_t i = 3; i < m_table.size(); i += 4)
            m_opaque = m_opaque && m_table[i] == 1.0f;
        makeCompact();
    }

    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(colorCube)(lanes, table()); }
    CubeTable table() const {
        return {m_table.data(), m_compact.empty() ? nullptr : m_compact.data(),
                m_lowest,       m_step,
                m_dimension,    m_opaque,
                m_encoded};
    }
    bool isEncoded() const { return m_encoded; }

    bool describe(ContentKey& key) const override {
        key.addShared(m_source);
        key.add(m_dimension);
        key.add(m_encoded);
        return true;
    }

    // The kernel of a table met lately, or a new one: the compact table takes as long to make as a
    // slider step takes to look up a tenth of its pixels, and one look is rendered many times over.
    static std::shared_ptr<const ColorCubeKernel> make(int dimension, const Data& data, bool encoded);

private:
    // Half the float table's size, so that a 33-point look stays in a core's second-level cache
    // beside the pixels; the interpolation itself stays in floats.
    void makeCompact() {
        float highest[4];
        for (int c = 0; c < 4; ++c) {
            m_lowest[c] = m_table[c];
            highest[c] = m_table[c];
        }
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            const float v = m_table[i];
            if (!std::isfinite(v))
                return;
            m_lowest[i % 4] = std::min(m_lowest[i % 4], v);
            highest[i % 4] = std::max(highest[i % 4], v);
        }
        for (int c = 0; c < 4; ++c) {
            if (!(highest[c] - m_lowest[c] <= kCompactRange))
                return;
            m_step[c] = (highest[c] - m_lowest[c]) / 65535.0f;
        }
        m_compact.resize(m_table.size());
        for (std::size_t i = 0; i < m_table.size(); ++i) {
            const float step = m_step[i % 4];
            const float steps = step > 0 ? (m_table[i] - m_lowest[i % 4]) / step : 0.0f;
            m_compact[i] = static_cast<std::uint16_t>(std::clamp(std::lround(steps), 0L, 65535L));
        }
        // Only the float path reads the floats, so a recipe holding a look keeps the compact table alone.
        m_table = {};
    }

    int m_dimension;
    std::vector<float> m_table;
    std::vector<std::uint16_t> m_compact;
    Data m_source;
    float m_lowest[4] = {};
    float m_step[4] = {};
    bool m_encoded;
    bool m_opaque;
};

std::shared_ptr<const ColorCubeKernel> ColorCubeKernel::make(int dimension, const Data& data, bool encoded) {
    // The last few kernels, held so that they outlive the recipes that used them; each holds its
    // table's bytes, so a table met again is the same object.
    constexpr std::size_t kRecent = 4;
    static std::mutex mutex;
    static std::vector<std::shared_ptr<const ColorCubeKernel>> recent;
    {
        std::lock_guard lock(mutex);
        for (auto it = recent.begin(); it != recent.end(); ++it) {
            if ((*it)->m_source == data && (*it)->m_dimension == dimension && (*it)->m_encoded == encoded) {
                auto kernel = *it;
                recent.erase(it);
                recent.push_back(kernel);
                return kernel;
            }
        }
    }
    std::vector<float> table(data->size() / sizeof(float));
    std::memcpy(table.data(), data->data(), table.size() * sizeof(float));
    auto kernel = std::make_shared<const ColorCubeKernel>(dimension, std::move(table), encoded, data);
    std::lock_guard lock(mutex);
    if (recent.size() >= kRecent)
        recent.erase(recent.begin());
    recent.push_back(kernel);
    return kernel;
}

// A curve on encoded values followed by an encoded table, run as one step (see curvedColorCube); the
// two steps one after the other where the instruction set cannot hold the cubics.
class CurvedColorCubeKernel final : public PointKernel {
public:
    CurvedColorCubeKernel(PointKernelPtr curve, std::shared_ptr<const ColorCubeKernel> cube)
        : m_curve(std::move(curve)), m_cube(std::move(cube)) {
        std::copy_n(m_curve->encodedCurveCubics(), std::size(m_cubics), m_cubics);
    }
    void apply(const Simd::Lanes& lanes) const override {
        // The instruction set may change between construction and rendering (tests switch it).
        if (HWY_DYNAMIC_DISPATCH(curvedCubeFits)()) {
            HWY_DYNAMIC_DISPATCH(curvedColorCube)(lanes, m_cube->table(), m_cubics);
            return;
        }
        m_curve->apply(lanes);
        m_cube->apply(lanes);
    }
    bool describe(ContentKey& key) const override {
        if (!m_curve->describe(key))
            return false;
        key.addType(typeid(*m_cube));
        return m_cube->describe(key);
    }

private:
    PointKernelPtr m_curve;
    std::shared_ptr<const ColorCubeKernel> m_cube;
    alignas(64) float m_cubics[4 * 16];
};

// The input followed by the table: where the input's chain ends in a curve that the table's encoding
// can take up, the two become one step.
NodePtr appendCube(const NodePtr& input, std::shared_ptr<const ColorCubeKernel> cube) {
    auto chain = std::dynamic_pointer_cast<const PointNode>(input);
    if (!cube->isEncoded() || !chain || !chain->kernels().back()->encodedCurveCubics())
        return appendPointKernel(input, std::move(cube));
    std::vector<PointKernelPtr> kernels = chain->kernels();
    kernels.back() = std::make_shared<CurvedColorCubeKernel>(kernels.back(), std::move(cube));
    return std::make_shared<PointNode>(chain->inputs()[0], std::move(kernels));
}

class ColorCubeWithColorSpaceFilter final : public EngineFilter {
public:
    ColorCubeWithColorSpaceFilter() : EngineFilter(Filters::colorCubeWithColorSpace) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to recolour; nil gives a nil output");
        declareInput(
            Inputs::cubeDimension, InputKind::Number, 2.0, {2, 64},
            "entries along each edge of the cube, a whole number; outside the range the output is nil");
        declareInput(Inputs::cubeData, InputKind::Data, Data{}, {},
                     "dimension^3 premultiplied RGBA floats, red fastest, then green, then blue; any other "
                     "size gives nil");
        declareInput(Inputs::colorSpace, InputKind::ColorSpace, Graphics::ColorSpace::DeviceRGB, {},
                     "the space the table maps: linear sRGB, or else sRGB-encoded colour");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        if (!input)
            return nullptr;
        double dimensionValue = numberInput(Inputs::cubeDimension);
        if (!(dimensionValue >= 2 && dimensionValue <= 64) || dimensionValue != std::floor(dimensionValue)) {
            Foundation::log("ImageEngine: %s dimension %g outside 2...64", name().c_str(), dimensionValue);
            return nullptr;
        }
        const int dimension = static_cast<int>(dimensionValue);
        const std::size_t entries = static_cast<std::size_t>(dimension) * dimension * dimension * 4;
        Data data = dataInput(Inputs::cubeData);
        if (!data || data->size() != entries * sizeof(float)) {
            Foundation::log("ImageEngine: %s data of %zu bytes, %zu expected", name().c_str(),
                            data ? data->size() : 0, entries * sizeof(float));
            return nullptr;
        }
        // A table for linear colour needs no conversion; every other space is taken as sRGB-encoded.
        bool encoded = colorSpaceInput(Inputs::colorSpace) != Graphics::ColorSpace::LinearSRGB;
        return imageWithNode(appendCube(input, ColorCubeKernel::make(dimension, data, encoded)));
    }
};

} // namespace

std::shared_ptr<Filter> makeColorCubeWithColorSpaceFilter() {
    return makePreparedFilter<ColorCubeWithColorSpaceFilter>();
}

} // namespace ImageEngine
#endif
