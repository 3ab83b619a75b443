#include <Editor/EditorInput.h>
#include <Foundation/RunLoop.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/Label.h>
#include <Toolkit/NavigationController.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXSlider.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace EditorHost {

namespace {

using namespace std::chrono_literals;

constexpr auto kNoticeDuration = 4s;
constexpr double kNoticeHeight = 32;
constexpr double kNoticeMargin = 16;
// Below the editor's top bar, so the notice never hides the buttons it may be about.
constexpr double kNoticeTop = 56;

// Whether a finger could reach view: it is inside root, and neither it nor anything above it is
// hidden, transparent or deaf to touches.
bool reachable(const Toolkit::View& view, const Toolkit::View& root) {
    for (const Toolkit::View* v = &view; v; v = v->superview().get()) {
        if (v->isHidden() || v->alpha() <= 0.01 || !v->isUserInteractionEnabled())
            return false;
        if (v == &root)
            return root.window() != nullptr;
    }
    return false;
}

// A press as a finger makes it: down, then up inside; nothing for a button that could not be pressed.
bool press(const std::shared_ptr<Toolkit::Button>& button, const Toolkit::View& screen) {
    if (!button || !button->isEnabled() || !reachable(*button, screen))
        return false;
    button->sendActionsForControlEvents(Toolkit::ControlEvent::TouchDown);
    button->sendActionsForControlEvents(Toolkit::ControlEvent::TouchUpInside);
    return true;
}

// The first view of class T under root, in the order the views were added.
template <class T>
std::shared_ptr<T> findView(const std::shared_ptr<Toolkit::View>& root) {
    if (auto match = std::dynamic_pointer_cast<T>(root))
        return match;
    for (const std::shared_ptr<Toolkit::View>& child : root->subviews())
        if (auto match = findView<T>(child))
            return match;
    return nullptr;
}

// The sliders a finger could drag on screen, top to bottom (those level with each other in the
// order they were added).
std::vector<std::shared_ptr<RUXSlider>> slidersOn(Toolkit::View& screen) {
    std::vector<std::shared_ptr<RUXSlider>> sliders;
    const std::shared_ptr<Toolkit::View> root = screen.shared_from_this();
    auto collect = [&](auto& self, const std::shared_ptr<Toolkit::View>& view) -> void {
        if (auto slider = std::dynamic_pointer_cast<RUXSlider>(view)) {
            if (slider->movingUnit() && reachable(*slider->movingUnit(), screen))
                sliders.push_back(std::move(slider));
            return;
        }
        for (const std::shared_ptr<Toolkit::View>& child : view->subviews())
            self(self, child);
    };
    collect(collect, root);
    std::stable_sort(sliders.begin(), sliders.end(), [&root](const auto& a, const auto& b) {
        return a->convertPointToView({0, 0}, root).y < b->convertPointToView({0, 0}, root).y;
    });
    return sliders;
}

// The most whole units one press may cross looking for a new reading.
constexpr int kMostUnitsAPress = 1000;

// Where one press moves the thumb: in whole units of the slider (from a value between two, the next
// whole one), and on past units that read as the one before, so that every press changes what the
// thumb shows. A reading coarser than a unit moves one step of it: a hundredth of 0 … 1 spread over
// −100 … 100 is two units, a value with a declared step reads in that step.
double nextStop(const RUXSlider& slider, bool up) {
    const double unit = up ? 1 : -1;
    const double end = up ? slider.maxValue() : slider.minValue();
    const double value = slider.currentValue();
    const double first = up ? std::floor(value) + 1 : std::ceil(value) - 1;
    std::string before = slider.textForValue(first - unit);
    double stop = first;
    for (int i = 0; i < kMostUnitsAPress; ++i, stop += unit) {
        if (up ? stop >= end : stop <= end)
            return end;
        std::string reading = slider.textForValue(stop);
        if (reading != before)
            return stop;
        before = std::move(reading);
    }
    // A thumb whose reading does not change: one unit, as for any other.
    return first;
}

// The screen the user sees: a presented tool screen, else the navigation's top screen.
std::shared_ptr<Toolkit::ViewController> screenOnTop(Toolkit::Application& application) {
    std::shared_ptr<Toolkit::ViewController> top = application.topViewController();
    if (auto navigation = std::dynamic_pointer_cast<Toolkit::NavigationController>(top))
        return navigation->topViewController();
    return top;
}

bool isKey(const Hosts::KeyChord& chord, const char* key, bool ctrl = false, bool shift = false) {
    return chord.key == key && chord.ctrl == ctrl && chord.shift == shift && !chord.alt;
}

struct Notice {
    std::weak_ptr<Toolkit::Label> label;
    Foundation::TimerId timer = 0;
};

Notice& notice() {
    static Notice n;
    return n;
}

void removeNotice() {
    Notice& n = notice();
    if (n.timer)
        Foundation::RunLoop::main().cancelTimer(n.timer);
    n.timer = 0;
    if (std::shared_ptr<Toolkit::Label> label = n.label.lock())
        label->removeFromSuperview();
    n.label.reset();
}

} // namespace

bool EditorKeyboard::handleKey(Toolkit::Application& application, const Hosts::KeyChord& chord,
                               Hosts::KeyPhase phase) {
    if (chord.key == "space" && !chord.ctrl && !chord.alt) {
        // Modifiers may have changed while Space was held; its release ends the comparison anyway.
        if (phase == Hosts::KeyPhase::Released)
            return endComparing();
        if (phase == Hosts::KeyPhase::Repeated)
            return !m_comparing.expired();
    }
    if (phase == Hosts::KeyPhase::Released)
        return false;
    // Only stepping the slider repeats while held; a held Ctrl+Z must not undo everything.
    if (phase == Hosts::KeyPhase::Repeated && chord.key != "left" && chord.key != "right")
        return false;
    std::shared_ptr<Toolkit::ViewController> screen = screenOnTop(application);
    if (!screen || !screen->isViewLoaded() || !screen->isVisible())
        return false;
    if (chord.key == "space" && !chord.ctrl && !chord.alt)
        return beginComparing(*screen->view());
    if (auto editor = std::dynamic_pointer_cast<RUXMainViewController>(screen))
        return handleMainScreenKey(*editor, chord);
    return handleToolScreenKey(*screen->view(), chord);
}

bool EditorKeyboard::handleMainScreenKey(RUXMainViewController& editor, const Hosts::KeyChord& chord) {
    const Toolkit::View& root = *editor.view();
    if (isKey(chord, "z", true))
        return press(editor.undoButton(), root);
    if (isKey(chord, "z", true, true) || isKey(chord, "y", true))
        return press(editor.redoButton(), root);
    if (isKey(chord, "s", true))
        return press(editor.nextButton(), root);
    if (isKey(chord, "escape"))
        return press(editor.backButton(), root);
    return false;
}

bool EditorKeyboard::handleToolScreenKey(Toolkit::View& screen, const Hosts::KeyChord& chord) {
    std::shared_ptr<Toolkit::View> root = screen.shared_from_this();
    if (isKey(chord, "escape") || isKey(chord, "enter")) {
        std::shared_ptr<RUXOkCancelBar> bar = findView<RUXOkCancelBar>(root);
        return bar && press(chord.key == "enter" ? bar->okButton() : bar->cancelButton(), screen);
    }
    if (isKey(chord, "down") || isKey(chord, "tab"))
        return chooseSlider(screen, 1, chord.key == "tab");
    if (isKey(chord, "up") || isKey(chord, "tab", false, true))
        return chooseSlider(screen, -1, chord.key == "tab");
    if (isKey(chord, "left") || isKey(chord, "right")) {
        const std::vector<std::shared_ptr<RUXSlider>> sliders = slidersOn(screen);
        if (sliders.empty())
            return false;
        // The chosen slider, or the first while none on this screen is.
        std::shared_ptr<RUXSlider> slider = m_chosenSlider.lock();
        if (std::find(sliders.begin(), sliders.end(), slider) == sliders.end())
            slider = sliders.front();
        const double value = slider->currentValue();
        slider->setCurrentValue(nextStop(*slider, chord.key == "right"));
        if (slider->currentValue() == value)
            return false;
        // What a drag of the thumb reports at each step.
        if (std::shared_ptr<RUXSliderDelegate> delegate = slider->delegate())
            delegate->sliderDidChangeValue(*slider, slider->currentValue());
        return true;
    }
    return false;
}

bool EditorKeyboard::chooseSlider(Toolkit::View& screen, int direction, bool wraps) {
    const std::vector<std::shared_ptr<RUXSlider>> sliders = slidersOn(screen);
    // With one slider there is nothing to choose, and its screen looks as ever.
    if (sliders.size() < 2)
        return false;
    std::shared_ptr<RUXSlider> chosen = m_chosenSlider.lock();
    const auto found = std::find(sliders.begin(), sliders.end(), chosen);
    // The arrows move the first slider until one is chosen.
    const std::ptrdiff_t count = std::ssize(sliders);
    const std::ptrdiff_t from = found != sliders.end() ? found - sliders.begin() : 0;
    const std::ptrdiff_t to = wraps ? (from + direction + count) % count
                                    : std::clamp<std::ptrdiff_t>(from + direction, 0, count - 1);
    // Up on the top slider once it is marked, Down on the bottom one: nothing further.
    if (found != sliders.end() && to == from)
        return false;
    if (chosen)
        chosen->setSelected(false);
    sliders[std::size_t(to)]->setSelected(true);
    m_chosenSlider = sliders[std::size_t(to)];
    return true;
}

bool EditorKeyboard::beginComparing(Toolkit::View& screen) {
    if (!m_comparing.expired())
        return true;
    auto imageView = findView<RUXImageView>(screen.shared_from_this());
    if (!imageView || !reachable(*imageView, screen))
        return false;
    std::shared_ptr<RUXImageViewDelegate> delegate = imageView->delegate();
    if (!delegate)
        return false;
    m_comparing = imageView;
    if (!delegate->imageViewDidTouchDown(*imageView)) {
        // A screen that does not compare: the key is not taken.
        m_comparing.reset();
        return false;
    }
    return true;
}

bool EditorKeyboard::endComparing() {
    std::shared_ptr<RUXImageView> imageView = m_comparing.lock();
    m_comparing.reset();
    if (!imageView)
        return false;
    std::shared_ptr<RUXImageViewDelegate> delegate = imageView->delegate();
    if (delegate)
        delegate->imageViewDidTouchUp(*imageView);
    return true;
}

void showNotice(const std::shared_ptr<Toolkit::Window>& window, const std::string& text) {
    removeNotice();
    if (!window)
        return;
    const Graphics::Rect b = window->bounds();
    auto label = Toolkit::Label::create({b.origin.x + kNoticeMargin, b.origin.y + kNoticeTop,
                                         b.size.width - 2 * kNoticeMargin, kNoticeHeight});
    label->setText(text);
    label->setTextColor(Toolkit::Color::white());
    label->setBackgroundColor({0.75, 0.16, 0.1, 0.92});
    label->setCornerRadius(6);
    label->setTextAlignment(Toolkit::TextAlignment::Center);
    // It only informs: touches go through to whatever lies beneath.
    label->setUserInteractionEnabled(false);
    window->addSubview(label);
    Notice& n = notice();
    n.label = label;
    n.timer = Foundation::RunLoop::main().scheduleTimer(
        std::chrono::duration_cast<std::chrono::milliseconds>(kNoticeDuration), Foundation::Repeats::No, [] {
            notice().timer = 0;
            removeNotice();
        });
}

std::string currentNotice(const std::shared_ptr<Toolkit::Window>& window) {
    std::shared_ptr<Toolkit::Label> label = notice().label.lock();
    return label && window && label->window() == window ? label->text() : std::string();
}

bool openDroppedPhoto(Toolkit::Application& application, const std::shared_ptr<SavingDelegate>& delegate,
                      const std::string& path) {
    std::shared_ptr<Graphics::BitmapImage> photo = Graphics::BitmapImage::createFromFile(path);
    if (!photo) {
        std::fprintf(stderr,
                     "rux-editor: cannot open the dropped file %s as a photo; the current edit is kept\n",
                     path.c_str());
        showNotice(application.keyWindow(),
                   "Cannot open " + std::filesystem::path(path).filename().string() + " as a photo");
        return false;
    }
    delegate->setPhotoPath(path);
    Session session = makeSession(std::move(photo), delegate);
    // The photo left behind keeps its journal, so its edits are there when it is opened again.
    bool restored = false;
    delegate->setJournal(startJournal(*session.editor, path, delegate->journalOptions(), restored));
    application.setRootViewController(session.navigation);
    removeNotice();
    if (restored) {
        showRestoredNotice(application.keyWindow());
    }
    return true;
}

std::function<bool(const Hosts::KeyChord&, Hosts::KeyPhase)>
editorKeyHandler(Toolkit::Application& application) {
    auto keyboard = std::make_shared<EditorKeyboard>();
    return [&application, keyboard](const Hosts::KeyChord& chord, Hosts::KeyPhase phase) {
        return keyboard->handleKey(application, chord, phase);
    };
}

std::function<bool(const std::string&)> editorDropHandler(Toolkit::Application& application,
                                                          std::shared_ptr<SavingDelegate> delegate) {
    return [&application, delegate = std::move(delegate)](const std::string& path) {
        return openDroppedPhoto(application, delegate, path);
    };
}

} // namespace EditorHost
