#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <filesystem>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXUserLookTransformation)

// Recorded by name and the file it came from; a recipe's reader asks its host to find it.
const RUXTransformationDeclaration& RUXUserLookTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d = RUXLookDeclaration(classDescriptor());
        d.resolvedByHost = true;
        for (const char* key : {"name", "source"}) {
            RUXParameter text;
            text.key = std::string(key);
            text.kind = RUXParameterKind::LookReference;
            text.unit = std::string("text");
            const bool isName = text.key == "name";
            text.get = [isName](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
                const auto& look = static_cast<const RUXUserLookTransformation&>(t);
                return RUXParameterValue{{}, isName ? look.name() : look.source()};
            };
            d.parameters.push_back(std::move(text));
        }
        return d;
    }();
    return d;
}

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
    return RUXFilterOutput(RUXFilterName::colorCubeWithColorSpace,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::cubeDimension, double(m_table->dimension)},
                            {RUXFilterKey::cubeData, m_table->data},
                            {RUXFilterKey::colorSpace, Graphics::ColorSpace::DeviceRGB}});
}

RUXTransformationPtr RUXUserLookTransformation::copy() const {
    return std::make_shared<RUXUserLookTransformation>(m_name, m_source, m_table);
}
