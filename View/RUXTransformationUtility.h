#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>

class RUXSlider;

// The transformation value that the slider's position stands for: the slider's position within its
// range, spread over the transformation's range (slider at its maximum gives exactly the
// transformation's maximum). The transformation's minimum for a slider whose range is empty. Main
// thread (it reads the slider).
RUX_API double RUXScalarTransformationValueFromSlider(const RUXSlider& slider,
                                                      const RUXScalarTransformation& transformation);
