// Compositor costs on a tree shaped like the editor's main screen: a 375 × 667-point window at
// scale 2 with a letter-boxed photo, a strip of rounded thumbnails with names, a row of icon buttons
// and a top bar with titled buttons.
#include <Graphics/BitmapImage.h>
#include <Toolkit/Button.h>
#include <Toolkit/CollectionView.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <Toolkit/Window.h>
#include <benchmark/benchmark.h>

namespace {

using namespace Toolkit;

std::shared_ptr<const Graphics::BitmapImage> gradient(int w, int h, double scale) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x * 255 / w);
            p[1] = static_cast<std::uint8_t>(y * 255 / h);
            p[2] = 128;
            p[3] = 255;
        }
    return Graphics::BitmapImage::create(bitmap, scale);
}

Color hex(unsigned code) {
    return {((code >> 16) & 0xFF) / 255.0, ((code >> 8) & 0xFF) / 255.0, (code & 0xFF) / 255.0, 1};
}

class ThumbnailCell : public CollectionViewCell {
public:
    static std::shared_ptr<ThumbnailCell> create(const Graphics::Rect& frame) {
        auto cell = std::shared_ptr<ThumbnailCell>(new ThumbnailCell(frame));
        cell->addSubview(cell->contentView());
        cell->contentView()->setBackgroundColor(hex(0x191919));
        cell->image->setContentMode(ContentMode::ScaleAspectFill);
        cell->image->setCornerRadius(4);
        cell->image->setClipsToBounds(true);
        cell->image->setBorderColor(Color::white());
        cell->label->setFont(Font::systemFont(10));
        cell->label->setTextColor(Color::white());
        cell->label->setTextAlignment(TextAlignment::Center);
        cell->contentView()->addSubview(cell->image);
        cell->contentView()->addSubview(cell->label);
        return cell;
    }
    std::shared_ptr<ImageView> image = ImageView::create({5, 12, 44, 44});
    std::shared_ptr<Label> label = Label::create({0, 62, 54, 12});

private:
    explicit ThumbnailCell(const Graphics::Rect& frame) : CollectionViewCell(frame) {}
};

struct Strip : CollectionViewDataSource {
    std::shared_ptr<const Graphics::BitmapImage> thumbnail = gradient(88, 66, 2);
    std::int64_t numberOfItemsInSection(CollectionView&, std::int64_t) override { return 14; }
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(CollectionView& view,
                                                               const IndexPath& path) override {
        auto cell = std::static_pointer_cast<ThumbnailCell>(view.dequeueReusableCell("Cell", path));
        cell->image->setImage(thumbnail);
        cell->label->setText("Nocturne");
        cell->image->setBorderWidth(path.item == 0 ? 2 : 0);
        return cell;
    }
};

struct MainScreen {
    std::shared_ptr<Window> window = Window::create({375, 667}, 2);
    std::shared_ptr<Strip> strip = std::make_shared<Strip>();
    std::shared_ptr<ImageView> photo;

    MainScreen() {
        window->setBackgroundColor(Color::black());
        photo = ImageView::create({0, 44, 375, 495});
        photo->setBackgroundColor(Color::black());
        photo->setContentMode(ContentMode::ScaleAspectFit);
        photo->setImage(gradient(640, 480, 1));
        window->addSubview(photo);

        auto layout = CollectionViewFlowLayout::create();
        layout->scrollDirection = ScrollDirection::Horizontal;
        layout->itemSize = {54, 80};
        layout->headerReferenceSize = layout->footerReferenceSize = {7, 7};
        auto filters = CollectionView::create({0, 539, 375, 80}, layout);
        filters->setBackgroundColor(hex(0x191919));
        filters->registerClass<ThumbnailCell>("Cell");
        filters->setDataSource(strip);
        window->addSubview(filters);

        auto toolbar = View::create({0, 619, 375, 48});
        toolbar->setBackgroundColor(hex(0x282828));
        auto icon = gradient(48, 48, 2);
        for (int i = 0; i < 6; ++i) {
            auto button = Button::create(ButtonType::Custom, {i * 375 / 4.5, 0, 375 / 4.5, 48});
            button->setBackgroundColor(hex(0x282828));
            button->setImage(icon, ControlState::Normal);
            toolbar->addSubview(button);
        }
        window->addSubview(toolbar);

        auto bar = View::create({0, 8, 375, 44});
        for (const char* title : {"Cancel", "Save"}) {
            auto button = Button::create();
            button->setTitle(title, ControlState::Normal);
            button->setTitleColor(hex(0xFF5722), ControlState::Normal);
            button->sizeToFit();
            bar->addSubview(button);
        }
        window->addSubview(bar);
        window->displayIfNeeded();
    }
};

// Everything redrawn: what a rotation or a new screen costs.
void BM_FullRedraw(benchmark::State& state) {
    MainScreen screen;
    for (auto _ : state) {
        screen.window->invalidateRect({0, 0, 375, 667});
        benchmark::DoNotOptimize(screen.window->displayIfNeeded());
    }
    state.SetItemsProcessed(state.iterations() * 750 * 1334);
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

// A new photo: only the photo's area is redrawn.
void BM_PhotoChange(benchmark::State& state) {
    MainScreen screen;
    auto a = gradient(640, 480, 1), b = gradient(640, 481, 1);
    bool flip = false;
    for (auto _ : state) {
        screen.photo->setImage((flip = !flip) ? a : b);
        benchmark::DoNotOptimize(screen.window->displayIfNeeded());
    }
}
BENCHMARK(BM_PhotoChange)->Unit(benchmark::kMillisecond);

// Nothing changed: the cost of asking.
void BM_IdleDisplay(benchmark::State& state) {
    MainScreen screen;
    for (auto _ : state)
        benchmark::DoNotOptimize(screen.window->displayIfNeeded());
}
BENCHMARK(BM_IdleDisplay)->Unit(benchmark::kMicrosecond);

} // namespace
