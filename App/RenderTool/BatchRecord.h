#pragma once

// What lets a batch be stopped at any moment and taken up again: temporary files named after the
// shard that writes them, a per-photo report, and the list of photos read from a file.

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace RenderTool {

// The tag of the temporary files shard index/count writes its pictures through ("rux-shard-I-of-N";
// an unsharded batch is shard 0 of 1). Shards sharing an output folder never share a tag.
std::string temporaryTagForShard(int index, int count);

// Removes the temporary files a killed run with this tag left in directory (NAME.TAG.XXXXXX) and
// answers how many there were. Another tag's files, live or not, are left alone. Any thread.
std::size_t removeTemporaryFiles(const std::string& directory, const std::string& tag);

// The photos listed in a manifest: one path per line, blank lines skipped, a trailing carriage
// return dropped. False with one sentence in error when the file cannot be read.
bool readManifest(const std::string& path, std::vector<std::string>& inputs, std::string& error);

// One JSON line per photo, appended to a file as each photo ends, so that a report outlives a kill
// whole up to its last line:
//   {"input": "a.jpg", "output": "out/a.jpg", "status": "written", "milliseconds": 812.5, "error": ""}
// status is "written", "skipped" (its picture was already there, with --resume) or "failed". Safe
// for the batch threads.
class BatchReportFile {
public:
    // An empty path keeps no report. open() answers false with one sentence in error.
    bool open(const std::string& path, std::string& error);
    ~BatchReportFile();

    void add(const std::string& input, const std::string& output, const char* status, double milliseconds,
             const std::string& error);

private:
    std::mutex m_mutex;
    int m_fd = -1; // guarded by m_mutex
};

} // namespace RenderTool
