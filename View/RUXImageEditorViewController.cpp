#include <Foundation/Log.h>
#include <Graphics/ImageContext.h>
#include <Toolkit/NavigationController.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXMainViewController.h>
#include <cmath>

namespace {

constexpr std::int32_t kBackgroundColor = 0x000000;
constexpr std::int32_t kAccentColor = 0xFF5722;
constexpr double kFakeNavigationBarTop = 8;
constexpr double kNavigationBarHeight = 44;
constexpr double kFilterBarHeight = 80;
constexpr double kToolbarHeight = 48;
// Room around a top-bar button's content, so that a small icon is still easy to hit.
constexpr double kNavButtonPadding = 24;

} // namespace

std::shared_ptr<RUXImageEditorViewController>
RUXImageEditorViewController::create(std::shared_ptr<const Graphics::BitmapImage> image) {
    return create(std::move(image), RUXOutputResolution::Limited);
}

std::shared_ptr<RUXImageEditorViewController>
RUXImageEditorViewController::create(std::shared_ptr<const Graphics::BitmapImage> image,
                                     RUXOutputResolution outputResolution) {
    return RUXMainViewController::create(std::move(image), outputResolution);
}

RUXImageEditorViewController::~RUXImageEditorViewController() = default;

std::shared_ptr<RUXMainViewController>
RUXMainViewController::create(std::shared_ptr<const Graphics::BitmapImage> image,
                              RUXOutputResolution outputResolution) {
    return std::shared_ptr<RUXMainViewController>(
        new RUXMainViewController(std::move(image), outputResolution));
}

RUXMainViewController::RUXMainViewController(std::shared_ptr<const Graphics::BitmapImage> image,
                                             RUXOutputResolution outputResolution)
    : m_editManager(nullptr) {
    m_imageRenderer = RUXImageRenderer::create();
    m_editManager = RUXEditManager::create(std::move(image), outputResolution);
}

std::shared_ptr<RUXMainViewController> RUXMainViewController::self() {
    return std::static_pointer_cast<RUXMainViewController>(shared_from_this());
}

std::shared_ptr<Graphics::BitmapImage> RUXMainViewController::imageForUIColor(Toolkit::Color colour,
                                                                              Graphics::Size size) {
    auto context = Graphics::ImageContext::create(size, Graphics::Opacity::Translucent, 1.0);
    if (!context) {
        return nullptr;
    }
    const auto channel = [](double v) { return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    // Premultiplied, as the context's pixels are.
    const double alpha = std::clamp(colour.alpha, 0.0, 1.0);
    const std::uint8_t pixel[4] = {channel(colour.red * alpha), channel(colour.green * alpha),
                                   channel(colour.blue * alpha), channel(alpha)};
    auto bitmap = Graphics::Bitmap::create(int(context->bitmap().width()), int(context->bitmap().height()));
    if (!bitmap) {
        return nullptr;
    }
    for (int y = 0; y < bitmap->height(); ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < bitmap->width(); ++x) {
            std::copy(pixel, pixel + 4, row + 4 * x);
        }
    }
    return Graphics::BitmapImage::create(std::move(bitmap), 1.0);
}

// ---- Loading and layout ----

void RUXMainViewController::viewDidLoad() {
    Toolkit::ViewController::viewDidLoad();
    if (!m_configuration) {
        Foundation::log("RUXMainViewController: no configuration was set; using the sample configuration");
        m_configuration = std::make_shared<RUXImageEditorSampleConfiguration>();
    }
    initUI();
    setupNavigationControllerLooks();
    setTitle(m_configuration->title());
    view()->setBackgroundColor(RUXColorWithHexCode(kBackgroundColor));
}

void RUXMainViewController::initUI() {
    const std::shared_ptr<RUXMainViewController> me = self();
    m_imageView = RUXImageView::create({}, m_imageRenderer);
    m_imageView->setDelegate(std::shared_ptr<RUXImageViewDelegate>(me, me.get()));
    view()->addSubview(m_imageView);

    m_toolbar = RUXToolbar::create({}, m_configuration);
    m_toolbar->setDelegate(std::shared_ptr<RUXToolbarDelegate>(me, me.get()));
    view()->addSubview(m_toolbar);

    m_filterBar = RUXFilterBar::create({}, m_configuration);
    m_filterBar->setPreviewImageRenderer(std::shared_ptr<RUXPreviewImageRenderer>(me, me.get()));
    m_filterBar->setDelegate(std::shared_ptr<RUXFilterBarDelegate>(me, me.get()));
    view()->addSubview(m_filterBar);
}

void RUXMainViewController::setupNavigationControllerLooks() {
    // Transparent: the photo shows through where the bar overlaps it.
    m_fakeNavigationBar = Toolkit::View::create();
    m_backButton =
        navButtonWithImage(RUXGetImage("ic_arrow_back"), nullptr, &RUXMainViewController::didPressBackButton);
    m_nextButton =
        navButtonWithTitle(m_configuration->nextButton(), &RUXMainViewController::didPressNextButton);
    m_fakeNavigationBar->addSubview(m_backButton);
    m_fakeNavigationBar->addSubview(m_nextButton);
    m_undoButton = navButtonWithImage(RUXGetImage("ic_filter_back"), RUXGetImage("ic_filter_back_disable"),
                                      &RUXMainViewController::didPressUndoButton);
    m_redoButton = navButtonWithImage(RUXGetImage("ic_filter_next"), RUXGetImage("ic_filter_next_disable"),
                                      &RUXMainViewController::didPressRedoButton);
    m_fakeNavigationBar->addSubview(m_redoButton);
    m_fakeNavigationBar->addSubview(m_undoButton);
    // Last, so that it lies over the photo, whose top it overlaps.
    view()->addSubview(m_fakeNavigationBar);
}

std::shared_ptr<Toolkit::Button>
RUXMainViewController::navButtonWithTitle(const std::string& title, void (RUXMainViewController::*action)()) {
    auto button = Toolkit::Button::create(Toolkit::ButtonType::Custom);
    button->setTitle(title, Toolkit::ControlState::Normal);
    button->setTitleColor(RUXColorWithHexCode(kAccentColor), Toolkit::ControlState::Normal);
    button->addTarget(self(), action, Toolkit::ControlEvent::TouchUpInside);
    return button;
}

std::shared_ptr<Toolkit::Button>
RUXMainViewController::navButtonWithImage(std::shared_ptr<const Graphics::BitmapImage> image,
                                          std::shared_ptr<const Graphics::BitmapImage> disableImage,
                                          void (RUXMainViewController::*action)()) {
    auto button = Toolkit::Button::create(Toolkit::ButtonType::Custom);
    button->setImage(std::move(image), Toolkit::ControlState::Normal);
    if (disableImage) {
        button->setImage(std::move(disableImage), Toolkit::ControlState::Disabled);
    }
    button->addTarget(self(), action, Toolkit::ControlEvent::TouchUpInside);
    return button;
}

void RUXMainViewController::viewDidLayoutSubviews() {
    Toolkit::ViewController::viewDidLayoutSubviews();
    configureLayout();
}

void RUXMainViewController::configureLayout() {
    if (!m_fakeNavigationBar) {
        return;
    }
    const Graphics::Rect frame = view()->frame();
    const double width = frame.width(), height = frame.height();
    // Unconstrained: the buttons' own wish.
    const double unbounded = 9223372036854775808.0;
    const auto natural = [unbounded](const std::shared_ptr<Toolkit::Button>& button) {
        return button->sizeThatFits({unbounded, unbounded});
    };

    m_fakeNavigationBar->setFrame({0, kFakeNavigationBarTop, width, kNavigationBarHeight});
    const Graphics::Size back = natural(m_backButton), next = natural(m_nextButton);
    const double backWidth = back.width + kNavButtonPadding, nextWidth = next.width + kNavButtonPadding;
    m_backButton->setFrame({0, 0, backWidth, back.height});
    m_nextButton->setFrame({width - nextWidth, 0, nextWidth, next.height});
    // Undo and redo share the room between back and save and meet at the centre.
    const double middle = (width - backWidth - nextWidth) / 2;
    m_undoButton->setFrame({width / 2 - middle, 0, middle, natural(m_undoButton).height});
    m_redoButton->setFrame({width / 2, 0, middle, natural(m_redoButton).height});

    m_imageView->setFrame(
        {0, kNavigationBarHeight, width, height - kToolbarHeight - kFilterBarHeight - kNavigationBarHeight});
    m_filterBar->setFrame({0, height - kToolbarHeight - kFilterBarHeight, width, kFilterBarHeight});
    m_toolbar->setFrame({0, height - kToolbarHeight, width, kToolbarHeight});
}

// ---- Appearing ----

void RUXMainViewController::viewWillAppear(Toolkit::Animated animated) {
    Toolkit::ViewController::viewWillAppear(animated);
    std::shared_ptr<Toolkit::NavigationController> navigation = navigationController();
    m_shouldHideNavBar = navigation && navigation->isNavigationBarHidden();
    // The last picture shown anywhere (a closing tool screen's final preview) fills the photo
    // area at once, before the committed picture has been rendered in the background.
    m_imageView->renderAndShowImageSync(m_imageRenderer->lastRenderFormula());
    if (navigation) {
        navigation->setNavigationBarHidden(true);
    }
    syncStateWithEditManager();
}

void RUXMainViewController::viewWillDisappear(Toolkit::Animated animated) {
    Toolkit::ViewController::viewWillDisappear(animated);
    if (std::shared_ptr<Toolkit::NavigationController> navigation = navigationController()) {
        navigation->setNavigationBarHidden(m_shouldHideNavBar);
    }
}

void RUXMainViewController::syncStateWithEditManager() {
    if (!m_imageView) {
        return;
    }
    showCommittedImage();
    m_filterBar->setEnabledFilter(
        m_editManager->committedTransformationWithType(RUXTransformationTypeFilter));
    m_filterBar->reloadData();
    refreshUndoRedoButtons();
}

void RUXMainViewController::showCommittedImage() {
    if (m_imageView) {
        m_imageView->renderAndShowImageAsync(m_editManager->committedImage());
    }
}

void RUXMainViewController::showOriginalImage() {
    if (m_imageView) {
        m_imageView->renderAndShowImageAsync(m_editManager->imageWithTransformationClasses(
            {&RUXCropTransformation::classDescriptor(), &RUXRotateTransformation::classDescriptor(),
             &RUXNormalizeTransformation::classDescriptor(),
             &RUXStraightenTransformation::classDescriptor()}));
    }
}

void RUXMainViewController::refreshUndoRedoButtons() {
    if (m_undoButton) {
        m_undoButton->setEnabled(m_editManager->canUndo());
        m_redoButton->setEnabled(m_editManager->canRedo());
    }
}

// ---- Parts' callbacks ----

bool RUXMainViewController::imageViewDidTouchDown(RUXImageView&) {
    showOriginalImage();
    return true;
}

bool RUXMainViewController::imageViewDidTouchUp(RUXImageView&) {
    showCommittedImage();
    return true;
}

void RUXMainViewController::filterBarDidSelectFilter(RUXFilterBar&, const RUXTransformationPtr& filter) {
    m_editManager->commitTransformation(filter);
    showCommittedImage();
    // The bar has moved its highlight already; only the history changed.
    refreshUndoRedoButtons();
}

std::shared_ptr<const Graphics::BitmapImage>
RUXMainViewController::thumbnailPreviewImageForTransformation(const RUXTransformationPtr& transformation) {
    // Both calls are safe from pool threads: the edit manager guards its list and thumbnail
    // cache, and a formula renders its bitmap once however many threads ask.
    return m_imageRenderer->renderedImage(
        m_editManager->thumbnailPreviewImageWithTransformation(transformation));
}

// ---- Top bar ----

void RUXMainViewController::didPressBackButton() {
    if (std::shared_ptr<RUXImageEditorViewControllerDelegate> delegate = m_delegate.lock()) {
        delegate->imageEditorViewControllerDidCancelEditing(*this);
    }
}

void RUXMainViewController::didPressNextButton() {
    // Rendered here, on the main thread, so that the delegate receives the picture within this
    // call; it is rendered even without a delegate.
    std::shared_ptr<const Graphics::BitmapImage> image =
        m_imageRenderer->renderedImage(m_editManager->resultantImage());
    if (std::shared_ptr<RUXImageEditorViewControllerDelegate> delegate = m_delegate.lock()) {
        delegate->imageEditorViewControllerDidFinishEditingWithImage(*this, std::move(image));
    }
}

void RUXMainViewController::didPressUndoButton() {
    if (m_editManager->canUndo()) {
        m_editManager->undo();
        syncStateWithEditManager();
    }
}

void RUXMainViewController::didPressRedoButton() {
    if (m_editManager->canRedo()) {
        m_editManager->redo();
        syncStateWithEditManager();
    }
}
