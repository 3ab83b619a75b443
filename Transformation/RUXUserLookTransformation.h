#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXCubeFile.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <memory>
#include <string>

// A look of the user's own: a colour cube from a .cube file, applied through the engine's colour
// cube exactly as the built-in looks are (sRGB-encoded input, trilinear). It fills the filter slot,
// so it replaces a built-in look and is replaced by one. Immutable once made: the name, the file it
// came from and the cube are fixed, so one object may be shared by every list and thread.
class RUX_API RUXUserLookTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXUserLookTransformation)
public:
    // A look without a cube, which leaves pictures unchanged; made only as the class's default.
    RUXUserLookTransformation() = default;
    RUXUserLookTransformation(std::string name, std::string source,
                              std::shared_ptr<const RUXCubeLookupTable> table)
        : m_name(std::move(name)), m_source(std::move(source)), m_table(std::move(table)) {}

    // The look of the .cube file at path, named name (the file's TITLE, else its stem, when name is
    // empty); source() keeps path as given. nullptr with one sentence in error when the file is
    // refused. Any thread; the caller owns the result.
    static std::shared_ptr<RUXUserLookTransformation>
    createWithCubeFile(const std::string& path, const std::string& name, std::string& error);

    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }

    // The cube over image; the image itself when there is no cube. Any thread.
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    // Shares the cube, which is immutable.
    RUXTransformationPtr copy() const override;

    // The name shown in the look strip and recorded in recipes.
    const std::string& name() const { return m_name; }
    // Where the cube was read from, as the host gave it; empty when it came from elsewhere.
    const std::string& source() const { return m_source; }
    const std::shared_ptr<const RUXCubeLookupTable>& table() const { return m_table; }

private:
    std::string m_name;
    std::string m_source;
    std::shared_ptr<const RUXCubeLookupTable> m_table;
};
