#include "DemoScreens.h"

#include <Graphics/BitmapContext.h>
#include <Toolkit/GestureRecognizer.h>
#include <algorithm>
#include <string>

namespace Demo {

namespace {

constexpr Toolkit::Color background{0x19 / 255.0, 0x19 / 255.0, 0x19 / 255.0, 1};
constexpr Toolkit::Color buttonColor{0x28 / 255.0, 0x28 / 255.0, 0x28 / 255.0, 1};
constexpr Toolkit::Color accent{1, 0x57 / 255.0, 0x22 / 255.0, 1};

// A 300 × 200 picture made here, so the demo needs no files: colour bands under a white disc.
std::shared_ptr<const Graphics::BitmapImage> makePicture() {
    auto context = Graphics::BitmapContext::create(300, 200, Graphics::Opacity::Opaque);
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

std::shared_ptr<Toolkit::Button> makeButton(const std::string& title, Toolkit::Color color,
                                            std::function<void()> action) {
    auto button = Toolkit::Button::create();
    button->setTitle(title, Toolkit::ControlState::Normal);
    button->setTitleColor(Toolkit::Color::white(), Toolkit::ControlState::Normal);
    button->setBackgroundColor(color);
    button->setCornerRadius(6);
    button->addAction([action = std::move(action)](Toolkit::Control&) { action(); },
                      Toolkit::ControlEvent::TouchUpInside);
    return button;
}

} // namespace

void DemoViewController::viewDidLoad() {
    setTitle(m_depth == 0 ? "Toolkit demo" : "Screen " + std::to_string(m_depth + 1));
    view()->setBackgroundColor(background);

    m_imageView = Toolkit::ImageView::create();
    m_imageView->setImage(makePicture());
    m_imageView->setContentMode(Toolkit::ContentMode::ScaleAspectFit);
    m_imageView->setClipsToBounds(true);
    m_imageView->setUserInteractionEnabled(true); // for the pinch
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

    m_countLabel = Toolkit::Label::create();
    m_countLabel->setTextColor(Toolkit::Color::white());
    m_countLabel->setTextAlignment(Toolkit::TextAlignment::Center);
    view()->addSubview(m_countLabel);
    showCount();

    std::weak_ptr<DemoViewController> weak = std::static_pointer_cast<DemoViewController>(shared_from_this());
    auto action = [weak](void (DemoViewController::*method)()) {
        return [weak, method] {
            if (auto self = weak.lock())
                ((*self).*method)();
        };
    };
    m_buttons = {
        makeButton("Count", buttonColor, action(&DemoViewController::didPressCount)),
        makeButton("Present", accent, action(&DemoViewController::didPressPresent)),
        makeButton("Bar", buttonColor, action(&DemoViewController::didPressBar)),
        makeButton("Push another screen", buttonColor, action(&DemoViewController::didPressPush)),
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
    for (std::size_t i = 0; i < 3; ++i)
        m_buttons[i]->setFrame({margin + i * (buttonWidth + margin), top, buttonWidth, 44});
    m_countLabel->setFrame({margin, top + 60, width, 30});
    m_buttons[3]->setFrame({margin, top + 106, width, 44});
}

void DemoViewController::didPressCount() {
    ++m_count;
    showCount();
}

void DemoViewController::showCount() {
    m_countLabel->setText(m_count == 1 ? "Pressed once" : "Pressed " + std::to_string(m_count) + " times");
}

void DemoViewController::didPressPresent() {
    presentViewController(ModalViewController::create(), Toolkit::Animated::Yes);
}

void DemoViewController::didPressPush() {
    auto next = DemoViewController::create();
    if (auto navigation = navigationController()) {
        next->m_depth = m_depth + 1;
        navigation->pushViewController(next, Toolkit::Animated::Yes);
    }
}

void DemoViewController::didPressBar() {
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(!navigation->isNavigationBarHidden(), Toolkit::Animated::Yes);
}

void ModalViewController::viewDidLoad() {
    setTitle("Presented");
    view()->setBackgroundColor(accent);
    std::weak_ptr<ModalViewController> weak =
        std::static_pointer_cast<ModalViewController>(shared_from_this());
    auto close = [weak] {
        if (auto self = weak.lock())
            self->dismissViewController(Toolkit::Animated::Yes);
    };
    m_label = Toolkit::Label::create();
    m_label->setText("Presented over the first screen");
    m_label->setTextColor(Toolkit::Color::white());
    m_label->setTextAlignment(Toolkit::TextAlignment::Center);
    view()->addSubview(m_label);
    m_closeButton = makeButton("Close", buttonColor, close);
    view()->addSubview(m_closeButton);

    auto tap = Toolkit::TapGestureRecognizer::create();
    tap->addAction([close](Toolkit::GestureRecognizer& recognizer) {
        if (recognizer.state() == Toolkit::kGestureRecognized)
            close();
    });
    view()->addGestureRecognizer(tap);
}

void ModalViewController::viewDidLayoutSubviews() {
    const Graphics::Rect b = view()->bounds();
    m_label->setFrame({16, b.midY() - 60, b.width() - 32, 30});
    m_closeButton->setFrame({b.midX() - 60, b.midY(), 120, 44});
}

std::shared_ptr<Toolkit::ViewController> makeDemoRoot() {
    return Toolkit::NavigationController::create(DemoViewController::create());
}

} // namespace Demo
