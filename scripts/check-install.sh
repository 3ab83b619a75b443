#!/usr/bin/env bash
# Installs the project to temporary prefixes, once with static and once with shared libraries, and
# builds and runs the two example hosts under examples/ against each install, through the CMake
# package and (for the batch example) through pkg-config, as a host project outside the tree would.
# Also checks that nothing installed points back into the source or build tree and that the installed
# rux-render and rux-editor run from PREFIX/bin, and runs the Python module's checks against the static
# install (scripts/check-python.sh). Called by scripts/test.sh after the release suite;
# expects build/release to be built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
# compiler_launcher: the shared build below reuses the release build's objects through ccache.
source scripts/build-cache.sh
work=$(mktemp -d /tmp/rux-install-check.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A small synthetic photo (a gradient), written with Python's standard library only.
python3 - "$work/photo.png" <<'PY'
import struct, sys, zlib
w, h = 96, 64
rows = b"".join(b"\0" + bytes(v for x in range(w) for v in (x * 255 // w, y * 255 // h, 128)) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY

check_prefix() {
    local kind=$1 prefix=$2
    echo "-- $kind install: $prefix"
    # Nothing the package hands a host may name the source or build tree.
    if grep -rIl -e "$root" "$prefix/lib/cmake" "$prefix/lib/pkgconfig" "$prefix/include" "$prefix/share"; then
        echo "error: the $kind install refers to $root" >&2
        return 1
    fi
    if [ -d "$prefix/include/RUXImageEditor/Toolkit/src" ] || find "$prefix/include" -path '*/src/*' | grep -q .; then
        echo "error: private headers were installed" >&2
        return 1
    fi

    # The examples, copied out of the tree, each a CMake project of its own.
    local examples=$work/$kind-examples
    cp -r examples "$examples"
    for example in apply-look window-host; do
        cmake -S "$examples/$example" -B "$examples/$example/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
        cmake --build "$examples/$example/build" -j "$jobs" >/dev/null
    done
    "$examples/apply-look/build/apply-look" "$work/photo.png" March "$work/$kind-vivid.png"
    "$examples/window-host/build/editor-window-host" --headless "$work/photo.png" "$work/$kind-saved.png"

    # The same batch host through pkg-config alone.
    local pc_flags=(--cflags --libs)
    [ "$kind" = static ] && pc_flags=(--static --cflags --libs)
    local resources
    resources=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --variable=resourcedir ruximageeditor-core)
    # shellcheck disable=SC2046
    g++ -O1 -o "$work/$kind-apply-look-pc" examples/apply-look/main.cpp \
        -DRUX_IMAGE_EDITOR_RESOURCE_DIR="\"$resources\"" \
        $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config "${pc_flags[@]}" ruximageeditor-core) \
        -Wl,-rpath,"$prefix/lib"
    "$work/$kind-apply-look-pc" "$work/photo.png" RUXFilterVivid "$work/$kind-vivid-pc.png"
    cmp "$work/$kind-vivid.png" "$work/$kind-vivid-pc.png"

    # The installed programs, from PREFIX/bin, with the resources of the install.
    "$prefix/bin/rux-render" "$work/photo.png" "$work/$kind-original.png" --look Original
    "$prefix/bin/rux-render" "$work/photo.png" "$work/$kind-render-vivid.png" --look RUXFilterVivid
    if cmp -s "$work/$kind-original.png" "$work/$kind-render-vivid.png"; then
        echo "error: the installed rux-render found no looks (the resources were not found)" >&2
        return 1
    fi
    printf 'idle\ntap 345 18\nidle\n' >"$work/save.txt"
    "$prefix/bin/rux-editor" --headless --script "$work/save.txt" --save "$work/$kind-editor.png" "$work/photo.png"
    test -s "$work/$kind-editor.png"
}

# A host that builds the editor beside itself (add_subdirectory): it configures from another project's
# top level, with the editor's tests, benchmarks and tools off by default.
mkdir -p "$work/subdirectory"
cat >"$work/subdirectory/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(SubdirectoryHost LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
add_subdirectory("$root" rux)
add_executable(apply-look "$root/examples/apply-look/main.cpp")
target_link_libraries(apply-look PRIVATE RUXImageEditor::Core)
foreach(target RUXImageEditor::Core RUXImageEditor::Editor RUXImageEditor::HeadlessHost)
    if(NOT TARGET \${target})
        message(FATAL_ERROR "\${target} is missing")
    endif()
endforeach()
if(RUX_BUILD_TESTS OR RUX_BUILD_BENCHMARKS OR RUX_BUILD_TOOLS OR RUX_PYTHON)
    message(FATAL_ERROR "a subproject builds its tests, benchmarks, tools or Python module by default")
endif()
CMAKE
cmake -S "$work/subdirectory" -B "$work/subdirectory/build" -G Ninja >/dev/null

# Static: the release build's libraries.
cmake --install build/release --prefix "$work/static" >/dev/null
check_prefix static "$work/static"
# The Python module from the same install: its tests and the Dask example.
bash scripts/check-python.sh "$work/static"

# Shared: the libraries and programs alone, in a build of their own, compiled as the release build
# compiled them (a unit per file or a few files to a unit) so that the compiler cache has them.
unity=$(sed -n 's/^RUX_UNITY_LIBRARIES:BOOL=//p' build/release/CMakeCache.txt)
cmake -S . -B build/shared -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DRUX_BUILD_TESTS=OFF \
    -DRUX_BUILD_BENCHMARKS=OFF -DRUX_BUILD_TOOLS=OFF -DRUX_PYTHON=OFF -DRUX_UNITY_LIBRARIES="${unity:-OFF}" \
    "${compiler_launcher[@]}" >/dev/null
cmake --build build/shared -j "$jobs"
cmake --install build/shared --prefix "$work/shared" >/dev/null
if ! objdump -p "$work/shared/lib/libRUXImageEditorCore.so" | grep -q 'SONAME.*libRUXImageEditorCore\.so\.'; then
    echo "error: the shared core library has no versioned SONAME" >&2
    exit 1
fi
check_prefix shared "$work/shared"

# The Debian package has the same layout under /usr.
(cd build/shared && cpack -G DEB >/dev/null)
deb=$(ls build/shared/ruximageeditor_*.deb)
dpkg-deb -c "$deb" | grep './usr/lib/cmake/RUXImageEditor/RUXImageEditorConfig.cmake' >/dev/null
echo "-- install check passed (static and shared; $(basename "$deb"))"
