#include <Manager/RUXImageFilterInterface.h>

ImageEngine::ImagePtr
RUXFilterOutput(ImageEngine::FilterName name,
                std::initializer_list<std::pair<ImageEngine::InputKey, ImageEngine::FilterValue>> inputs) {
    // A missing image input makes the whole chain empty; say nothing, the caller passes it on.
    for (const auto& input : inputs) {
        if (auto image = std::get_if<ImageEngine::ImagePtr>(&input.second); image && !*image) {
            return nullptr;
        }
    }
    auto filter = ImageEngine::Filter::create(name);
    if (!filter) {
        return nullptr;
    }
    for (const auto& [key, value] : inputs) {
        filter->setValue(key, value);
    }
    return filter->outputImage();
}
