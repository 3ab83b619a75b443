# The build tree's copy of Resources/: share/RUXImageEditor/ holding the resource bundle
# (RUXImageEditor.bundle) and the code bundle's "circle" images, laid out as an install lays them out,
# so that a program or library in the build tree finds them by the same search as an installed one.
set(RUX_BUILD_RESOURCES_DIR ${PROJECT_BINARY_DIR}/share/RUXImageEditor)
file(GLOB_RECURSE rux_resource_files CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/Resources/RUXImageEditor.bundle/*
     ${PROJECT_SOURCE_DIR}/Resources/circle*.png)
if(NOT rux_resource_files)
    message(FATAL_ERROR "No resources under ${PROJECT_SOURCE_DIR}/Resources: the checkout is incomplete")
endif()
set(rux_resource_outputs)
foreach(source ${rux_resource_files})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/Resources ${source})
    set(output ${RUX_BUILD_RESOURCES_DIR}/${relative})
    add_custom_command(OUTPUT ${output} COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
                       DEPENDS ${source} VERBATIM)
    list(APPEND rux_resource_outputs ${output})
endforeach()
add_custom_target(RUXResources ALL DEPENDS ${rux_resource_outputs})
