#pragma once

#include <Foundation/Export.h>
#include <string>

// Where the editor's resources are: a folder holding the resource bundle ("RUXImageEditor.bundle":
// icons, lookup tables, overlays) and the code bundle's "circle" images. An install puts that folder at
// PREFIX/share/RUXImageEditor, and a build tree at BUILD/share/RUXImageEditor.
//
// The resource bundle is looked up in the host's main bundle (Foundation::Bundle::mainBundle()), the
// "circle" images in the code bundle (Foundation::Bundle::codeBundle()). When the host has set neither,
// both are searched for, in order: beside the running executable; in share/RUXImageEditor above the
// editor's own library file and above the executable, up to four folders up (PREFIX/lib,
// PREFIX/lib/<multiarch>, PREFIX/bin, a build tree's program folders); the folders added with
// RUXAddResourceSearchDirectory; and last the install folder the libraries were configured for. Found
// nowhere: one log line naming the places searched, and then the neutral results (a look that leaves
// the photo unchanged, a button without an icon, a circle blur that leaves the photo unchanged).

// Makes path (a folder laid out like share/RUXImageEditor) the one place both bundles are read from; an
// empty path restores the search. Any thread; call it before the editor is created.
RUX_API void RUXSetResourceDirectory(const std::string& path);

// Adds a folder (laid out like share/RUXImageEditor) to the end of the search; adding one twice keeps
// one. Any thread.
RUX_API void RUXAddResourceSearchDirectory(const std::string& path);

// The resource bundle's folder, or "" when there is none (logged once). Any thread.
RUX_API std::string RUXResourceBundlePath();

// The folder holding the code bundle's "circle" images, or "" when there is none (logged once). Any
// thread.
RUX_API std::string RUXCodeBundlePath();

// A host that links the static libraries lives outside the install, so nothing near its executable
// leads to the resources. The CMake package defines RUX_IMAGE_EDITOR_RESOURCE_DIR for its hosts as the
// install's share/RUXImageEditor, wherever the install was moved (and a pkg-config host may define it
// from `pkg-config --variable=resourcedir`); every host file that includes the editor's headers then
// adds it to the search before main runs.
#ifdef RUX_IMAGE_EDITOR_RESOURCE_DIR
namespace RUXResourceLocationDetail {
inline const bool installedResourceDirectoryAdded =
    (RUXAddResourceSearchDirectory(RUX_IMAGE_EDITOR_RESOURCE_DIR), true);
} // namespace RUXResourceLocationDetail
#endif
