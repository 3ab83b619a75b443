#include <Foundation/Bundle.h>
#include <Utility/RUXImageUtility.h>
#include <Utility/RUXResourceLocation.h>
#include <cmath>

std::shared_ptr<Graphics::BitmapImage> RUXImageFromBundle(const std::string& bundlePath,
                                                          const std::string& name, const std::string& type,
                                                          ScaleVariants variants) {
    return RUXImageFromBundle(bundlePath, name, type,
                              variants == ScaleVariants::Yes ? Graphics::mainScreenScale() : 1.0);
}

std::shared_ptr<Graphics::BitmapImage> RUXImageFromBundle(const std::string& bundlePath,
                                                          const std::string& name, const std::string& type,
                                                          double screenScale) {
    auto bundle = Foundation::Bundle::bundleWithPath(bundlePath);
    if (!bundle) {
        return nullptr;
    }
    // A higher-resolution variant keeps the image's size in points while giving it more pixels. A
    // screen between two scales (a window zoomed to fit its display) takes the larger variant:
    // drawn smaller it stays sharp, where the smaller one drawn larger would blur.
    int scale = std::isfinite(screenScale) && screenScale > 1 ? int(std::ceil(screenScale - 1e-6)) : 1;
    for (; scale > 1; --scale) {
        std::string path = bundle->pathForResource(name + "@" + std::to_string(scale) + "x", type);
        if (!path.empty()) {
            return Graphics::BitmapImage::createFromFile(path, scale);
        }
    }
    std::string path = bundle->pathForResource(name, type);
    if (path.empty()) {
        return nullptr;
    }
    return Graphics::BitmapImage::createFromFile(path, 1.0);
}

std::shared_ptr<Graphics::BitmapImage> RUXGetImage(const std::string& name) {
    std::string bundlePath = RUXResourceBundlePath();
    if (bundlePath.empty() || name.empty()) {
        return nullptr;
    }
    std::string resource = name, type = "png";
    if (auto dot = name.find('.'); dot != std::string::npos) {
        resource = name.substr(0, dot);
        auto next = name.find('.', dot + 1);
        type = name.substr(dot + 1, next == std::string::npos ? std::string::npos : next - dot - 1);
    }
    // "ic_crop" and "ic_crop.png" name the same picture, so both take the screen's variant.
    return RUXImageFromBundle(bundlePath, resource, type, ScaleVariants::Yes);
}

Graphics::Color RUXColorWithHexCode(std::int32_t code) {
    auto bits = static_cast<std::uint32_t>(code);
    return {((bits >> 16) & 0xFF) / 255.0, ((bits >> 8) & 0xFF) / 255.0, (bits & 0xFF) / 255.0, 1.0};
}
