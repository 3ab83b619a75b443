// What the soak's finger does on each screen: the choices and their odds.
#include "Soak.h"

namespace RuxSoak {

void Soak::stepOnMain() {
    RUXMainViewController& editor = *m_session.editor;
    const int roll = integer(0, 99);
    if (roll < 26) {
        m_action = "tool button";
        tapView(pick(editor.toolbar()->buttons()));
    } else if (roll < 30) {
        m_action = "toolbar scroll";
        const Graphics::Rect r = visibleRect(editor.toolbar());
        const Graphics::Point a = pointIn(r);
        drag(a, {a.x + uniform(-250, 250), a.y + uniform(-10, 10)}, integer(2, 10));
    } else if (roll < 50) {
        m_action = "filter cell";
        const std::vector<std::shared_ptr<Toolkit::CollectionViewCell>> cells =
            editor.filterBar()->collectionView()->visibleCells();
        if (cells.empty()) {
            tapView(editor.filterBar());
        } else {
            tapView(pick(cells));
        }
    } else if (roll < 56) {
        m_action = "filter strip scroll";
        const Graphics::Rect r = visibleRect(editor.filterBar());
        const Graphics::Point a = pointIn(r);
        drag(a, {a.x + uniform(-400, 400), a.y + uniform(-10, 10)}, integer(1, 8));
    } else if (roll < 65) {
        m_action = "undo";
        tapView(editor.undoButton());
    } else if (roll < 72) {
        m_action = "redo";
        tapView(editor.redoButton());
    } else if (roll < 80) {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(editor.imageView())));
    } else if (roll < 82) {
        m_action = "tap on the photo";
        tap(pointIn(visibleRect(editor.imageView())));
    } else if (roll < 84) {
        m_action = "save";
        tapView(editor.nextButton());
    } else if (roll < 85) {
        m_action = "back";
        tapView(editor.backButton());
    } else if (roll < 94) {
        m_action = "random touch";
        randomTouch();
    } else {
        m_action = "two fingers";
        twoFingers(pointIn(visibleRect(chance(0.5) ? std::shared_ptr<Toolkit::View>(editor.filterBar())
                                                   : std::shared_ptr<Toolkit::View>(editor.toolbar()))));
    }
}

bool Soak::commonToolStep(RUXOkCancelBar* bar) {
    const int roll = integer(0, 99);
    if (roll < 10 && bar) {
        m_action = "OK";
        tapView(bar->okButton());
    } else if (roll < 17 && bar) {
        m_action = "Cancel";
        tapView(bar->cancelButton());
    } else if (roll < 24) {
        m_action = "random touch";
        randomTouch();
    } else if (roll < 27 && bar) {
        m_action = "two fingers";
        twoFingers(pointIn(visibleRect(bar->okButton())));
    } else {
        return false;
    }
    return true;
}

void Soak::stepOnScalar(RUXScalarTransformationViewControllerBase& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const int roll = integer(0, 99);
    const std::shared_ptr<RUXSlider>& slider = screen.slider();
    const Graphics::Rect track = visibleRect(slider);
    if (roll < 75) {
        m_action = "slider drag";
        const Graphics::Rect thumb = visibleRect(slider->movingUnit());
        const Graphics::Point a = thumb.isEmpty() ? pointIn(track) : pointIn(thumb, 0.3);
        const Graphics::Point b{uniform(track.minX() - 30, track.maxX() + 30), a.y + uniform(-30, 30)};
        drag(a, b, integer(1, 12));
    } else if (roll < 82) {
        m_action = "slider tap";
        tap(pointIn(track));
    } else {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(screen.imageView())));
    }
}

void Soak::stepOnRotate(RUXRotateViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    std::vector<std::shared_ptr<Toolkit::View>> buttons;
    for (const std::shared_ptr<Toolkit::View>& view : screen.rotateButtonsBar()->contents()->subviews()) {
        if (std::dynamic_pointer_cast<Toolkit::Button>(view)) {
            buttons.push_back(view);
        }
    }
    if (integer(0, 99) < 80 && !buttons.empty()) {
        m_action = "rotate or flip";
        tapView(pick(buttons));
    } else {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(screen.imageView())));
    }
}

void Soak::stepOnBlur(RUXBlurViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const Graphics::Rect r = visibleRect(screen.imageView());
    const int roll = integer(0, 99);
    if (roll < 30) {
        m_action = "blur tap";
        tap(pointIn(r, 0));
    } else if (roll < 65) {
        m_action = "blur pan";
        drag(pointIn(r, 0), pointIn(r, -0.1), integer(2, 14));
    } else {
        m_action = "blur pinch";
        pinch(pointIn(r, 0.25), uniform(40, 200), uniform(20, 300), integer(2, 12));
    }
}

void Soak::stepOnCrop(RUXCropViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const Graphics::Rect r = visibleRect(screen.zoomScrollView());
    const int roll = integer(0, 99);
    if (roll < 45) {
        m_action = "crop drag";
        drag(pointIn(r), pointIn(r, -0.2), integer(2, 14));
    } else if (roll < 85) {
        m_action = "crop zoom";
        pinch(pointIn(r, 0.3), uniform(40, 200), uniform(20, 320), integer(2, 12));
    } else {
        m_action = "crop double tap";
        doubleTap(pointIn(r));
    }
}

// A screen of an added tool, known only as a tool screen: its one-value screens are the scalar
// screen; the others get drags and taps over their controls (everything between the picture and the
// OK/Cancel bar), holds on the picture and the bar's buttons.
void Soak::stepOnAdded(RUXTransformationViewControllerBase& screen) {
    if (auto* scalar = dynamic_cast<RUXScalarTransformationViewControllerBase*>(&screen)) {
        stepOnScalar(*scalar);
        return;
    }
    std::shared_ptr<RUXOkCancelBar> bar;
    for (const std::shared_ptr<Toolkit::View>& view : screen.view()->subviews()) {
        if (auto found = std::dynamic_pointer_cast<RUXOkCancelBar>(view)) {
            bar = found;
        }
    }
    if (commonToolStep(bar.get())) {
        return;
    }
    const Graphics::Rect whole = visibleRect(screen.view());
    const Graphics::Rect controls{whole.minX(), whole.maxY() - 240, whole.width(), 190};
    const int roll = integer(0, 99);
    if (roll < 60) {
        m_action = "control drag";
        const Graphics::Point a = pointIn(controls);
        drag(a, {a.x + uniform(-250, 250), a.y + uniform(-60, 60)}, integer(1, 12));
    } else if (roll < 80) {
        m_action = "control tap";
        tap(pointIn(controls));
    } else {
        m_action = "hold on the photo";
        hold(pointIn({whole.minX(), whole.minY() + 44, whole.width(), whole.height() - 300}));
    }
}

} // namespace RuxSoak
