#include <Common/RecipeFile.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorConfiguration.h>
#include <Editor/EditorRecipe.h>
#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <filesystem>

namespace EditorHost {

bool prepareEditor(RUXImageEditorViewController& editor, const RecipeOptions& options, std::string& error) {
    std::vector<std::shared_ptr<RUXUserLookTransformation>> looks;
    for (const std::string& path : options.lookFiles) {
        // Recorded by absolute path, so that a recipe saved with the look finds it from anywhere.
        std::error_code ignored;
        auto look = RUXUserLookTransformation::createWithCubeFile(
            std::filesystem::absolute(path, ignored).string(), "", error);
        if (!look) {
            return false;
        }
        looks.push_back(std::move(look));
    }
    std::shared_ptr<const RUXRecipe> recipe;
    if (!options.recipePath.empty()) {
        recipe = RecipeFile::read(options.recipePath, looks, error);
        if (!recipe) {
            return false;
        }
    }
    if (!looks.empty()) {
        auto configuration = std::make_shared<EditorConfiguration>();
        for (const auto& look : looks) {
            configuration->addUserLook(look);
        }
        editor.setConfiguration(configuration);
    }
    if (recipe && !editor.editManager()->applyRecipe(*recipe)) {
        error = options.recipePath + ": the recipe could not be applied";
        return false;
    }
    return true;
}

std::string recipePathForImage(const std::string& imagePath) {
    return std::filesystem::path(imagePath).replace_extension(".recipe.json").string();
}

bool writeRecipeForImage(RUXImageEditorViewController& editor, const std::string& imagePath) {
    auto recipe = editor.editManager() ? editor.editManager()->recipe() : nullptr;
    std::string error;
    if (!recipe) {
        Foundation::log("rux-editor: the edits of %s cannot be written as a recipe", imagePath.c_str());
        return false;
    }
    if (!RecipeFile::write(*recipe, recipePathForImage(imagePath), error)) {
        Foundation::log("rux-editor: %s", error.c_str());
        return false;
    }
    return true;
}

} // namespace EditorHost
