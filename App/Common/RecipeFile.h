#pragma once

#include <Manager/RUXRecipe.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <memory>
#include <string>
#include <vector>

namespace RenderTool {

// The recipe in the file at path. A user look it names is the one of lookFiles with that name,
// else the .cube file it records (a relative source is taken from the recipe's folder). nullptr
// with one sentence in error when the file cannot be read or the recipe is refused. Main thread.
std::shared_ptr<const RUXRecipe>
readRecipeFile(const std::string& path,
               const std::vector<std::shared_ptr<RUXUserLookTransformation>>& lookFiles, std::string& error);

// Writes the recipe's document to path atomically. False with one sentence in error. Any thread.
bool writeRecipeFile(const RUXRecipe& recipe, const std::string& path, std::string& error);

} // namespace RenderTool
