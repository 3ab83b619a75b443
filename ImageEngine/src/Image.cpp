#include "Filters/Nodes.h"
#include "Pipeline/Node.h"

#include <ImageEngine/Image.h>

namespace ImageEngine {

ImagePtr imageWithNode(NodePtr node) {
    return node ? std::make_shared<const Image>(std::move(node)) : nullptr;
}

ImagePtr Image::createWithBitmap(std::shared_ptr<const Graphics::Bitmap> bitmap) {
    return imageWithNode(makeSourceNode(std::move(bitmap)));
}

Graphics::Rect Image::extent() const {
    return m_node ? m_node->extent() : Graphics::Rect::null();
}

ImagePtr Image::imageByApplyingTransform(const Graphics::AffineTransform& transform) const {
    return imageWithNode(makeAffineNode(m_node, transform));
}

ImagePtr Image::imageByCroppingToRect(const Graphics::Rect& rect) const {
    return imageWithNode(makeCropNode(m_node, rect));
}

ImagePtr Image::imageByKeepingPixels() const {
    if (m_node && m_node->isRenderWide())
        return std::make_shared<const Image>(m_node);
    return imageWithNode(makeRenderWideNode(m_node));
}

} // namespace ImageEngine
