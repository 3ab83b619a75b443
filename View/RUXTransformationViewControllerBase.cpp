#include <Toolkit/Font.h>
#include <Toolkit/Window.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXTransformationViewControllerBase.h>

namespace {
constexpr double kTitleHeight = 44;
constexpr double kControlHeight = 80;
constexpr double kBarHeight = 48;
} // namespace

RUXTransformationViewControllerBase::RUXTransformationViewControllerBase(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    setConfiguration(std::move(configuration));
    setEditManager(std::move(editManager));
    setImageRenderer(std::move(imageRenderer));
}

void RUXTransformationViewControllerBase::loadView() {
    Graphics::Rect frame{0, 0, 320, 480};
    if (auto presenter = presentingViewController(); presenter && presenter->isViewLoaded()) {
        if (auto window = presenter->view()->window()) {
            frame = window->bounds();
        }
    }
    setView(Toolkit::View::create(frame));
}

void RUXTransformationViewControllerBase::viewDidLoad() {
    Toolkit::ViewController::viewDidLoad();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

const std::shared_ptr<Toolkit::Label>& RUXTransformationViewControllerBase::titleLabel() {
    if (!m_titleLabel) {
        const Graphics::Rect rect = rectForTitleView();
        auto band = Toolkit::View::create(rect);
        band->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth);
        view()->addSubview(band);
        auto label = Toolkit::Label::create(rect);
        label->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth);
        label->setTextAlignment(Toolkit::TextAlignment::Center);
        label->setTextColor(Toolkit::Color::white());
        label->setFont(Toolkit::Font::boldSystemFont(17));
        band->addSubview(label);
        m_titleLabel = std::move(label);
    }
    return m_titleLabel;
}

void RUXTransformationViewControllerBase::setTitle(const std::string& title) {
    Toolkit::ViewController::setTitle(title);
    titleLabel()->setText(this->title());
}

Graphics::Rect RUXTransformationViewControllerBase::rectForTitleView() {
    const Graphics::Rect frame = view()->frame();
    return {0, 0, frame.size.width, kTitleHeight};
}

Graphics::Rect RUXTransformationViewControllerBase::rectForImageView() {
    const Graphics::Rect frame = view()->frame();
    return {0, kTitleHeight, frame.size.width,
            frame.size.height - kBarHeight - kControlHeight - kTitleHeight};
}

Graphics::Rect RUXTransformationViewControllerBase::rectForFilterBar() {
    const Graphics::Rect frame = view()->frame();
    return {0, frame.size.height - kBarHeight - kControlHeight, frame.size.width, kControlHeight};
}

Graphics::Rect RUXTransformationViewControllerBase::rectForToolbar() {
    const Graphics::Rect frame = view()->frame();
    return {0, frame.size.height - kBarHeight, frame.size.width, kBarHeight};
}

std::string RUXTransformationViewControllerBase::titleForTransformation(
    const RUXImageTransformation* transformation) const {
    if (!m_configuration || !transformation) {
        return {};
    }
    return m_configuration->nameForTransformation(*transformation).value_or(std::string());
}

void RUXTransformationViewControllerBase::commitAndDismiss(const RUXTransformationPtr& transformation) {
    if (m_editManager && transformation) {
        // The list gets a copy of its own: a finger still down when OK is pressed goes on moving the
        // screen's working copy until it lifts, and must not change what was committed.
        m_editManager->commitTransformation(transformation->copy());
    }
    dismiss();
}

void RUXTransformationViewControllerBase::dismiss() {
    dismissViewController(Toolkit::Animated::No);
}
