#include "RecipeFile.h"

#include <Graphics/ImageFile.h>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace RecipeFile {

std::shared_ptr<const RUXRecipe>
read(const std::string& path, const std::vector<std::shared_ptr<RUXUserLookTransformation>>& lookFiles,
     std::string& error) {
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    std::ifstream file(path, std::ios::binary);
    if (sizeError || !file) {
        error = "cannot read the recipe " + path;
        return nullptr;
    }
    if (size > RUXRecipe::kMaxDocumentBytes) {
        error = path + ": the recipe is larger than " + std::to_string(RUXRecipe::kMaxDocumentBytes / 1024) +
                " KB";
        return nullptr;
    }
    std::stringstream text;
    text << file.rdbuf();
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    auto resolver = [&](const std::string& name, const std::string& source) -> RUXTransformationPtr {
        for (const auto& look : lookFiles) {
            if (look->name() == name) {
                return look;
            }
        }
        if (source.empty()) {
            return nullptr;
        }
        std::filesystem::path cube(source);
        if (cube.is_relative()) {
            cube = folder / cube;
        }
        std::string lookError;
        return RUXUserLookTransformation::createWithCubeFile(cube.string(), name, lookError);
    };
    auto recipe = RUXRecipe::createWithDocument(text.str(), resolver, error);
    if (!recipe) {
        error = path + ": " + error;
    }
    return recipe;
}

bool write(const RUXRecipe& recipe, const std::string& path, std::string& error) {
    const std::string document = recipe.document();
    if (!Graphics::writeFileAtomically(path, std::vector<std::uint8_t>(document.begin(), document.end()))) {
        error = "cannot write the recipe " + path;
        return false;
    }
    return true;
}

} // namespace RecipeFile
