// The ruximageeditor Python module: photos in, recipes applied on the calling thread through the
// pipeline render, pictures out as NumPy views or files that rux-render would write byte for byte.
// Python exceptions live here only: every failure below is a null answer with one sentence, which
// this layer raises as ruximageeditor.Error.

#include <Common/RecipeFile.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Edits.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>
#include <Manager/RUXPipelineRender.h>
#include <Manager/RUXRecipe.h>
#include <Options.h>
#include <Output.h>
#include <Transformation/RUXFilters.h>
#include <atomic>
#include <filesystem>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// The Python-visible error; created in the module's init.
PyObject* g_error = nullptr;

[[noreturn]] void raise(const std::string& sentence) {
    PyErr_SetString(g_error, sentence.c_str());
    throw py::error_already_set();
}

// Threads one render may use, the caller's included; 0: the engine's whole pool.
std::atomic<int> g_maxThreads{0};

struct Photo {
    std::shared_ptr<const Graphics::BitmapImage> image;
    // Where the photo came from, for the metadata a saved picture carries over: a path, or bytes.
    std::string path;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;

    int width() const { return int(image->size().width); }
    int height() const { return int(image->size().height); }
};

struct Image {
    std::shared_ptr<const Graphics::BitmapImage> image;
    int width() const { return image->bitmap()->width(); }
    int height() const { return image->bitmap()->height(); }
};

// Edits as rux-render takes them: a recipe document applied first, then flags in the order given.
struct Recipe {
    std::string document;           // empty: none
    std::string folder;             // where the document's relative look files are found
    std::vector<std::string> flags; // rux-render's words, "--brightness", "0.3", …
    RenderTool::Options options;    // the above, parsed
};

// Flags that are not edits: they choose the output or the program's mode, which other arguments
// of the module say.
bool isEditFlag(const std::string& name) {
    static const char* const notEdits[] = {
        "scale", "resolution", "quality",     "strip-metadata", "repeat", "time", "list-looks",
        "help",  "recipe",     "save-recipe", "output-dir",     "format", "jobs", "shard"};
    for (const char* n : notEdits) {
        if (name == n) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<const RUXRecipe> parseDocument(const std::string& document, const std::string& folder,
                                               std::string& error) {
    auto resolver = [&](const std::string& name, const std::string& source) -> RUXTransformationPtr {
        if (source.empty()) {
            return nullptr;
        }
        std::filesystem::path cube(source);
        if (cube.is_relative() && !folder.empty()) {
            cube = std::filesystem::path(folder) / cube;
        }
        std::string lookError;
        return RUXUserLookTransformation::createWithCubeFile(cube.string(), name, lookError);
    };
    return RUXRecipe::createWithDocument(document, resolver, error);
}

// Builds a recipe; raises Error with the parser's sentence.
std::shared_ptr<Recipe> makeRecipe(std::string document, std::string folder, std::vector<std::string> flags) {
    auto recipe = std::make_shared<Recipe>();
    recipe->document = std::move(document);
    recipe->folder = std::move(folder);
    recipe->flags = std::move(flags);
    std::vector<std::string> args = recipe->flags;
    // Stand-ins for INPUT and OUTPUT, so that the words parse as one photo's edits.
    args.push_back("in.png");
    args.push_back("out.png");
    std::string problem;
    if (auto exitCode = RenderTool::parse(args, recipe->options, problem)) {
        raise(problem.empty() ? "the edits do not parse" : problem);
    }
    if (!recipe->document.empty()) {
        std::string error;
        recipe->options.recipe = parseDocument(recipe->document, recipe->folder, error);
        if (!recipe->options.recipe) {
            raise(error);
        }
    }
    return recipe;
}

std::string flagWord(const py::handle& value) {
    if (py::isinstance<py::bool_>(value)) {
        raise("a flag takes a number, a name or a tuple, not True or False");
    }
    if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) {
        return py::str(py::repr(py::float_(value.cast<double>())));
    }
    if (py::isinstance<py::str>(value)) {
        return value.cast<std::string>();
    }
    if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
        std::string joined;
        for (const auto& item : value) {
            if (!joined.empty()) {
                joined += ",";
            }
            joined += flagWord(item);
        }
        return joined;
    }
    raise("a flag takes a number, a name or a tuple of numbers, not " +
          py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
}

std::shared_ptr<Recipe> recipeFromEdits(const py::kwargs& edits) {
    std::vector<std::string> flags;
    for (const auto& [key, value] : edits) {
        std::string name = key.cast<std::string>();
        std::replace(name.begin(), name.end(), '_', '-');
        if (!isEditFlag(name)) {
            raise("--" + name + " is not an edit");
        }
        // A list of names is the flag given once per name (rotate=["cw", "cw"]).
        if ((py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) && py::len(value) > 0 &&
            py::isinstance<py::str>(*value.begin())) {
            for (const auto& item : value) {
                flags.push_back("--" + name);
                flags.push_back(flagWord(item));
            }
            continue;
        }
        flags.push_back("--" + name);
        flags.push_back(flagWord(value));
    }
    return makeRecipe("", "", std::move(flags));
}

// The recipe's edits applied to one photo, at the given scale; raises Error with the sentence.
std::shared_ptr<RUXPipelineEdit> editFor(const Recipe& recipe,
                                         std::shared_ptr<const Graphics::BitmapImage> image, double scale,
                                         std::string& error) {
    auto edit = RUXPipelineEdit::create(std::move(image), scale, g_maxThreads.load());
    auto render = [&](const RUXRenderFormulaPtr& formula) { return edit->renderedImage(formula); };
    return RenderTool::applyEdits(recipe.options, *edit, render, error) ? edit : nullptr;
}

std::shared_ptr<Photo> openPhoto(const py::object& source) {
    auto photo = std::make_shared<Photo>();
    if (py::isinstance<py::bytes>(source) || py::isinstance<py::bytearray>(source) ||
        py::isinstance<py::memoryview>(source)) {
        std::string data = py::isinstance<py::bytes>(source) ? source.cast<std::string>()
                                                             : py::bytes(source).cast<std::string>();
        auto bytes = std::make_shared<std::vector<std::uint8_t>>(data.begin(), data.end());
        {
            py::gil_scoped_release released;
            photo->image = Graphics::BitmapImage::createFromData(bytes->data(), bytes->size());
        }
        if (!photo->image) {
            raise("cannot read the image");
        }
        photo->bytes = std::move(bytes);
        return photo;
    }
    std::string path = py::str(py::module_::import("os").attr("fspath")(source));
    {
        py::gil_scoped_release released;
        photo->image = Graphics::BitmapImage::createFromFile(path);
    }
    if (!photo->image) {
        raise("cannot read the image " + path);
    }
    photo->path = path;
    return photo;
}

std::shared_ptr<Photo> photoFromArray(const py::array& input) {
    if (input.ndim() != 3 || (input.shape(2) != 3 && input.shape(2) != 4) ||
        !input.dtype().is(py::dtype::of<std::uint8_t>())) {
        raise("from_array takes an H x W x 3 or H x W x 4 array of uint8");
    }
    auto a = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>::ensure(input);
    const int h = int(a.shape(0)), w = int(a.shape(1)), channels = int(a.shape(2));
    if (h < 1 || w < 1) {
        raise("the array holds no pixels");
    }
    std::shared_ptr<Graphics::Bitmap> bitmap;
    {
        const std::uint8_t* source = a.data();
        py::gil_scoped_release released;
        bitmap = Graphics::Bitmap::create(w, h);
        if (bitmap) {
            // The engine's pixels are premultiplied; a fourth channel is taken as plain alpha.
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* in = source + std::size_t(y) * std::size_t(w) * std::size_t(channels);
                std::uint8_t* out = bitmap->mutableRow(y);
                for (int x = 0; x < w; ++x, in += channels, out += 4) {
                    const int alpha = channels == 4 ? in[3] : 255;
                    for (int c = 0; c < 3; ++c) {
                        out[c] = std::uint8_t((in[c] * alpha + 127) / 255);
                    }
                    out[3] = std::uint8_t(alpha);
                }
            }
        }
    }
    if (!bitmap) {
        raise("the array is over the pixel limit");
    }
    auto photo = std::make_shared<Photo>();
    photo->image = Graphics::BitmapImage::create(std::move(bitmap));
    return photo;
}

std::shared_ptr<Image> render(const Photo& photo, const Recipe& recipe, const std::string& resolutionName,
                              double scale) {
    auto resolution = RUXRenderResolutionNamed(resolutionName);
    if (!resolution) {
        raise("--resolution takes full, original, screen or thumbnail");
    }
    if (!(scale > 0 && scale <= 16)) {
        raise("--scale takes a positive number up to 16");
    }
    std::shared_ptr<const Graphics::BitmapImage> rendered;
    std::string error;
    {
        py::gil_scoped_release released;
        if (auto edit = editFor(recipe, photo.image, scale, error)) {
            rendered = edit->render(*resolution);
            if (!rendered) {
                error = "the edited picture could not be rendered";
            }
        }
    }
    if (!rendered) {
        raise(error);
    }
    auto image = std::make_shared<Image>();
    image->image = std::move(rendered);
    return image;
}

void save(const Image& image, const py::object& pathObject, const std::shared_ptr<Photo>& source, int quality,
          bool stripMetadata) {
    const std::string path = py::str(py::module_::import("os").attr("fspath")(pathObject));
    if (quality < 1 || quality > 100) {
        raise("--quality takes a whole number from 1 to 100");
    }
    std::string error;
    bool written = false;
    {
        py::gil_scoped_release released;
        RenderTool::SaveOptions options{quality, stripMetadata};
        if (source && !source->path.empty()) {
            // Exactly rux-render's writer, with the photo's file for the metadata.
            written = RenderTool::saveRenderedImage(*image.image, source->path, path, options, error);
        } else if (!Graphics::imageFileTypeForPath(path)) {
            error = "cannot write " + path + ": only .png, .jpg, .jpeg and .webp are written";
        } else {
            Graphics::PhotoOutputOptions output;
            output.quality = quality;
            if (source && source->bytes && !stripMetadata) {
                output.metadata =
                    Graphics::PhotoMetadata::createFromData(source->bytes->data(), source->bytes->size());
            }
            written = Graphics::writePhoto(*image.image->bitmap(), path, output);
            if (!written) {
                error = "cannot write " + path;
            }
        }
    }
    if (!written) {
        raise(error);
    }
}

std::string recipeJson(const Recipe& recipe, const std::shared_ptr<Photo>& photo, double scale) {
    if (recipe.flags.empty() && recipe.options.recipe) {
        return recipe.options.recipe->document();
    }
    std::string error;
    std::shared_ptr<const RUXRecipe> written;
    {
        py::gil_scoped_release released;
        if (auto edit = editFor(recipe, photo ? photo->image : nullptr, scale, error)) {
            written = edit->recipe();
            if (!written) {
                error = "the edits cannot be written as a recipe";
            }
        }
    }
    if (!written) {
        if (!photo && error == "could not render the picture to crop") {
            error += ": a crop given as an edit is placed on a photo; pass photo= to to_json";
        }
        raise(error);
    }
    return written->document();
}

std::vector<std::string> lookNames() {
    RUXImageEditorSampleConfiguration configuration;
    std::vector<std::string> names;
    auto nameOf = [&](const RUXClass& look) {
        names.push_back(configuration.nameForTransformation(*look.create()).value_or(look.name));
    };
    nameOf(RUXFilterIdentity::classDescriptor());
    for (const RUXClass* look : RUXOfferedLookClasses()) {
        nameOf(*look);
    }
    names.push_back(RUXFilterCustom::classDescriptor().name);
    return names;
}

} // namespace

PYBIND11_MODULE(ruximageeditor, m) {
    m.doc() = "Photos edited with RUXImageEditor's recipes: open, render, save, with NumPy views of the "
              "pixels. Every call that decodes, renders or encodes releases the GIL.";

    g_error =
        PyErr_NewExceptionWithDoc("ruximageeditor.Error",
                                  "A photo, recipe, value or file the editor cannot use; the message is "
                                  "the sentence the editor gives.",
                                  PyExc_Exception, nullptr);
    m.add_object("Error", py::handle(g_error));

    py::class_<Photo, std::shared_ptr<Photo>>(m, "Photo", "A decoded photo: colour-managed to sRGB, upright.")
        .def_property_readonly("width", &Photo::width, "Width in pixels, upright.")
        .def_property_readonly("height", &Photo::height, "Height in pixels, upright.")
        .def("__repr__", [](const Photo& p) {
            return "<ruximageeditor.Photo " + std::to_string(p.width()) + "x" + std::to_string(p.height()) +
                   ">";
        });

    py::class_<Image, std::shared_ptr<Image>>(
        m, "Image", py::buffer_protocol(),
        "A rendered picture. numpy.asarray(image) is an H x W x 4 uint8 "
        "view of its own bytes (RGBA, premultiplied by alpha), read-only, "
        "keeping the image alive.")
        .def_property_readonly("width", &Image::width, "Width in pixels.")
        .def_property_readonly("height", &Image::height, "Height in pixels.")
        .def_buffer([](Image& image) {
            const Graphics::Bitmap& bitmap = *image.image->bitmap();
            return py::buffer_info(
                const_cast<std::uint8_t*>(bitmap.data()), 1, py::format_descriptor<std::uint8_t>::format(), 3,
                {py::ssize_t(bitmap.height()), py::ssize_t(bitmap.width()), py::ssize_t(4)},
                {py::ssize_t(bitmap.bytesPerRow()), py::ssize_t(4), py::ssize_t(1)}, true);
        })
        .def("__repr__", [](const Image& i) {
            return "<ruximageeditor.Image " + std::to_string(i.width()) + "x" + std::to_string(i.height()) +
                   ">";
        });

    py::class_<Recipe, std::shared_ptr<Recipe>>(
        m, "Recipe",
        "Edits as rux-render applies them: a recipe document first, then edits in the order given.")
        .def_static(
            "load",
            [](const py::object& pathObject) {
                const std::string path = py::str(py::module_::import("os").attr("fspath")(pathObject));
                std::string error;
                auto read = RecipeFile::read(path, {}, error);
                if (!read) {
                    raise(error);
                }
                std::error_code ignored;
                const auto folder = std::filesystem::absolute(path, ignored).parent_path().string();
                return makeRecipe(read->document(), folder, {});
            },
            py::arg("path"), "The recipe in a JSON file (what rux-render --save-recipe writes).")
        .def_static(
            "from_json", [](const std::string& text) { return makeRecipe(text, "", {}); }, py::arg("text"),
            "The recipe of a JSON document.")
        .def_static(
            "from_edits", &recipeFromEdits,
            "Edits given as rux-render's flags, one keyword per flag with underscores, applied in the "
            "order given: rotate='cw' or ['cw', 'ccw'], flip='h', crop=(x, y, w, h), brightness=0.3, "
            "saturation=1.2, contrast=1.1, look='Vivid', look_file='warm.cube', "
            "focus_blur=(x, y[, scale]), circle_blur=(x, y).")
        .def("to_json", &recipeJson, py::arg("photo") = nullptr, py::arg("scale") = 2.0,
             "The recipe as a JSON document. A crop given as an edit is placed on a picture, so it needs the "
             "photo.")
        .def(py::pickle([](const Recipe& r) { return py::make_tuple(r.document, r.folder, r.flags); },
                        [](const py::tuple& state) {
                            if (py::len(state) != 3) {
                                raise("not a pickled recipe");
                            }
                            return makeRecipe(state[0].cast<std::string>(), state[1].cast<std::string>(),
                                              state[2].cast<std::vector<std::string>>());
                        }))
        .def("__repr__", [](const Recipe& r) {
            std::string words;
            for (const auto& f : r.flags) {
                words += " " + f;
            }
            return "<ruximageeditor.Recipe" + std::string(r.document.empty() ? "" : " document") + words +
                   ">";
        });

    m.def("open", &openPhoto, py::arg("path_or_bytes"),
          "Decodes a photo (PNG, JPEG, WebP, HEIC/HEIF, AVIF, camera raw) from a path or from bytes, as the "
          "editor's hosts do: colour-managed to sRGB and upright.");
    m.def("from_array", &photoFromArray, py::arg("array"),
          "A photo of an H x W x 3 or H x W x 4 uint8 array (RGB or RGBA with plain alpha).");
    m.def("render", &render, py::arg("photo"), py::arg("recipe"), py::arg("resolution") = "full",
          py::arg("scale") = 2.0,
          "The recipe applied to the photo and rendered at a resolution (original, full, screen, thumbnail) "
          "for "
          "a screen of the given scale, on the calling thread: the pixels rux-render writes.");
    m.def(
        "save", &save, py::arg("image"), py::arg("path"), py::arg("source") = nullptr,
        py::arg("quality") = 92, py::arg("strip_metadata") = false,
        "Writes the image as PNG, JPEG or WebP by the path's extension, atomically, with the source photo's "
        "Exif, XMP and IPTC unless strip_metadata: the bytes rux-render writes.");
    m.def("looks", &lookNames, "The looks' names, as look= takes them.");
    m.def(
        "set_threads",
        [](int n) {
            if (n < 0) {
                raise("set_threads takes 0 (every core) or more");
            }
            g_maxThreads = n;
        },
        py::arg("n"), "Caps the threads one render uses (the caller's included); 0: every core.");
}
