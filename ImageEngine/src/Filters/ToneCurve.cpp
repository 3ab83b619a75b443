// Filters::toneCurve: a monotone curve on the encoded value of red, green and blue alike.
// The straight colour is clamped to [0, 1], encoded, mapped through the curve and decoded again; alpha
// is kept. The curve composed with the transfer functions is one table, looked up per channel; where
// sixteen cubics (one per sixteenth of the table's index) follow it closely enough, vectors of eight
// or sixteen lanes pick each lane's cubic from registers instead, without per-lane loads.
#include <type_traits>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/ToneCurve.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// The frame both kernels share: each pixel's straight colour, held to the curve's domain, goes
// through curve to the curved straight value, which is premultiplied again (a transparent pixel stays
// transparent black).
template <class Curve>
HWY_INLINE void curveStraightChannels(const Simd::Lanes& lanes, const Curve& curve) {
    const D d;
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    forEachVector(lanes, [&](std::size_t i) {
        const V a = hn::Load(d, lanes.a + i);
        auto channels = [&](auto opaque) {
            constexpr bool kOpaque = decltype(opaque)::value;
            const V inverse = kOpaque ? one : inverseAlpha(d, a);
            for (float* channel : {lanes.r, lanes.g, lanes.b}) {
                V v = hn::Load(d, channel + i);
                if constexpr (!kOpaque)
                    v = hn::Mul(v, inverse);
                V curved = curve(hn::Min(hn::Max(v, zero), one));
                if constexpr (!kOpaque)
                    curved = hn::Mul(curved, a);
                hn::Store(curved, d, channel + i);
            }
        };
        // A vector of opaque pixels, what photos are made of, is its own straight colour: neither
        // the division nor the premultiplication is needed.
        if (hn::AllTrue(d, hn::Eq(a, one)))
            channels(std::true_type{});
        else
            channels(std::false_type{});
    });
}

// packed holds size words, each two half-precision linear values: the curve at evenly spaced square
// roots of the linear input from 0 to 1 (low half) and at the next one (high half).
void toneCurve(const Simd::Lanes& lanes, const std::uint32_t* packed, std::size_t size) {
    const D d;
    const DI di;
    const hn::RebindToUnsigned<D> du;
    const auto lowHalf = hn::Set(du, 0xFFFFu);
    // A half's bits shifted into a float's place are its value times 2^-112.
    const V halfScale = hn::Set(d, 0x1p112f);
    const V scale = hn::Set(d, static_cast<float>(size - 1));
    const VI last = hn::Set(di, static_cast<int>(size) - 2);
    // The two table entries around each position, from one word, blended by the fraction between them.
    curveStraightChannels(lanes, [&](V v) {
        const V position = hn::Mul(hn::Sqrt(v), scale);
        const VI base = hn::Min(hn::ConvertTo(di, position), last);
        const V fraction = hn::Sub(position, hn::ConvertTo(d, base));
        const auto word = hn::GatherIndex(du, packed, base);
        const V low = hn::Mul(hn::BitCast(d, hn::ShiftLeft<13>(hn::And(word, lowHalf))), halfScale);
        const V high = hn::Mul(hn::BitCast(d, hn::ShiftLeft<13>(hn::ShiftRight<16>(word))), halfScale);
        return hn::MulAdd(hn::Sub(high, low), fraction, low);
    });
}

// The curve as kCurveSegments cubics (see curveCubicsAt); only where they fit the vectors, elsewhere
// the table's kernel runs.
void toneCurveCubics(const Simd::Lanes& lanes, const float* cubics) {
    withCurveCubics(cubics, [&](const auto& curve) { curveStraightChannels(lanes, curve); });
}

bool toneCurveHasCubics() {
    return kCurveCubicsFitVectors;
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <ImageEngine/ToneCurve.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace ImageEngine {

HWY_EXPORT(toneCurve);
HWY_EXPORT(toneCurveCubics);
HWY_EXPORT(toneCurveHasCubics);
static_assert(ToneCurve::kCubicSegments == 16, "the cubic kernel holds sixteen segments");

namespace {

class ToneCurveKernel final : public PointKernel {
public:
    explicit ToneCurveKernel(const ToneCurve& curve) : m_points(curve.points()) {
        const std::vector<float> table = curve.linearTable();
        m_table = ToneCurve::packTable(table);
        if (m_madeWithCubics) {
            m_cubics = Cubics::from(curve.segmentCubics(table));
            m_encodedCubics = Cubics::from(curve.encodedSegmentCubics());
        }
    }
    // The kernel of a curve met lately, or a new one: the tables and cubics take about a millisecond
    // to make, and a recipe is built again for every render while only its last edit changes.
    static std::shared_ptr<const ToneCurveKernel> make(const ToneCurve& curve) {
        constexpr std::size_t kRecent = 4;
        static std::mutex mutex;
        static std::vector<std::shared_ptr<const ToneCurveKernel>> recent;
        // Made for the instruction set of the moment (tests switch it).
        const bool cubics = HWY_DYNAMIC_DISPATCH(toneCurveHasCubics)();
        {
            std::lock_guard lock(mutex);
            for (auto it = recent.begin(); it != recent.end(); ++it) {
                if ((*it)->m_points == curve.points() && (*it)->m_madeWithCubics == cubics) {
                    auto kernel = *it;
                    recent.erase(it);
                    recent.push_back(kernel);
                    return kernel;
                }
            }
        }
        auto kernel = std::make_shared<const ToneCurveKernel>(curve);
        std::lock_guard lock(mutex);
        if (recent.size() >= kRecent)
            recent.erase(recent.begin());
        recent.push_back(kernel);
        return kernel;
    }
    const float* encodedCurveCubics() const override {
        return m_encodedCubics ? m_encodedCubics->values : nullptr;
    }
    void apply(const Simd::Lanes& lanes) const override {
        // The instruction set may change between construction and rendering (tests switch it).
        if (m_cubics && HWY_DYNAMIC_DISPATCH(toneCurveHasCubics)()) {
            HWY_DYNAMIC_DISPATCH(toneCurveCubics)(lanes, m_cubics->values);
            return;
        }
        HWY_DYNAMIC_DISPATCH(toneCurve)(lanes, m_table.data(), m_table.size());
    }
    bool describe(ContentKey& key) const override {
        key.add(std::span<const std::uint32_t>(m_table));
        return true;
    }

private:
    struct Cubics {
        alignas(64) float values[4 * ToneCurve::kCubicSegments];
        // nullptr for the empty list of a curve the cubics cannot follow.
        static std::unique_ptr<Cubics> from(const std::vector<float>& cubics) {
            if (cubics.empty())
                return nullptr;
            auto result = std::make_unique<Cubics>();
            std::copy(cubics.begin(), cubics.end(), result->values);
            return result;
        }
    };
    std::vector<ToneCurve::Point> m_points;
    bool m_madeWithCubics = HWY_DYNAMIC_DISPATCH(toneCurveHasCubics)();
    std::vector<std::uint32_t> m_table;
    std::unique_ptr<Cubics> m_cubics, m_encodedCubics;
};

class ToneCurveFilter final : public EngineFilter {
public:
    ToneCurveFilter() : EngineFilter(Filters::toneCurve) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::curvePoints, InputKind::Data, Data{}, {},
                     "control points as x, y pairs of 32-bit floats on encoded values; the ends (0, 0) and "
                     "(1, 1) are added where no point sits at 0 or 1; nil or only diagonal points leave "
                     "the picture as it is");
    }
    ImagePtr build() const override {
        ImagePtr image = imageInput(Inputs::image);
        Data data = dataInput(Inputs::curvePoints);
        std::vector<ToneCurve::Point> points;
        if (data) {
            if (data->size() % (2 * sizeof(float)) != 0) {
                Foundation::log("%s: the curve points take whole x, y pairs of floats, not %zu bytes",
                                Filters::toneCurve.text, data->size());
                return nullptr;
            }
            std::vector<float> numbers(data->size() / sizeof(float));
            if (!numbers.empty())
                std::memcpy(numbers.data(), data->data(), data->size());
            for (std::size_t i = 0; i < numbers.size(); i += 2) {
                points.push_back({numbers[i], numbers[i + 1]});
            }
        }
        const ToneCurve curve = ToneCurve::throughPoints(points);
        // The identity hands the picture on as it is, so its bytes cannot change.
        if (!image || curve.isIdentity()) {
            return image;
        }
        return imageWithNode(appendPointKernel(nodeOf(image), ToneCurveKernel::make(curve)));
    }
};

} // namespace

std::shared_ptr<Filter> makeToneCurveFilter() {
    return makePreparedFilter<ToneCurveFilter>();
}

} // namespace ImageEngine
#endif
