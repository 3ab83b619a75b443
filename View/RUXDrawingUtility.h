#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/Color.h>
#include <Graphics/Geometry.h>

// The path rectangle whose stroke of width w lies exactly inside rect: each edge moved in by half
// the stroke. Any thread.
RUX_API Graphics::Rect RUXRectForStrokeOfWidth(double w, const Graphics::Rect& rect);

// Strokes one straight line from (fromX, fromY) to (toX, toY), dashed 3 on, 3 off with square caps,
// shifted by half the width so that a 1-point line sits on whole points. Leaves the context's state
// as it found it. Any thread (on a context no other thread uses).
RUX_API void RUXDrawDashStroke(Graphics::BitmapContext& context, Graphics::Color color, double fromX,
                               double fromY, double toX, double toY, double width);
