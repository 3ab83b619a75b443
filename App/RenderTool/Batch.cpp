#include "Batch.h"

#include "BatchRecord.h"

#include <Common/ExitStatus.h>
#include <Graphics/ImageFile.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

namespace RenderTool {

std::optional<std::pair<int, int>> parseShard(const std::string& text) {
    int index = 0, count = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%d/%d%c", &index, &count, &extra) != 2 || count < 1 || index < 0 ||
        index >= count) {
        return std::nullopt;
    }
    return std::pair{index, count};
}

std::vector<std::string> shardOf(std::vector<std::string> inputs, int index, int count) {
    std::sort(inputs.begin(), inputs.end());
    std::vector<std::string> share;
    for (std::size_t i = std::size_t(index); i < inputs.size(); i += std::size_t(count)) {
        share.push_back(inputs[i]);
    }
    return share;
}

std::string outputPathFor(const std::string& input, const std::string& directory, const std::string& format) {
    std::filesystem::path name = std::filesystem::path(input).filename();
    if (!format.empty()) {
        name.replace_extension("." + format);
    } else if (!Graphics::imageFileTypeForPath(name.string())) {
        // A raw, HEIC or AVIF photo is read but not written: its picture goes out as JPEG.
        name.replace_extension(".jpg");
    }
    return (std::filesystem::path(directory) / name).string();
}

namespace {

// Progress and failures, shared by the batch threads; every field is guarded by m_mutex.
class Report {
public:
    Report(std::size_t total) : m_total(total), m_terminal(::isatty(STDERR_FILENO)) {}

    void failed(const std::string& input, const std::string& why) {
        std::lock_guard lock(m_mutex);
        clearLine();
        std::fprintf(stderr, "rux-render: %s: %s\n", input.c_str(), why.c_str());
        ++m_failed;
        finishOneLocked();
    }
    void written() {
        std::lock_guard lock(m_mutex);
        finishOneLocked();
    }
    std::size_t failures() const {
        std::lock_guard lock(m_mutex);
        return m_failed;
    }
    void end() {
        std::lock_guard lock(m_mutex);
        if (m_terminal && m_lineShown) {
            std::fputc('\n', stderr);
        }
    }

private:
    void clearLine() {
        if (m_terminal && m_lineShown) {
            std::fputs("\r\033[K", stderr);
        }
    }
    void finishOneLocked() {
        ++m_done;
        if (!m_terminal) {
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const double rate = seconds > 0 ? double(m_done) / seconds : 0;
        const double left = rate > 0 ? double(m_total - m_done) / rate : 0;
        std::fprintf(stderr, "\r\033[K%zu/%zu  %.2f photos/s  %d:%02d left", m_done, m_total, rate,
                     int(left) / 60, int(left) % 60);
        std::fflush(stderr);
        m_lineShown = true;
    }

    mutable std::mutex m_mutex;
    const std::size_t m_total;
    const bool m_terminal;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::size_t m_done = 0;
    std::size_t m_failed = 0;
    bool m_lineShown = false;
};

} // namespace

int runBatch(const BatchOptions& options, const RenderPhoto& render, const SaveImage& save) {
    const std::vector<std::string>& inputs = options.inputs;
    BatchReportFile reportFile;
    std::string reportError;
    if (!reportFile.open(options.reportPath, reportError)) {
        std::fprintf(stderr, "rux-render: %s\n", reportError.c_str());
        return ExitStatus::kFailure;
    }
    if (options.resume && !options.temporaryTag.empty()) {
        removeTemporaryFiles(options.outputDirectory, options.temporaryTag);
    }
    Report report(inputs.size());

    // Refused before any work: a picture that would land on an input, or on another's picture.
    std::vector<std::string> outputs, refusal(inputs.size());
    std::set<std::filesystem::path> inputFiles;
    std::map<std::filesystem::path, std::size_t> firstWriter;
    for (const std::string& input : inputs) {
        std::error_code ignored;
        inputFiles.insert(std::filesystem::weakly_canonical(input, ignored));
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        outputs.push_back(outputPathFor(inputs[i], options.outputDirectory, options.format));
        std::error_code ignored;
        const auto file = std::filesystem::weakly_canonical(outputs[i], ignored);
        if (inputFiles.count(file)) {
            refusal[i] = "its picture would be written over an input (" + outputs[i] + ")";
        } else if (auto [it, inserted] = firstWriter.emplace(file, i); !inserted) {
            refusal[i] = "its picture " + outputs[i] + " is also that of " + inputs[it->second];
        }
    }

    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < inputs.size(); i = next++) {
            const std::string& input = inputs[i];
            const std::string& output = outputs[i];
            const auto started = std::chrono::steady_clock::now();
            auto milliseconds = [&] {
                return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                    .count();
            };
            // Every outcome goes to the report as well as to the progress.
            auto failed = [&](const std::string& why) {
                report.failed(input, why);
                reportFile.add(input, output, "failed", milliseconds(), why);
            };
            if (!refusal[i].empty()) {
                failed(refusal[i]);
                continue;
            }
            std::error_code absent;
            if (options.resume && std::filesystem::exists(output, absent)) {
                report.written();
                reportFile.add(input, output, "skipped", 0, "");
                continue;
            }
            std::shared_ptr<const Graphics::BitmapImage> photo = Graphics::BitmapImage::createFromFile(input);
            if (!photo) {
                failed("cannot read the image");
                continue;
            }
            std::string error;
            auto rendered = render(std::move(photo), error);
            if (!rendered) {
                failed(error.empty() ? "the edited picture could not be rendered" : error);
                continue;
            }
            if (!save(*rendered, input, output, error)) {
                failed(error);
                continue;
            }
            report.written();
            reportFile.add(input, output, "written", milliseconds(), "");
        }
    };

    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int jobs = std::max(1, std::min<int>(options.jobs > 0 ? options.jobs : cores, int(inputs.size())));
    std::vector<std::thread> threads;
    for (int j = 0; j < jobs; ++j) {
        threads.emplace_back(work);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    report.end();
    return report.failures() == 0 ? ExitStatus::kSuccess : ExitStatus::kFailure;
}

} // namespace RenderTool
