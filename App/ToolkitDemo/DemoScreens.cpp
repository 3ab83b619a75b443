#include "DemoScreens.h"

#include <Graphics/BitmapContext.h>
#include <Toolkit/GestureRecognizer.h>
#include <algorithm>

namespace Demo {

namespace {

constexpr Toolkit::Color background{0x19 / 255.0, 0x19 / 255.0, 0x19 / 255.0, 1};
constexpr Toolkit::Color buttonColor{0x28 / 255.0, 0x28 / 255.0, 0x28 / 255.0, 1};
constexpr Toolkit::Color accent{1, 0x57 / 255.0, 0x22 / 255.0, 1};

// A 300 × 200 picture made here, so the demo needs no files: colour bands under a white disc.
std::shared_ptr<const Graphics::BitmapImage> makePicture() {
    auto context = Graphics::BitmapContext::create(300, 200, true);
    if (!context)
        return nullptr;
    const Graphics::Color bands[] = {Graphics::Color::fromHex(0x2962FF), Graphics::Color::fromHex(0x00C853),
                                     Graphics::Color::fromHex(0xFFD600), Graphics::Color::fromHex(0xFF5722)};
    for (int i = 0; i < 4; ++i) {
        context->setFillColor(bands[i]);
        context->fillRect({i * 75.0, 0, 75, 200});
    }
    Graphics::Path disc;
    disc.addEllipseInRect({100, 50, 100, 100});
    context->setFillColor(Graphics::Color::white());
    context->fillPath(disc);
    return Graphics::BitmapImage::create(context->makeImage());
}

// A plain tappable rectangle; the action runs on a recognised tap.
std::shared_ptr<Toolkit::View> makeButton(Toolkit::Color color, std::function<void()> action) {
    auto button = Toolkit::View::create();
    button->setBackgroundColor(color);
    button->setCornerRadius(6);
    auto tap = Toolkit::TapGestureRecognizer::create();
    tap->addAction([action = std::move(action)](Toolkit::GestureRecognizer& recognizer) {
        if (recognizer.state() == Toolkit::kGestureRecognized)
            action();
    });
    button->addGestureRecognizer(tap);
    return button;
}

} // namespace

void DemoViewController::viewDidLoad() {
    setTitle("Toolkit demo");
    view()->setBackgroundColor(background);

    m_imageView = Toolkit::ImageView::create();
    m_imageView->setImage(makePicture());
    m_imageView->setContentMode(Toolkit::ContentMode::ScaleAspectFit);
    m_imageView->setClipsToBounds(true);
    auto pinch = Toolkit::PinchGestureRecognizer::create();
    std::weak_ptr<Toolkit::ImageView> weakImage = m_imageView;
    pinch->addAction([weakImage](Toolkit::GestureRecognizer& recognizer) {
        auto image = weakImage.lock();
        auto* p = dynamic_cast<Toolkit::PinchGestureRecognizer*>(&recognizer);
        if (!image || !p)
            return;
        const double s = std::clamp(p->scale(), 0.5, 4.0);
        image->setTransform(recognizer.state() == Toolkit::GestureRecognizerState::Ended ||
                                    recognizer.state() == Toolkit::GestureRecognizerState::Cancelled
                                ? Graphics::AffineTransform()
                                : Graphics::AffineTransform::makeScale(s, s));
    });
    m_imageView->addGestureRecognizer(pinch);
    view()->addSubview(m_imageView);

    std::weak_ptr<DemoViewController> weak = std::static_pointer_cast<DemoViewController>(shared_from_this());
    m_buttons = {
        makeButton(buttonColor,
                   [weak] {
                       if (auto self = weak.lock())
                           self->didPressCount();
                   }),
        makeButton(accent,
                   [weak] {
                       if (auto self = weak.lock())
                           self->didPressPresent();
                   }),
        makeButton(buttonColor,
                   [weak] {
                       if (auto self = weak.lock())
                           self->didPressBar();
                   }),
    };
    for (const auto& button : m_buttons)
        view()->addSubview(button);
}

void DemoViewController::viewDidLayoutSubviews() {
    const Graphics::Rect b = view()->bounds();
    const double margin = 16, width = b.width() - 2 * margin;
    m_imageView->setFrame({margin, margin, width, std::max(0.0, b.height() * 0.45)});
    const double top = m_imageView->frame().maxY() + margin;
    const double buttonWidth = (width - 2 * margin) / 3;
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setFrame({margin + i * (buttonWidth + margin), top, buttonWidth, 44});
    for (std::size_t i = 0; i < m_counterMarks.size(); ++i)
        m_counterMarks[i]->setFrame({margin + (i % 10) * 24.0, top + 60 + (i / 10) * 24.0, 16, 16});
}

void DemoViewController::didPressCount() {
    ++m_count;
    showCount();
}

void DemoViewController::showCount() {
    // One mark per press, in rows of ten.
    while (static_cast<int>(m_counterMarks.size()) < std::min(m_count, 50)) {
        auto mark = Toolkit::View::create();
        mark->setBackgroundColor(accent);
        view()->addSubview(mark);
        m_counterMarks.push_back(mark);
    }
    view()->setNeedsLayout();
}

void DemoViewController::didPressPresent() {
    presentViewController(ModalViewController::create(), Toolkit::Animated::Yes);
}

void DemoViewController::didPressBar() {
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(!navigation->isNavigationBarHidden(), Toolkit::Animated::Yes);
}

void ModalViewController::viewDidLoad() {
    setTitle("Presented");
    view()->setBackgroundColor(accent);
    auto tap = Toolkit::TapGestureRecognizer::create();
    std::weak_ptr<ModalViewController> weak =
        std::static_pointer_cast<ModalViewController>(shared_from_this());
    tap->addAction([weak](Toolkit::GestureRecognizer& recognizer) {
        auto self = weak.lock();
        if (self && recognizer.state() == Toolkit::kGestureRecognized)
            self->dismissViewController(Toolkit::Animated::Yes);
    });
    view()->addGestureRecognizer(tap);
}

std::shared_ptr<Toolkit::ViewController> makeDemoRoot() {
    return Toolkit::NavigationController::create(DemoViewController::create());
}

} // namespace Demo
