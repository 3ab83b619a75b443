#pragma once

#include <Graphics/Color.h>

namespace Toolkit {

// Views, labels and buttons take the graphics layer's colour as it is.
using Color = Graphics::Color;

} // namespace Toolkit
