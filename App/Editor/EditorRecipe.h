#pragma once

#include <View/RUXImageEditorViewController.h>
#include <string>
#include <vector>

namespace EditorHost {

// What rux-editor opens the editor with besides the photo.
struct RecipeOptions {
    // A recipe committed as one undoable step before the editor is shown; empty for none.
    std::string recipePath;
    // .cube files offered in the look strip after the built-in looks, in this order.
    std::vector<std::string> lookFiles;
};

// Offers options' looks through a sample configuration of the editor's own and commits options'
// recipe (its user looks found among those looks by name, else from the .cube file it records).
// False with one sentence in error, the editor left as it was, when a look file or the recipe is
// refused. Main thread, before the editor is shown.
bool prepareEditor(RUXImageEditorViewController& editor, const RecipeOptions& options, std::string& error);

// Where Save puts the recipe of a picture saved at imagePath: beside it, with the extension
// replaced by ".recipe.json" (photo-edited.jpg gets photo-edited.recipe.json). Any thread.
std::string recipePathForImage(const std::string& imagePath);

// Writes the recipe of the editor's committed list beside the picture saved at imagePath. False
// with one log line when the list cannot be recorded or the file cannot be written. Main thread.
bool writeRecipeForImage(RUXImageEditorViewController& editor, const std::string& imagePath);

} // namespace EditorHost
