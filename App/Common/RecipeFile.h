#pragma once

#include <Manager/RUXRecipe.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <memory>
#include <string>
#include <vector>

// Recipe files for the editor's programs (rux-render, rux-editor).
namespace RecipeFile {

// The recipe in the file at path. A user look it names is the one of lookFiles with that name,
// else the .cube file it records (a relative source is taken from the recipe's folder). nullptr
// with one sentence in error when the file cannot be read or the recipe is refused. Main thread.
std::shared_ptr<const RUXRecipe>
read(const std::string& path, const std::vector<std::shared_ptr<RUXUserLookTransformation>>& lookFiles,
     std::string& error);

// Writes the recipe's document to path atomically. False with one sentence in error. Any thread.
bool write(const RUXRecipe& recipe, const std::string& path, std::string& error);

} // namespace RecipeFile
