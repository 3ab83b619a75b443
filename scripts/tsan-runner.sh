# Sourced by the scripts that run programs under ThreadSanitizer; defines tsan_options, the
# TSAN_OPTIONS to run them with, and prepare_tsan, which sets the array tsan_runner to the command
# prefix such programs need here (empty when none).
tsan_options="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/tsan-suppressions.txt"
#
# gcc's ThreadSanitizer (Debian 12) maps its shadow memory at fixed addresses, which newer kernels
# with more address-space randomisation (vm.mmap_rnd_bits above 28) can collide with, so that every
# program dies at start ("unexpected memory mapping"). Probe once; if a trivial program fails, run
# without randomisation (setarch -R, inherited by every child process), and failing that lower the
# randomisation (needs root).
tsan_runner=()
prepare_tsan() {
    local probe
    probe=$(mktemp -d)
    printf '#include <thread>\nint main() { int x = 0; std::thread t([&] { x = 1; }); t.join(); return x - 1; }\n' \
        >"$probe/probe.cpp"
    g++ -std=c++20 -fsanitize=thread -pthread "$probe/probe.cpp" -o "$probe/probe"
    if "$probe/probe" >/dev/null 2>&1; then
        :
    elif setarch "$(uname -m)" -R "$probe/probe" >/dev/null 2>&1; then
        echo "ThreadSanitizer needs address randomisation off here: running under setarch -R"
        tsan_runner=(setarch "$(uname -m)" -R)
    elif [ "$(id -u)" -eq 0 ] && sysctl -w vm.mmap_rnd_bits=28 >/dev/null 2>&1 && "$probe/probe" >/dev/null 2>&1; then
        echo "ThreadSanitizer needs vm.mmap_rnd_bits=28 here: set"
    else
        echo "ThreadSanitizer cannot run on this kernel (see vm.mmap_rnd_bits)" >&2
        rm -rf "$probe"
        return 1
    fi
    rm -rf "$probe"
}
