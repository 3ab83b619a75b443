#include <Manager/RUXImageRenderer.h>
#include <cmath>

std::shared_ptr<const Graphics::BitmapImage> RUXRenderedImageOfFormula(const RUXRenderFormulaPtr& formula,
                                                                       ImageEngine::Context& context) {
    if (!formula) {
        return nullptr;
    }
    return formula->ensureRenderedImage(
        [&context](RUXRenderFormula& f) -> std::shared_ptr<const Graphics::BitmapImage> {
            ImageEngine::ImagePtr image = f.resultantImage();
            if (!image) {
                return nullptr;
            }
            Graphics::Rect extent = image->extent();
            if (extent.isEmpty() || extent.isInfinite()) {
                return nullptr;
            }
            auto bitmap = context.createCGImage(image, RUXPixelRectForExtent(extent));
            if (!bitmap) {
                return nullptr;
            }
            return Graphics::BitmapImage::create(std::move(bitmap), 1.0, Graphics::ImageOrientation::Up);
        });
}

std::shared_ptr<RUXImageRenderer> RUXImageRenderer::create() {
    std::shared_ptr<RUXImageRenderer> renderer(new RUXImageRenderer);
    renderer->m_context = ImageEngine::Context::create();
    return renderer;
}

RUXRenderFormulaPtr RUXImageRenderer::lastRenderFormula() const {
    std::lock_guard lock(m_mutex);
    return m_lastRenderFormula;
}

std::uint64_t RUXImageRenderer::nextRequest() {
    std::lock_guard lock(m_mutex);
    return ++m_lastRequest;
}

void RUXImageRenderer::setLastRenderFormula(const RUXRenderFormulaPtr& formula, std::uint64_t request) {
    std::lock_guard lock(m_mutex);
    if (request >= m_storedRequest) {
        m_lastRenderFormula = formula;
        m_storedRequest = request;
    }
}

std::shared_ptr<const Graphics::BitmapImage>
RUXImageRenderer::renderedImage(const RUXRenderFormulaPtr& formula) const {
    return RUXRenderedImageOfFormula(formula, *m_context);
}
