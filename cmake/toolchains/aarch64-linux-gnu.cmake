# Cross-compiles for 64-bit Arm Linux with Debian's cross compiler (g++-aarch64-linux-gnu), against the
# arm64 builds of Debian's libraries (NAME:arm64, installed under /usr/lib/aarch64-linux-gnu), and runs
# what it builds under qemu-user: the tests through ctest, and GoogleTest's discovery of them.
# scripts/check-arm64.sh installs all of it and sets QEMU_CPU.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Package files are looked up under lib/aarch64-linux-gnu/ of the usual prefixes, never the host's.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

find_program(RUX_QEMU_AARCH64 qemu-aarch64 REQUIRED)
# The programs run with the arm64 packages' own loader and C library (libc6:arm64, which the arm64
# libraries bring), not with the cross compiler's older copy under /usr/aarch64-linux-gnu: qemu's -L
# would take that loader but still find the newer libc.so.6 in /usr/lib/aarch64-linux-gnu, and the
# mixed pair hangs in the first pthread_create.
set(CMAKE_CROSSCOMPILING_EMULATOR ${RUX_QEMU_AARCH64})
