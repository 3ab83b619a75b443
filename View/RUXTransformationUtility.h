#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>

class RUXSlider;

// The transformation value that the slider's position stands for: the slider's position within its
// range, spread over the transformation's range (slider at its maximum gives exactly the
// transformation's maximum). The transformation's minimum for a slider whose range is empty. Main
// thread (it reads the slider).
//
// A registered class maps by its declared "value" parameter (RUXTransformationRegistry): its range
// and its slider mapping (evenly, centred on the neutral value, or in mireds).
RUX_API double RUXScalarTransformationValueFromSlider(const RUXSlider& slider,
                                                      const RUXScalarTransformation& transformation);

// Where transformation's value sits on a slider's travel, 0 … 1, by the same mapping, in single
// precision for an even mapping so that a value read back from the slider lands on the same float.
// Any thread.
RUX_API double RUXSliderFractionOfScalarTransformation(const RUXScalarTransformation& transformation);
