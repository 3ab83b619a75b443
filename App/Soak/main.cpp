// rux-soak: thousands of random touches over the editor on the headless host, most of them
// arriving while the previous touch's renders are still running on the pool. After every touch
// event the edit list and the undo history are checked; resident memory is reported at the start,
// after the warm-up and at the end. Exit status: 0 when every check held, 1 on the first broken
// one (one line on stderr saying what and where), 2 for bad arguments.
#include "Soak.h"

#include <Foundation/Dispatch.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/HeadlessHost.h>
#include <cstdio>
#include <string>

namespace {

using RuxSoak::kExitFailure;
using RuxSoak::Options;

constexpr int kExitUsage = ExitStatus::kUsage;

const char* const kUsage =
    "usage: rux-soak [--seed N] [--touches N] [--photo FILE | --size WxH] [--scale S] [--idle-every N]\n"
    "                [--trace] [--faults DIR [--fault-every N] [--reopen-every N]]\n"
    "  Plays N random touches (default 5000) over every screen of the editor on the headless host\n"
    "  (375 x 667 points at scale S, default 2), on PHOTO or a synthetic photo of W x H pixels\n"
    "  (default 1536 x 1024). Most touches arrive while earlier renders are still running; about\n"
    "  one in N (default 40) waits until everything has settled. The edit list and the undo\n"
    "  history are checked after every touch event. --trace prints a line per touch.\n"
    "  --faults DIR (prepared by scripts/soak-faults.sh) adds faults: about one touch in N (default\n"
    "  25) on the main screen saves into a full disk or a read-only folder, or drops a photo that\n"
    "  vanishes before it opens; every N touches (default 300) the process kills itself once its\n"
    "  journal is written, and the next run with the same arguments reopens the photo and goes on.\n"
    "  Exit status: 0 every check held, 1 a check failed, 2 bad arguments.\n";

// ---- The photo ----

// Smooth gradients with hard-edged bands and a disc, so that every edit (and every crop and turn)
// changes the picture visibly.
std::shared_ptr<Graphics::BitmapImage> makeSyntheticPhoto(int width, int height) {
    auto bitmap = Graphics::Bitmap::create(width, height);
    if (!bitmap) {
        return nullptr;
    }
    const double cx = width * 0.62, cy = height * 0.4, radius = std::min(width, height) * 0.22;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const bool disc = dx * dx + dy * dy < radius * radius;
            const bool band = ((x / 96) + (y / 64)) % 5 == 0;
            std::uint8_t* p = row + 4 * x;
            p[0] = std::uint8_t(disc ? 240 : (x * 255) / std::max(1, width - 1));
            p[1] = std::uint8_t(disc ? 200 : (y * 255) / std::max(1, height - 1));
            p[2] = std::uint8_t(band ? 30 : 160 + (x + y) % 64);
            p[3] = 255;
        }
    }
    return Graphics::BitmapImage::create(std::move(bitmap), 1.0);
}

// ---- Arguments ----

int usage(const std::string& problem) {
    std::fprintf(stderr, "rux-soak: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

bool parse(int argc, char** argv, Options& options, std::string& problem, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (arg == "--trace") {
            options.trace = true;
            continue;
        }
        if (!hasValue) {
            problem = "unknown or incomplete option " + arg;
            return false;
        }
        const std::string value = argv[++i];
        char extra = 0;
        if (arg == "--seed") {
            unsigned long long seed = 0;
            if (std::sscanf(value.c_str(), "%llu%c", &seed, &extra) != 1) {
                problem = "bad value for --seed";
                return false;
            }
            options.seed = seed;
        } else if (arg == "--touches") {
            if (std::sscanf(value.c_str(), "%ld%c", &options.touches, &extra) != 1 || options.touches < 1) {
                problem = "bad value for --touches";
                return false;
            }
        } else if (arg == "--faults") {
            options.faultsDirectory = value;
        } else if (arg == "--fault-every") {
            if (std::sscanf(value.c_str(), "%d%c", &options.faultEvery, &extra) != 1 ||
                options.faultEvery < 1) {
                problem = "bad value for --fault-every";
                return false;
            }
        } else if (arg == "--reopen-every") {
            if (std::sscanf(value.c_str(), "%ld%c", &options.reopenEvery, &extra) != 1 ||
                options.reopenEvery < 0) {
                problem = "bad value for --reopen-every";
                return false;
            }
        } else if (arg == "--photo") {
            options.photoPath = value;
        } else if (arg == "--size") {
            if (std::sscanf(value.c_str(), "%dx%d%c", &options.photoWidth, &options.photoHeight, &extra) !=
                    2 ||
                options.photoWidth < 1 || options.photoHeight < 1 || options.photoWidth > 8192 ||
                options.photoHeight > 8192) {
                problem = "bad value for --size";
                return false;
            }
        } else if (arg == "--scale") {
            if (std::sscanf(value.c_str(), "%lf%c", &options.scale, &extra) != 1 ||
                !(options.scale > 0 && options.scale <= 4)) {
                problem = "bad value for --scale";
                return false;
            }
        } else if (arg == "--idle-every") {
            if (std::sscanf(value.c_str(), "%d%c", &options.idleEvery, &extra) != 1 ||
                options.idleEvery < 0) {
                problem = "bad value for --idle-every";
                return false;
            }
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    bool help = false;
    if (!parse(argc, argv, options, problem, help)) {
        return usage(problem);
    }
    if (help) {
        std::printf("%s", kUsage);
        return 0;
    }

    std::string faultProblem;
    if (!options.faultsDirectory.empty() &&
        !RuxSoak::Faults::canMakeFaults(options.faultsDirectory, faultProblem)) {
        std::fprintf(stderr, "rux-soak: %s\n", faultProblem.c_str());
        return kExitFailure;
    }
    std::unique_ptr<Hosts::HeadlessHost> host =
        Hosts::HeadlessHost::create(Hosts::HeadlessHost::defaultPointSize, options.scale);
    if (!host) {
        return kExitFailure;
    }
    std::shared_ptr<const Graphics::BitmapImage> photo =
        options.photoPath.empty() ? makeSyntheticPhoto(options.photoWidth, options.photoHeight)
                                  : Graphics::BitmapImage::createFromFile(options.photoPath);
    if (!photo) {
        std::fprintf(stderr, "rux-soak: cannot open the photo %s\n",
                     options.photoPath.empty() ? "(synthetic)" : options.photoPath.c_str());
        return kExitFailure;
    }
    std::printf("rux-soak: seed %llu, %ld touches, photo %s (%g x %g), scale %g, %zu pool threads\n",
                static_cast<unsigned long long>(options.seed), options.touches,
                options.photoPath.empty() ? "synthetic" : options.photoPath.c_str(), photo->size().width,
                photo->size().height, options.scale, Foundation::globalQueueThreadCount());
    int status = 0;
    {
        RuxSoak::Soak soak(options, std::move(host), std::move(photo));
        status = soak.run();
    }
    return status;
}
