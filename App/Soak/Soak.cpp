// The checks after every touch, settling, and the run's loop.
#include "Soak.h"

#include <Transformation/RUXTransformationRegistry.h>
#include <map>

namespace RuxSoak {

void Soak::fail(const std::string& what) const {
    std::fflush(stdout);
    std::fprintf(stderr, "rux-soak: step %ld (%s, seed %llu): %s\n", m_step, m_action,
                 static_cast<unsigned long long>(m_options.seed), what.c_str());
    std::fprintf(stderr, "rux-soak: committed list:");
    for (const RUXTransformationPtr& t : m_manager->transformations()) {
        std::fprintf(stderr, " %s(type %lld, order %g)", t ? t->transformationClass().name : "null",
                     t ? static_cast<long long>(t->type()) : -1LL, t ? t->sortOrder() : 0.0);
    }
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    // Pool threads are still rendering: leave without running destructors under them.
    std::_Exit(kExitFailure);
}

void Soak::check(const char* when) {
    const RUXTransformationList list = m_manager->transformations();
    std::map<std::int64_t, int> perType;
    double previousOrder = -INFINITY;
    for (const RUXTransformationPtr& t : list) {
        if (!t) {
            fail(std::string("after a ") + when + ": the committed list holds a null entry");
        }
        const std::int64_t type = RUXTransformationTypeCode(t->type());
        // Every class declares its slot; a transformation in another one is unknown.
        const RUXTransformationDeclaration* declared =
            RUXTransformationRegistry::declarationOf(t->transformationClass());
        if (!declared || RUXTransformationTypeCode(declared->type) != type) {
            fail(std::string("after a ") + when + ": a committed " + t->transformationClass().name +
                 " has the unknown type " + std::to_string(type));
        }
        if (++perType[type] > 1) {
            fail(std::string("after a ") + when + ": two committed transformations of type " +
                 std::to_string(type));
        }
        if (t->sortOrder() < previousOrder) {
            fail(std::string("after a ") + when + ": the committed list is not sorted by sort order");
        }
        previousOrder = t->sortOrder();
    }
    const RUXTransformationPtr normalize =
        m_manager->getTransformationWithType(RUXTransformationTypeNormalize);
    if (!normalize || &normalize->transformationClass() != &RUXNormalizeTransformation::classDescriptor()) {
        fail(std::string("after a ") + when + ": the normalisation is missing from the committed list");
    }

    const Foundation::UndoManager& undo = *m_manager->undoManager();
    const std::size_t undoSteps = undo.undoStepCount(), redoSteps = undo.redoStepCount();
    if (m_manager->canRedo() != (redoSteps > 0) ||
        (undo.groupingLevel() == 0 && m_manager->canUndo() != (undoSteps > 0))) {
        fail(std::string("after a ") + when + ": canUndo/canRedo disagree with the history's steps");
    }
    const std::string history = m_history.observe(list, undoSteps, redoSteps, undo.levelsOfUndo());
    if (!history.empty()) {
        fail(std::string("after a ") + when + ": " + history);
    }
    switch (m_history.change()) {
    case HistoryModel::Change::Undo:
        ++m_statistics.undos;
        break;
    case HistoryModel::Change::Redo:
        ++m_statistics.redos;
        break;
    case HistoryModel::Change::Commit:
        ++m_statistics.commits;
        break;
    case HistoryModel::Change::None:
        break;
    }

    // The main screen's own view of the history and of the committed look.
    if (!presentedScreen() && m_session.editor->isViewLoaded()) {
        RUXMainViewController& editor = *m_session.editor;
        if (editor.undoButton()->isEnabled() != m_manager->canUndo() ||
            editor.redoButton()->isEnabled() != m_manager->canRedo()) {
            fail(std::string("after a ") + when + ": the undo/redo buttons say " +
                 (editor.undoButton()->isEnabled() ? "undo" : "no undo") + " and " +
                 (editor.redoButton()->isEnabled() ? "redo" : "no redo") + ", the history " +
                 (m_manager->canUndo() ? "undo" : "no undo") + " and " +
                 (m_manager->canRedo() ? "redo" : "no redo"));
        }
        const RUXTransformationPtr look =
            m_manager->committedTransformationWithType(RUXTransformationTypeFilter);
        std::int64_t expected = RUXFilterBar::kNotFound;
        const auto& filters = editor.filterBar()->filters();
        for (std::size_t i = 0; look && i < filters.size(); ++i) {
            if (filters[i] == look) {
                expected = std::int64_t(i);
            }
        }
        if (look && expected == RUXFilterBar::kNotFound) {
            fail(std::string("after a ") + when + ": the committed look is none of the strip's");
        }
        if (editor.filterBar()->selectedFilterIndex() != expected) {
            fail(std::string("after a ") + when + ": the strip highlights entry " +
                 std::to_string(editor.filterBar()->selectedFilterIndex()) + " but the committed look is " +
                 std::to_string(expected));
        }
    }
}

// With nothing left running, the picture shown is the one asked for last.
void Soak::checkSettled() {
    std::shared_ptr<RUXImageView> imageView;
    const std::shared_ptr<Toolkit::ViewController> screen = presentedScreen();
    if (!screen) {
        imageView = m_session.editor->imageView();
    } else if (auto scalar = std::dynamic_pointer_cast<RUXScalarTransformationViewControllerBase>(screen)) {
        imageView = scalar->imageView();
    } else if (auto rotate = std::dynamic_pointer_cast<RUXRotateViewController>(screen)) {
        imageView = rotate->imageView();
    } else if (auto blur = std::dynamic_pointer_cast<RUXBlurViewController>(screen)) {
        imageView = blur->imageView();
    }
    if (!imageView || !imageView->lastImage()) {
        return;
    }
    if (imageView->isBusy()) {
        fail("the picture's render is still marked busy after everything settled");
    }
    if (imageView->image() != m_renderer->renderedImage(imageView->lastImage())) {
        fail("after everything settled, the picture shown is not the one asked for last");
    }
    if (!screen && imageView->lastImage() != m_manager->committedImage()) {
        fail("after everything settled, the main screen's last request is not the committed picture");
    }
}

void Soak::settle(const char* when) {
    for (int attempt = 0; attempt < kIdleAttempts; ++attempt) {
        if (m_host->runUntilIdle()) {
            ++m_statistics.idles;
            check(when);
            checkSettled();
            return;
        }
    }
    fail(std::string("the editor did not settle (") + when + ")");
}

void Soak::pump() {
    // A few display frames of the host's clock, then a moment of real time for the pool to hand
    // results over; neither waits for the work to finish.
    const int frames = integer(0, 3);
    if (frames > 0) {
        m_host->advance(frames * kFrame);
    }
    const auto real = std::chrono::milliseconds(integer(0, 3));
    if (real.count() > 0) {
        Foundation::RunLoop::main().runUntil([] { return false; }, real);
    }
}

std::string Soak::journalKey(const Options& options) {
    if (!options.photoPath.empty()) {
        return RUXRecipeJournal::keyForFile(options.photoPath);
    }
    const std::string name =
        "synthetic " + std::to_string(options.photoWidth) + "x" + std::to_string(options.photoHeight);
    return RUXRecipeJournal::keyForBytes(name.data(), name.size());
}

void Soak::injectFaults(Screen screen) {
    if (!m_faults) {
        return;
    }
    // The last touch is not followed by a kill: there would be nothing left to reopen for.
    if (m_step < m_options.touches && m_faults->killsAfter(m_step)) {
        m_action = "kill";
        settle("before the kill");
        m_faults->killAndReopen(m_step, *m_manager);
    }
    if (screen != kMain || presentedScreen() || integer(1, std::max(1, m_options.faultEvery)) != 1) {
        return;
    }
    m_action = "fault";
    settle("before a fault");
    const std::string problem = m_faults->inject(*m_manager, *m_renderer, m_host->application());
    if (!problem.empty()) {
        fail(problem);
    }
    check("fault");
}

int Soak::run() {
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&started] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    if (!m_openingProblem.empty()) {
        fail(m_openingProblem);
    }
    settle("opening");
    const long startRss = statusKilobytes("VmRSS");
    report("start", elapsed());

    const long warmUp = std::max(1L, m_options.touches / 10);
    long warmRss = startRss;
    double warmSeconds = 0;
    Screen previous = kMain;
    m_statistics.entries[kMain] = 1;
    for (m_step = m_faults ? m_faults->firstStep() : 1; m_step <= m_options.touches; ++m_step) {
        const Screen screen = currentScreen();
        if (screen != previous) {
            ++m_statistics.entries[screen];
            previous = screen;
        }
        ++m_statistics.steps[screen];
        const std::shared_ptr<Toolkit::ViewController> presented = presentedScreen();
        switch (screen) {
        case kMain:
            stepOnMain();
            break;
        case kCrop:
            stepOnCrop(static_cast<RUXCropViewController&>(*presented));
            break;
        case kBrightness:
        case kSaturation:
        case kContrast:
            stepOnScalar(static_cast<RUXScalarTransformationViewControllerBase&>(*presented));
            break;
        case kBlur:
            stepOnBlur(static_cast<RUXBlurViewController&>(*presented));
            break;
        case kRotate:
            stepOnRotate(static_cast<RUXRotateViewController&>(*presented));
            break;
        case kAdded:
            stepOnAdded(static_cast<RUXTransformationViewControllerBase&>(*presented));
            break;
        case kScreenCount:
            break;
        }
        if (m_options.idleEvery > 0 && integer(1, m_options.idleEvery) == 1) {
            settle("waiting for idle");
        } else {
            pump();
            check("pause");
        }
        if (m_options.trace) {
            std::printf("trace %ld %s: %s; list", m_step, kScreenNames[screen], m_action);
            for (const RUXTransformationPtr& t : m_manager->transformations()) {
                std::printf(" %s", t->transformationClass().name);
            }
            std::printf("; RSS %.1f MB\n", megabytes(statusKilobytes("VmRSS")));
        }
        injectFaults(screen);
        if (m_step == warmUp) {
            settle("end of warm-up");
            warmRss = statusKilobytes("VmRSS");
            warmSeconds = elapsed();
            report("after warm-up", warmSeconds);
        } else if (m_step % std::max(1L, m_options.touches / 10) == 0) {
            report("progress", elapsed());
        }
    }
    m_step = m_options.touches;
    m_action = "finishing";
    settle("the end");
    const double seconds = elapsed();
    const long endRss = statusKilobytes("VmRSS");
    report("end", seconds);

    printSummary(m_statistics, {m_options.touches, warmUp, warmSeconds, seconds, startRss, warmRss, endRss},
                 *m_delegate);
    // A long run that never reached a screen has stopped exploring (a stuck screen, say).
    // The added tools' screens are reached only when the configuration offers them.
    for (int s = 0; s < kScreenCount; ++s) {
        if (s == kAdded) {
            continue;
        }
        const long played = m_options.touches - (m_faults ? m_faults->firstStep() : 1) + 1;
        if (m_statistics.entries[std::size_t(s)] == 0 && played >= kTouchesToVisitEverything) {
            std::fprintf(stderr, "rux-soak: the %s screen was never visited\n", kScreenNames[s]);
            return kExitFailure;
        }
    }
    if (m_faults) {
        if (!m_faults->printReport()) {
            std::fprintf(stderr, "rux-soak: the faults lost edits or left files\n");
            return kExitFailure;
        }
        m_faults->finish();
    }
    if (m_delegate->failedSaves > 0) {
        std::fprintf(stderr, "rux-soak: %ld saves delivered no picture\n", m_delegate->failedSaves);
        return kExitFailure;
    }
    return 0;
}

} // namespace RuxSoak
