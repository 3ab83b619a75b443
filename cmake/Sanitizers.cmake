# Extra compile flags for the editor's own code and its programs, the code above the engine and
# graphics layers: edit lists, recipes, screens, hosts. The sanitizer presets compile it unoptimised,
# which takes about a third off its build time there; the pixel work the tests spend their time in
# is the layers', which keep their own flags.
set(RUX_EDITOR_FLAGS "" CACHE STRING "Compile flags for the editor's own code and its programs")
separate_arguments(rux_editor_flags UNIX_COMMAND "${RUX_EDITOR_FLAGS}")

if(RUX_SANITIZE_ADDRESS AND RUX_SANITIZE_THREAD)
    message(FATAL_ERROR "AddressSanitizer and ThreadSanitizer cannot be combined")
endif()
if(RUX_SANITIZE_ADDRESS)
    # float-cast-overflow is not part of "undefined" in gcc: a NaN or out-of-range double converted
    # to an integer is undefined, and on x86 quietly gives INT_MIN, so we ask for it by name.
    add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined,float-cast-overflow)
    add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()
if(RUX_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
