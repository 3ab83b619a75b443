#!/usr/bin/env bash
# Builds everything and runs every test: the README's test command, and what CI runs.
# RUX_SANITIZERS=1 also builds and runs the whole suite under AddressSanitizer with
# UndefinedBehaviorSanitizer (preset asan) and under ThreadSanitizer (preset tsan).
# Each stage prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

stage() {
    local started=$SECONDS
    "$@"
    echo "-- $* took $((SECONDS - started)) s"
}

# compiler_launcher (ccache); prepare_tsan and tsan_runner.
source scripts/build-cache.sh
source scripts/tsan-runner.sh

run_preset() {
    local preset=$1 timeout=$2
    # Say every option, since the main job may have configured the same build directory. The test
    # suites, the libraries and the programs build a few files to a unit (RUX_UNITY_BUILD,
    # RUX_UNITY_LIBRARIES), which takes a third to a half off their compile time.
    cmake --preset "$preset" -DRUX_BUILD_TESTS=ON -DRUX_UNITY_BUILD=ON -DRUX_UNITY_LIBRARIES=ON \
        "${compiler_launcher[@]}" >/dev/null
    stage cmake --build --preset "$preset" -j "$jobs"
    case "$preset" in
    asan)
        stage env ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
            LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0" \
            UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
            ctest --preset "$preset" -j "$jobs" --timeout "$timeout"
        ;;
    tsan)
        # ThreadSanitizer only has to see the tests that run more than one thread; the slowest of
        # the others do not. The 20000 x 20000 photo is a test of limits: its 1.6 GB bitmap costs
        # several times that in shadow memory and minutes of CPU. The PNG ancillary-chunk test and
        # the shrink-on-load comparisons work through large pictures on the test's own thread; the
        # crop screen's reopening round trips play long gestures frame by frame (the crop screen's
        # other tests run here). All of them run in the release and the ASan + UBSan suites, and so
        # do the kill tests and the soak with faults, which are about processes dying and are not
        # built here. So do the round trips of every edit through every resolution and
        # turn, the full-size output's own pixels, the levelled crop at every resolution, the larger
        # look tables against their own, the blur's integer kernels and rux-render's pictures of single
        # photos (one of them against the editor's own session): they check pixels through the
        # renderer's threads, which many shorter tests here run too (the batches' worker processes
        # among them).
        # The suites run in shards (a process runs a share of a suite's tests), so GoogleTest's own
        # filter leaves those tests out.
        prepare_tsan
        local pixel_heavy='ToneAndSharpenEdits.RecipesRoundTripAtEveryResolutionAndTurn:ToneAndSharpenEdits.APreviewSharpensAsSaveDoesAtItsSize:Straighten.RecipeHoldsAtEveryResolutionAndTurn:Edits/CurveAndVignetteRecipe.RoundTripsAtEveryResolutionAndTurn/*:PipelineRender.GivesTheEditorsBytesAtEveryResolutionAndScale:EditManager.OriginalOutputIsThePhotosOwnPixelsUpright:Straighten.CropIsFramedInTheLevelledPictureAtEveryResolution:CubeLook.LargerTablesMatchTheirOwnTable:CircleBlur.ConvolutionGivesTheIntegerKernelsPixelsExactly:EditorHost.AScriptedSessionSavesWhatRuxRenderMakesOfTheSameEdits:RenderTool.*:Edits/RenderToolPicture.*'
        stage env TSAN_OPTIONS="$tsan_options" \
            GTEST_FILTER="-PixelLimit.*:DecoderHardening.AncillaryPngChunksAreBounded:EditManager/ShrinkOnLoad.*:Turns/CropRoundTrip.*:$pixel_heavy" \
            "${tsan_runner[@]}" ctest --preset "$preset" -j "$jobs" --timeout "$timeout"
        ;;
    *)
        stage ctest --preset "$preset" -j "$jobs" --timeout "$timeout"
        ;;
    esac
}

run_preset release 600
# The library as a host gets it: installed (static and shared), and the example hosts built against it.
stage bash scripts/check-install.sh
# The engine's kernels cross-compiled for arm64 and tested under qemu-user (NEON and SVE).
stage bash scripts/check-arm64.sh
if [ "${RUX_SANITIZERS:-0}" = 1 ]; then
    run_preset asan 900
    run_preset tsan 900
fi
