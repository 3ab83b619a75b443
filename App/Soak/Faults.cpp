#include "Faults.h"

#include <Editor/EditorHost.h>
#include <Editor/EditorInput.h>
#include <Editor/EditorJournal.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace RuxSoak {

namespace {

// Larger than this, full/ would take too long to fill for a fault that comes every few dozen touches.
constexpr unsigned long long kMaxFullBytes = 64ull << 20;

std::string readAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool writeAll(const fs::path& path, const std::string& text) {
    return Graphics::writeFileAtomically(path.string(), std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::set<std::string> namesIn(const fs::path& directory) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string documentOf(const RUXEditManager& manager) {
    auto recipe = manager.recipe();
    return recipe ? recipe->document() : std::string();
}

// Fills the file system of path's folder to the last byte; answers whether it is full.
bool fill(const fs::path& filler) {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::vector<char> zeros(1 << 16, 0);
    for (std::size_t chunk = zeros.size(); chunk > 0;) {
        if (::write(fd, zeros.data(), chunk) < 0) {
            if (errno != ENOSPC) {
                break;
            }
            chunk /= 2;
        }
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

} // namespace

bool Faults::canMakeFaults(const std::string& directory, std::string& problem) {
    struct statvfs full {};
    struct statvfs readOnly {};
    struct stat folder {};
    struct stat fullFolder {};
    const fs::path base(directory);
    if (::statvfs((base / "full").c_str(), &full) != 0 || ::stat(base.c_str(), &folder) != 0 ||
        ::stat((base / "full").c_str(), &fullFolder) != 0 || fullFolder.st_dev == folder.st_dev ||
        (full.f_flag & ST_RDONLY) || full.f_blocks * full.f_frsize > kMaxFullBytes) {
        problem = "the full-disk fault cannot be made: " + (base / "full").string() +
                  " is not a small writable file system of its own (a tmpfs mount needs mount rights)";
        return false;
    }
    const fs::path probe = base / "readonly" / "probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    if (::statvfs((base / "readonly").c_str(), &readOnly) != 0 || !(readOnly.f_flag & ST_RDONLY) || fd >= 0) {
        problem =
            "the read-only fault cannot be made: " + (base / "readonly").string() +
            " accepts writes (a read-only bind mount needs mount rights; permission bits do not stop root)";
        return false;
    }
    return true;
}

Faults::Faults(std::string directory, std::string journalKey, long reopenEvery)
    : m_directory(std::move(directory)), m_journalKey(std::move(journalKey)), m_reopenEvery(reopenEvery) {
    std::istringstream state(readAll(fs::path(m_directory) / "run-state"));
    long step = 0;
    if (state >> step >> m_counts.fullDisk >> m_counts.readOnly >> m_counts.vanished >> m_counts.reopened >>
        m_counts.lost) {
        m_firstStep = step + 1;
    }
}

std::string Faults::open(RUXMainViewController& editor, HistoryModel& history) {
    RUXEditManager& manager = *editor.editManager();
    m_journal = RUXRecipeJournal::create((fs::path(m_directory) / "state").string(), m_journalKey);
    if (!m_journal) {
        return "no journal can be kept";
    }
    const fs::path expectedPath = fs::path(m_directory) / "expected.recipe.json";
    if (m_firstStep > 1) {
        const RUXTransformationList before = manager.transformations();
        bool setAside = false;
        auto recipe = m_journal->readBack(nullptr, &setAside);
        if (!recipe || setAside) {
            ++m_counts.lost;
            return "the killed run's journal could not be read back";
        }
        if (!recipe->transformations().empty()) {
            if (!manager.commitTransformations(
                    EditorHost::withStripLooks(editor, recipe->transformations()))) {
                return "the killed run's list could not be committed";
            }
            history.startWithRestoredStep(before, manager.transformations());
        }
        ++m_counts.reopened;
        if (documentOf(manager) != readAll(expectedPath)) {
            ++m_counts.lost;
            return "the reopened photo's list is not the one the killed run had committed";
        }
    }
    RUXRecipeJournal::follow(m_journal, manager);
    return "";
}

std::string Faults::saveRefused(const char* folder, long& count, RUXEditManager& manager,
                                RUXImageRenderer& renderer) {
    const fs::path directory = fs::path(m_directory) / folder;
    const std::set<std::string> before = namesIn(directory);
    const RUXTransformationList list = manager.transformations();
    std::shared_ptr<const Graphics::BitmapImage> picture = renderer.renderedImage(manager.resultantImage());
    if (!picture) {
        return "the picture to save could not be rendered";
    }
    const fs::path target = directory / "saved.jpg";
    if (EditorHost::writeEditedImage(*picture, target.string(), "", false)) {
        ++m_counts.lost;
        return std::string("a save into ") + folder + "/ succeeded where it could not";
    }
    ++count;
    if (namesIn(directory) != before) {
        ++m_counts.lost;
        return std::string("a refused save left a file in ") + folder + "/";
    }
    if (manager.transformations() != list) {
        ++m_counts.lost;
        return "a refused save changed the edits";
    }
    return "";
}

std::string Faults::vanishingPhoto(RUXEditManager& manager, Toolkit::Application& application) {
    const fs::path photos = fs::path(m_directory) / "photos";
    std::error_code error;
    fs::create_directories(photos, error);
    const fs::path path = photos / "vanishing.png";
    auto bitmap = Graphics::Bitmap::create(64, 48);
    if (!bitmap || !Graphics::writeImageFile(*bitmap, path.string())) {
        return "the photo to drop could not be written";
    }
    const RUXTransformationList list = manager.transformations();
    const auto root = application.rootViewController();
    // Dropped, then gone before the editor opens it.
    fs::remove(path, error);
    auto delegate = std::make_shared<EditorHost::SavingDelegate>(path.string(), std::nullopt);
    if (EditorHost::openDroppedPhoto(application, delegate, path.string())) {
        ++m_counts.lost;
        return "a photo that had vanished was opened";
    }
    ++m_counts.vanished;
    const auto rootAfter = application.rootViewController();
    if (rootAfter != root || manager.transformations() != list) {
        ++m_counts.lost;
        return "a photo that vanished before it was opened changed the editor";
    }
    return "";
}

std::string Faults::inject(RUXEditManager& manager, RUXImageRenderer& renderer,
                           Toolkit::Application& application) {
    switch (m_next++ % 3) {
    case 0: {
        const fs::path filler = fs::path(m_directory) / "full" / "filler";
        if (!fill(filler)) {
            return "full/ did not fill up";
        }
        std::string problem = saveRefused("full", m_counts.fullDisk, manager, renderer);
        std::error_code ignored;
        fs::remove(filler, ignored);
        return problem;
    }
    case 1:
        return saveRefused("readonly", m_counts.readOnly, manager, renderer);
    default:
        return vanishingPhoto(manager, application);
    }
}

void Faults::killAndReopen(long step, RUXEditManager& manager) {
    // What a kill may take is what was not yet on the disk; once the journal has it, nothing may go.
    if (!m_journal->flush()) {
        std::fprintf(stderr, "rux-soak: the journal could not be written before the kill\n");
        std::_Exit(1);
    }
    std::ostringstream state;
    state << step << ' ' << m_counts.fullDisk << ' ' << m_counts.readOnly << ' ' << m_counts.vanished << ' '
          << m_counts.reopened << ' ' << m_counts.lost << '\n';
    if (!writeAll(fs::path(m_directory) / "expected.recipe.json", documentOf(manager)) ||
        !writeAll(fs::path(m_directory) / "run-state", state.str())) {
        std::fprintf(stderr, "rux-soak: the run's state could not be written before the kill\n");
        std::_Exit(1);
    }
    std::printf("rux-soak: killed after step %ld; the next process reopens the photo\n", step);
    std::fflush(stdout);
    ::kill(::getpid(), SIGKILL);
    std::_Exit(1);
}

bool Faults::printReport() const {
    std::printf(
        "faults: full disk %ld, read-only folder %ld, vanished photo %ld, kill and reopen %ld; lost %ld\n",
        m_counts.fullDisk, m_counts.readOnly, m_counts.vanished, m_counts.reopened, m_counts.lost);
    return m_counts.lost == 0;
}

void Faults::finish() {
    std::error_code ignored;
    fs::remove(fs::path(m_directory) / "run-state", ignored);
    fs::remove(fs::path(m_directory) / "expected.recipe.json", ignored);
    if (m_journal) {
        m_journal->remove();
    }
}

} // namespace RuxSoak
