#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <filesystem>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXUserLookTransformation)

std::shared_ptr<RUXUserLookTransformation>
RUXUserLookTransformation::createWithCubeFile(const std::string& path, const std::string& name,
                                              std::string& error) {
    auto table = RUXLoadCubeFile(path, error);
    if (!table) {
        return nullptr;
    }
    std::string shownName = name;
    if (shownName.empty()) {
        shownName = !table->title.empty() ? table->title : std::filesystem::path(path).stem().string();
    }
    return std::make_shared<RUXUserLookTransformation>(std::move(shownName), path, std::move(table));
}

ImageEngine::ImagePtr RUXUserLookTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    if (!image || !m_table || !m_table->data) {
        return image;
    }
    return RUXFilterOutput("CIColorCubeWithColorSpace",
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::cubeDimension, double(m_table->dimension)},
                            {RUXFilterKey::cubeData, m_table->data},
                            {RUXFilterKey::colorSpace, Graphics::ColorSpace::DeviceRGB}});
}

RUXTransformationPtr RUXUserLookTransformation::copy() const {
    return std::make_shared<RUXUserLookTransformation>(m_name, m_source, m_table);
}
