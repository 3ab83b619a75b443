// The coarse grids and marked pictures a context keeps from one render to the next: found only for a
// graph with the same content, never for one that differs in any number, photo or table, and giving
// the bytes of a render that computes them again.

#include "Filters/Nodes.h"
#include "ImageEngine/Support.h"
#include "Pipeline/ContentKey.h"
#include "Pipeline/Node.h"

#include <ImageEngine/Context.h>
#include <ImageEngine/FilterNames.h>
#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

// Passes its input through, adds up the pixels it is asked for, and describes itself by a number of
// its own (as a filter by its values), or not at all.
class CountedStep final : public Node {
public:
    CountedStep(NodePtr input, std::atomic<long>& area, int number, bool describable = true)
        : Node(input->extent(), {input}), m_area(area), m_number(number), m_describable(describable) {}
    void render(const PixelSpan& out, RenderState& state) const override {
        m_area += static_cast<long>(out.rect.w) * out.rect.h;
        state.renderInput(*inputs()[0], out);
    }
    bool describe(ContentKey& key) const override {
        key.add(m_number);
        return m_describable;
    }

private:
    std::atomic<long>& m_area;
    int m_number;
    bool m_describable;
};

// The recipe a slider step rebuilds: a turn, a crop, the exposure and the contrast before the
// highlights and shadows (whose grid reads them), the vibrance after it.
struct ToneRecipe {
    std::shared_ptr<Graphics::Bitmap> photo;
    double angle = 0.2; // radians
    Rect crop{3, 4, 100, 64};
    double ev = 0.3;
    double contrast = 1.1;
    double radius = 12;
    double highlights = -0.5, shadows = 0.6;
    double vibrance = 0.3;
};

ImagePtr build(const ToneRecipe& r, std::atomic<long>& area) {
    const ImagePtr photo = imageWithNode(std::make_shared<CountedStep>(nodeOf(imageOf(r.photo)), area, 1));
    const double c = std::cos(r.angle), s = std::sin(r.angle);
    ImagePtr image = apply(Filters::affineTransform.text,
                           {{Inputs::image.text, photo},
                            {Inputs::transform.text, Graphics::AffineTransform{c, s, -s, c, 20, -10}}});
    image = apply(Filters::crop.text,
                  {{Inputs::image.text, image}, {Inputs::rectangle.text, Vector::makeWithRect(r.crop)}});
    image = apply(Filters::exposureAdjust.text, {{Inputs::image.text, image}, {Inputs::ev.text, r.ev}});
    image = apply(Filters::colorControls.text,
                  {{Inputs::image.text, image}, {Inputs::contrast.text, r.contrast}});
    image = apply(Filters::highlightsShadows.text, {{Inputs::image.text, image},
                                                    {Inputs::highlights.text, r.highlights},
                                                    {Inputs::shadows.text, r.shadows},
                                                    {Inputs::radius.text, r.radius}});
    return apply(Filters::vibrance.text, {{Inputs::image.text, image}, {Inputs::amount.text, r.vibrance}});
}

// A pattern unlike patternBitmap's, of the same size.
std::shared_ptr<Graphics::Bitmap> otherPattern(int w, int h) {
    auto bitmap = patternBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap->mutableRow(y)[x * 4 + 1] = static_cast<std::uint8_t>((x * y) % 256);
    return bitmap;
}

// A look's table as the colour cube takes it: each entry the next channel's value, darkened.
Data lookTable() {
    constexpr int n = 5;
    std::vector<float> table;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                table.insert(table.end(),
                             {0.9f * g / (n - 1), 0.8f * b / (n - 1), 0.95f * r / (n - 1), 1.0f});
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(table.data());
    return std::make_shared<const std::vector<std::uint8_t>>(bytes, bytes + table.size() * sizeof(float));
}

// What a slider step renders: a photo cut to 50 × 40, its look (a colour table, and overlay art
// scaled to the picture and kept), all of it kept below the slider's exposure, then a blur.
struct LookRecipe {
    std::shared_ptr<Graphics::Bitmap> photo = patternBitmap(60, 45);
    std::shared_ptr<Graphics::Bitmap> art = otherPattern(25, 20);
    Data table = lookTable();
    double ev = 0.3;
};

ImagePtr build(const LookRecipe& r, std::atomic<long>& photoArea, std::atomic<long>& artArea) {
    ImagePtr image = imageWithNode(std::make_shared<CountedStep>(nodeOf(imageOf(r.photo)), photoArea, 1));
    image = image->imageByCroppingToRect(Rect(0, 0, 50, 40));
    image = apply(
        Filters::colorCubeWithColorSpace.text,
        {{Inputs::image.text, image}, {Inputs::cubeDimension.text, 5.0}, {Inputs::cubeData.text, r.table}});
    const ImagePtr art = imageWithNode(std::make_shared<CountedStep>(nodeOf(imageOf(r.art)), artArea, 2));
    const ImagePtr scaled =
        art->imageByApplyingTransform(Graphics::AffineTransform::makeScale(2, 2))->imageByKeepingPixels();
    image = apply(Filters::overlayBlendMode.text,
                  {{Inputs::image.text, scaled}, {Inputs::backgroundImage.text, image}});
    image = apply(Filters::exposureAdjust.text,
                  {{Inputs::image.text, image->imageByKeepingPixels()}, {Inputs::ev.text, r.ev}});
    return apply(Filters::gaussianBlur.text, {{Inputs::image.text, image}, {Inputs::radius.text, 2.0}});
}

} // namespace

// A graph whose render-wide node reads a describable step: built again with the same numbers it
// finds the kept pixels and computes nothing below them; another number, another photo with the
// same pixels, or a step that cannot describe itself computes them again. The bytes never change.
TEST(KeptGrid, OnlyAGraphWithTheSameContentFindsTheKeptPixels) {
    std::atomic<long> area{0};
    auto photo = patternBitmap(40, 30);
    auto graph = [&](int number, const std::shared_ptr<Graphics::Bitmap>& bitmap, bool describable = true) {
        return imageWithNode(makeGaussianBlurNode(makeRenderWideNode(std::make_shared<CountedStep>(
                                                      nodeOf(imageOf(bitmap)), area, number, describable)),
                                                  3.0));
    };
    auto context = Context::create({.tileWidth = 8, .tileHeight = 8, .maxThreads = 2});
    const Rect rect(0, 0, 40, 30);
    const std::vector<std::uint8_t> expected = bytesOf(*render(graph(7, photo), rect));

    struct Step {
        const char* what;
        ImagePtr image;
        bool computed;
    };
    auto copy = patternBitmap(40, 30);
    const Step steps[] = {
        {"first render", graph(7, photo), true},
        {"built again", graph(7, photo), false},
        {"another number", graph(8, photo), true},
        {"the first number again", graph(7, photo), false},
        {"a copy of the photo", graph(7, copy), true},
        {"a step that cannot describe itself", graph(7, photo, false), true},
        {"and again", graph(7, photo, false), true},
    };
    for (const Step& step : steps) {
        area = 0;
        auto bitmap = context->createCGImage(step.image, rect);
        ASSERT_TRUE(bitmap) << step.what;
        EXPECT_EQ(area.load() > 0, step.computed) << step.what;
        EXPECT_EQ(bytesOf(*bitmap), expected) << step.what;
    }

    // Keys of graphs built apart.
    auto key = [&](int number, const std::shared_ptr<Graphics::Bitmap>& bitmap) {
        return contentKeyOf(*nodeOf(graph(number, bitmap)));
    };
    ASSERT_TRUE(key(7, photo));
    EXPECT_TRUE(key(7, photo)->matches(*key(7, photo)));
    EXPECT_FALSE(key(7, photo)->matches(*key(8, photo)));
    EXPECT_FALSE(key(7, photo)->matches(*key(7, copy)));
    EXPECT_FALSE(contentKeyOf(*nodeOf(graph(7, photo, false))));
    // A photo that is gone names nothing, even should the next one take its memory.
    std::optional<ContentKey> orphan;
    {
        auto gone = patternBitmap(40, 30);
        orphan = key(7, gone);
        EXPECT_TRUE(orphan->objectsAlive());
    }
    EXPECT_FALSE(orphan->objectsAlive());
    EXPECT_FALSE(orphan->matches(*orphan));
}

// Highlights and shadows through one context while one number after another changes, against a
// fresh context each time: whatever changes before the grid (the photo, the turn, the crop, the
// exposure, the contrast, the grid's radius) or after it (the curve's amounts, the vibrance), and
// whatever part is rendered, the bytes are those of a render that computes the grid; and the steps
// that leave the grid's inputs alone compute less of the photo than the first render did.
TEST(KeptGrid, HighlightsAndShadowsGivesTheBytesOfAFreshRenderWhateverChanges) {
    std::atomic<long> area{0};
    auto context = Context::create({.tileWidth = 48, .tileHeight = 40, .maxThreads = 2});
    ToneRecipe recipe{.photo = patternBitmap(120, 80)};
    const Rect whole(3, 4, 100, 64);

    struct Step {
        const char* what;
        void (*change)(ToneRecipe&);
        bool gridReused;
    };
    const Step steps[] = {
        {"first render", [](ToneRecipe&) {}, false},
        {"the same again", [](ToneRecipe&) {}, true},
        {"highlights", [](ToneRecipe& r) { r.highlights = 0.4; }, true},
        {"shadows", [](ToneRecipe& r) { r.shadows = -0.3; }, true},
        {"vibrance", [](ToneRecipe& r) { r.vibrance = -0.6; }, true},
        {"exposure", [](ToneRecipe& r) { r.ev = -0.2; }, false},
        {"contrast", [](ToneRecipe& r) { r.contrast = 0.9; }, false},
        {"turn", [](ToneRecipe& r) { r.angle = 0.25; }, false},
        {"crop",
         [](ToneRecipe& r) {
             r.crop = {5, 4, 96, 60};
         },
         false},
        {"radius", [](ToneRecipe& r) { r.radius = 15; }, false},
        {"photo", [](ToneRecipe& r) { r.photo = otherPattern(120, 80); }, false},
        {"the first photo's pixels again", [](ToneRecipe& r) { r.photo = patternBitmap(120, 80); }, false},
    };
    long firstArea = 0;
    for (const Step& step : steps) {
        step.change(recipe);
        for (const Rect& rect : {whole, Rect(20, 10, 50, 40)}) {
            std::atomic<long> freshArea{0};
            const std::vector<std::uint8_t> expected = bytesOf(*render(build(recipe, freshArea), rect));
            area = 0;
            auto bitmap = context->createCGImage(build(recipe, area), rect);
            ASSERT_TRUE(bitmap) << step.what;
            EXPECT_EQ(bytesOf(*bitmap), expected) << step.what;
            if (rect == whole && firstArea == 0) {
                firstArea = area.load();
            } else if (rect == whole) {
                EXPECT_EQ(area.load() < firstArea, step.gridReused) << step.what;
            } else {
                // The part lies inside the whole, so its grid is always found.
                EXPECT_LT(area.load(), freshArea.load()) << step.what;
            }
        }
    }
}

// The kept pictures stay within their budget: the least recently found go first, a picture of the
// same content replaces the one before it, and one larger than the budget is not kept.
TEST(KeptGrid, TheKeptPicturesStayWithinTheirBudget) {
    auto keyOf = [](std::uint64_t number) {
        ContentKey key;
        key.add(number);
        return key;
    };
    const PixelRect rect{0, 0, 16, 16}; // 4 KB
    const std::size_t size = 16 * 16 * 4 * sizeof(float);
    RenderWideCache cache(3 * size);
    for (std::uint64_t n = 1; n <= 3; ++n)
        cache.keep(std::make_shared<KeptPixels>(keyOf(n), rect));
    EXPECT_EQ(cache.bytes(), 3 * size);
    EXPECT_TRUE(cache.find(keyOf(1), rect)); // 2 is now the least recently used
    EXPECT_FALSE(cache.find(keyOf(1), {0, 0, 17, 16})) << "a larger rect than the kept one";
    cache.keep(std::make_shared<KeptPixels>(keyOf(4), rect));
    EXPECT_EQ(cache.bytes(), 3 * size);
    EXPECT_FALSE(cache.find(keyOf(2), rect));
    EXPECT_TRUE(cache.find(keyOf(1), rect));
    EXPECT_TRUE(cache.find(keyOf(3), rect));
    EXPECT_TRUE(cache.find(keyOf(4), rect));

    // Same content over a larger rect: replaces the smaller one.
    cache.keep(std::make_shared<KeptPixels>(keyOf(4), PixelRect{0, 0, 16, 32}));
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_TRUE(cache.find(keyOf(4), {0, 0, 16, 32}));

    cache.keep(std::make_shared<KeptPixels>(keyOf(5), PixelRect{0, 0, 16, 64}));
    EXPECT_FALSE(cache.find(keyOf(5), rect));
    EXPECT_LE(cache.bytes(), 3 * size);
}

// A slider step through one context: the pictures marked as kept (below the slider, and the scaled
// art) are read instead of computed while only the value above them moves, and computed again when
// anything below them changes: the art, or the table (another object with the same numbers counts as
// another table). Every render gives the bytes of a fresh one, in whole or in part.
TEST(KeptGrid, APictureMarkedToBeKeptIsReadWhileTheSliderAboveItMoves) {
    std::atomic<long> photoArea{0}, artArea{0};
    auto context = Context::create({.tileWidth = 16, .tileHeight = 16, .maxThreads = 2});
    LookRecipe recipe;
    struct Step {
        const char* what;
        void (*change)(LookRecipe&);
        bool photoRead, artRead;
    };
    const Step steps[] = {
        {"first render", [](LookRecipe&) {}, true, true},
        {"the slider", [](LookRecipe& r) { r.ev = -0.4; }, false, false},
        {"the slider again", [](LookRecipe& r) { r.ev = 0.7; }, false, false},
        {"a copy of the table", [](LookRecipe& r) { r.table = lookTable(); }, true, false},
        {"other art", [](LookRecipe& r) { r.art = patternBitmap(25, 20); }, true, true},
        {"the slider once more", [](LookRecipe& r) { r.ev = 0; }, false, false},
    };
    for (const Step& step : steps) {
        step.change(recipe);
        for (const Rect& rect : {Rect(0, 0, 50, 40), Rect(10, 5, 30, 20)}) {
            std::atomic<long> freshPhoto{0}, freshArt{0};
            const std::vector<std::uint8_t> expected =
                bytesOf(*render(build(recipe, freshPhoto, freshArt), rect));
            photoArea = 0;
            artArea = 0;
            auto bitmap = context->createCGImage(build(recipe, photoArea, artArea), rect);
            ASSERT_TRUE(bitmap) << step.what;
            EXPECT_EQ(bytesOf(*bitmap), expected) << step.what;
            if (rect.width() == 50) {
                EXPECT_EQ(photoArea.load() > 0, step.photoRead) << step.what;
                EXPECT_EQ(artArea.load() > 0, step.artRead) << step.what;
            } else {
                // A part of the picture kept whole.
                EXPECT_EQ(photoArea.load() + artArea.load(), 0) << step.what;
            }
        }
    }
}
