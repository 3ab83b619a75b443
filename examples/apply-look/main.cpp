// apply-look PHOTO LOOK OUTPUT: renders PHOTO through the look LOOK (a class name such as
// RUXFilterVivid, or a name the sample configuration shows, such as "March") at full resolution and
// writes OUTPUT (PNG or JPEG by its extension). Exit status: 0 written, 1 failed, 2 bad arguments.

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Manager/RUXPipelineRender.h>
#include <RUXImageEditor/Version.h>
#include <Transformation/RUXFilters.h>
#include <cstdio>
#include <string>

namespace {

const RUXClass* lookNamed(const std::string& name) {
    const RUXClass* look = RUXImageEditorSampleConfiguration::classForDisplayName(name);
    if (!look) {
        look = RUXTransformationClassNamed(name);
    }
    return look && look->create()->type() == RUXTransformationTypeFilter ? look : nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: apply-look PHOTO LOOK OUTPUT (RUXImageEditor %s)\n",
                     RUX_IMAGE_EDITOR_VERSION_STRING);
        return 2;
    }
    const RUXClass* look = lookNamed(argv[2]);
    if (!look) {
        std::fprintf(stderr, "apply-look: no look named %s\n", argv[2]);
        return 2;
    }
    auto photo = Graphics::BitmapImage::createFromFile(argv[1]);
    if (!photo) {
        std::fprintf(stderr, "apply-look: cannot read %s\n", argv[1]);
        return 1;
    }

    // A program without screens keeps its edits in a pipeline edit, on any thread and without a run
    // loop; the screen scale is the editor's default, so the picture is the one Save would hand over.
    auto edit = RUXPipelineEdit::create(photo, 2.0);
    edit->commitTransformation(look->create());
    auto result = edit->render(RUXRenderResolution::Full);
    if (!result || !Graphics::writeImageFile(*result->bitmap(), argv[3])) {
        std::fprintf(stderr, "apply-look: cannot render or write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %d x %d through %s\n", argv[3], result->bitmap()->width(), result->bitmap()->height(),
                look->name);
    return 0;
}
