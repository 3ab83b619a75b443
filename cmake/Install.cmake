# What `cmake --install` lays down under the prefix:
#   lib/                          the libraries (static, or shared with a SONAME)
#   include/RUXImageEditor/       the public headers, included as <Manager/RUXEditManager.h>
#   share/RUXImageEditor/         the resource bundle and the code bundle's "circle" images
#   bin/                          rux-editor and rux-render
#   lib/cmake/RUXImageEditor/     the CMake package (RUXImageEditor::Core, ::Editor, ::HeadlessHost,
#                                 ::WindowHost and the layers they stand on)
#   lib/pkgconfig/                ruximageeditor-core.pc and ruximageeditor.pc
include(CMakePackageConfigHelpers)

set(RUX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/RUXImageEditor)
set(RUX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/RUXImageEditor)
set(RUX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/RUXImageEditor)

get_property(rux_targets GLOBAL PROPERTY RUX_INSTALLED_TARGETS)
install(TARGETS ${rux_targets} EXPORT RUXImageEditorTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

# The layers' public headers (their src/ folders stay behind).
get_property(rux_header_dirs GLOBAL PROPERTY RUX_INSTALLED_HEADER_DIRS)
foreach(dir ${rux_header_dirs})
    install(DIRECTORY ${dir}/ DESTINATION ${RUX_INSTALL_INCLUDEDIR} COMPONENT Development
            FILES_MATCHING PATTERN "*.h")
endforeach()
# The editor's headers: the core's folders whole, and of the screens only the main screen a host
# creates; the other screens are the editor's own business.
foreach(folder ${RUX_CORE_HEADER_FOLDERS})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/ DESTINATION ${RUX_INSTALL_INCLUDEDIR}/${folder}
            COMPONENT Development FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${RUX_EDITOR_PUBLIC_HEADERS} DESTINATION ${RUX_INSTALL_INCLUDEDIR}/View COMPONENT Development)
install(FILES ${PROJECT_BINARY_DIR}/include/generated/RUXImageEditor/Version.h
        DESTINATION ${RUX_INSTALL_INCLUDEDIR} COMPONENT Development)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/Resources/RUXImageEditor.bundle DESTINATION ${RUX_INSTALL_DATADIR}
        COMPONENT Runtime)
file(GLOB rux_circle_files ${PROJECT_SOURCE_DIR}/Resources/circle*.png)
install(FILES ${rux_circle_files} DESTINATION ${RUX_INSTALL_DATADIR} COMPONENT Runtime)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ruximageeditor
        COMPONENT Runtime)

if(RUX_BUILD_PROGRAMS)
    # An installed program finds shared libraries in the prefix's library folder, wherever the prefix is.
    file(RELATIVE_PATH rux_lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(rux-editor rux-render PROPERTIES INSTALL_RPATH "$ORIGIN/${rux_lib_from_bin}")
    install(TARGETS rux-editor rux-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endif()

# The CMake package.
install(EXPORT RUXImageEditorTargets NAMESPACE RUXImageEditor:: DESTINATION ${RUX_INSTALL_CMAKEDIR}
        COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RUXImageEditorConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/RUXImageEditorConfig.cmake
                              INSTALL_DESTINATION ${RUX_INSTALL_CMAKEDIR}
                              PATH_VARS RUX_INSTALL_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RUXImageEditorConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RUXImageEditorConfig.cmake
              ${PROJECT_BINARY_DIR}/RUXImageEditorConfigVersion.cmake
        DESTINATION ${RUX_INSTALL_CMAKEDIR} COMPONENT Development)

# pkg-config. Our libraries are listed in Libs in both kinds of build: a host calls into the layers
# (Graphics::BitmapImage, Foundation's run loop) directly, and the linker wants every library it
# calls named. The third-party ones are private: needed only for a static link (--static).
set(RUX_PC_CORE_LIBS "-lRUXImageEditorCore -lRUXImageEngine -lRUXGraphics -lRUXFoundation")
set(RUX_PC_CORE_REQUIRES_PRIVATE "libpng libjpeg libhwy lcms2 exiv2 libheif libraw_r libwebp libwebpdemux nettle")
set(RUX_PC_CORE_LIBS_PRIVATE "-pthread")
set(RUX_PC_EDITOR_LIBS "-lRUXImageEditor -lRUXToolkit")
set(RUX_PC_EDITOR_REQUIRES_PRIVATE "freetype2 fontconfig")
if(CMAKE_DL_LIBS)
    set(RUX_PC_CORE_LIBS_PRIVATE "-pthread -l${CMAKE_DL_LIBS}")
endif()
# Relative to the .pc file itself, so that an install moved to another prefix still answers right.
file(RELATIVE_PATH RUX_PC_PREFIX_FROM_PCDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" RUX_PC_PREFIX_FROM_PCDIR "${RUX_PC_PREFIX_FROM_PCDIR}")
foreach(pc ruximageeditor-core ruximageeditor)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT Development)
endforeach()

# cpack -G DEB: one package with the same layout under /usr.
set(CPACK_PACKAGE_NAME ruximageeditor)
set(CPACK_PACKAGE_VENDOR "RUXImageEditor")
set(CPACK_PACKAGE_CONTACT "RUXImageEditor maintainers <maintainers@ruximageeditor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpng-dev, libjpeg62-turbo-dev, libhwy-dev, liblcms2-dev, libexiv2-dev, libheif-dev, libraw-dev, libwebp-dev, nettle-dev, nlohmann-json3-dev, libfreetype-dev, libfontconfig-dev, libsdl2-dev")
include(CPack)
