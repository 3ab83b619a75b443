#include <Editor/EditorInput.h>
#include <Editor/EditorJournal.h>
#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <View/RUXFilterBar.h>
#include <View/RUXMainViewController.h>
#include <cstdio>

namespace EditorHost {

std::shared_ptr<RUXRecipeJournal> startJournal(RUXImageEditorViewController& editor,
                                               const std::string& photoPath, const JournalOptions& options,
                                               bool& restored) {
    restored = false;
    const std::shared_ptr<RUXEditManager>& manager = editor.editManager();
    if (!options.enabled || !manager) {
        return nullptr;
    }
    const std::string directory =
        options.directory.empty() ? RUXRecipeJournal::defaultDirectory() : options.directory;
    std::shared_ptr<RUXRecipeJournal> journal =
        RUXRecipeJournal::create(directory, RUXRecipeJournal::keyForFile(photoPath));
    if (!journal) {
        Foundation::log("rux-editor: the edits of %s are not kept in a journal", photoPath.c_str());
        return nullptr;
    }
    if (!options.fresh) {
        // A user look is found again through the .cube file it was recorded with.
        auto resolver = [](const std::string& name, const std::string& source) -> RUXTransformationPtr {
            std::string error;
            return source.empty() ? nullptr
                                  : RUXUserLookTransformation::createWithCubeFile(source, name, error);
        };
        std::shared_ptr<const RUXRecipe> recipe = journal->readBack(resolver);
        if (recipe && !recipe->transformations().empty() &&
            manager->commitTransformations(withStripLooks(editor, recipe->transformations()))) {
            std::printf("Restored the unsaved edits of %s from %s\n", photoPath.c_str(),
                        journal->path().c_str());
            std::fflush(stdout);
            restored = true;
        }
    }
    RUXRecipeJournal::follow(journal, *manager);
    return journal;
}

RUXTransformationList withStripLooks(RUXImageEditorViewController& editor, RUXTransformationList list) {
    auto* main = dynamic_cast<RUXMainViewController*>(&editor);
    if (!main || !main->view() || !main->filterBar()) {
        return list;
    }
    auto sameLook = [](const RUXTransformationPtr& a, const RUXTransformationPtr& b) {
        if (&a->transformationClass() != &b->transformationClass()) {
            return false;
        }
        auto userA = std::dynamic_pointer_cast<RUXUserLookTransformation>(a);
        auto userB = std::dynamic_pointer_cast<RUXUserLookTransformation>(b);
        return !userA || !userB || userA->name() == userB->name();
    };
    for (RUXTransformationPtr& t : list) {
        if (t->type() != RUXTransformationTypeFilter) {
            continue;
        }
        for (const RUXTransformationPtr& offered : main->filterBar()->filters()) {
            if (sameLook(t, offered)) {
                t = offered;
                break;
            }
        }
    }
    return list;
}

void showRestoredNotice(const std::shared_ptr<Toolkit::Window>& window) {
    showNotice(window, kRestoredNotice);
}

} // namespace EditorHost
