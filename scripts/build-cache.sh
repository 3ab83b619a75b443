# Sourced by the scripts that build: compiles through ccache, with a cache inside the build folder,
# so that a build of the same sources with the same flags in another build directory reuses the
# objects. The install check's shared build is the release build's library code again (the static
# libraries are position-independent and export the same symbols), and rebuilding after a small
# change stays short. Sets compiler_launcher to the configure options that say so.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_DIR="${CCACHE_DIR:-$PWD/build/ccache}"
compiler_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
