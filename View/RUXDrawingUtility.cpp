#include <View/RUXDrawingUtility.h>

Graphics::Rect RUXRectForStrokeOfWidth(double w, const Graphics::Rect& rect) {
    return Graphics::Rect(rect.origin.x + w / 2, rect.origin.y + w / 2, rect.size.width - w,
                          rect.size.height - w);
}

void RUXDrawDashStroke(Graphics::BitmapContext& context, Graphics::Color color, double fromX, double fromY,
                       double toX, double toY, double width) {
    context.saveGState();
    context.setLineCap(Graphics::LineCap::Square);
    context.setLineDash(0, {3, 3});
    context.setStrokeColor(color);
    context.setLineWidth(width);
    context.beginPath();
    context.moveToPoint({fromX + width / 2, fromY + width / 2});
    context.addLineToPoint({toX + width / 2, toY + width / 2});
    context.strokePath();
    context.restoreGState();
}
