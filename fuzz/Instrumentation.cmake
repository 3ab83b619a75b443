# Included before any library is added, so that everything the fuzzers reach is built with
# coverage feedback and the sanitizers. libFuzzer comes with clang only.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "RUX_BUILD_FUZZERS needs clang (configure with CC=clang CXX=clang++)")
endif()
if(RUX_SANITIZE_ADDRESS OR RUX_SANITIZE_THREAD)
    message(FATAL_ERROR "RUX_BUILD_FUZZERS brings its own sanitizers; turn the others off")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
