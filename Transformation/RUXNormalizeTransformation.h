#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>

// Moves the image back so that its extent starts at (0, 0) after rotation and crop, and records
// the offset it removed (the input's origin). Stateless, so one instance serves every formula.
class RUX_API RUXNormalizeTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXNormalizeTransformation)
public:
    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }
    std::optional<bool> isAppliedToThumbnail() const override { return true; }

    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override { return std::make_shared<RUXNormalizeTransformation>(); }
};
