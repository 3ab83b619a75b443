#include <Foundation/Log.h>
#include <Graphics/ImageFile.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipeJournal.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nettle/sha2.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kExtension = ".recipe.json";
constexpr const char* kSetAsideSuffix = ".unreadable";
// mkstemp's XXXXXX, as Graphics::writeFileAtomically names its temporary files.
constexpr std::size_t kTemporarySuffixLength = 7;

std::string hex(const std::uint8_t* digest, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(digits[digest[i] >> 4]);
        text.push_back(digits[digest[i] & 15]);
    }
    return text;
}

// The rename is only durable once the folder's entry is on the disk too.
void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string RUXRecipeJournal::defaultDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        return (std::filesystem::path(state) / "ruximageeditor").string();
    }
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
        return (std::filesystem::path(home) / ".local" / "state" / "ruximageeditor").string();
    }
    return {};
}

std::string RUXRecipeJournal::keyForBytes(const void* bytes, std::size_t size) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, size, static_cast<const std::uint8_t*>(bytes));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return hex(digest, SHA256_DIGEST_SIZE);
}

std::string RUXRecipeJournal::keyForFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Foundation::log("Journal: cannot read %s", path.c_str());
        return {};
    }
    sha256_ctx context;
    sha256_init(&context);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        sha256_update(&context, n, buffer.data());
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        Foundation::log("Journal: cannot read %s", path.c_str());
        return {};
    }
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return hex(digest, SHA256_DIGEST_SIZE);
}

std::shared_ptr<RUXRecipeJournal> RUXRecipeJournal::create(std::string directory, std::string key) {
    // The key becomes a file name: nothing but hex digits may reach the path.
    const bool hexKey = !key.empty() && key.size() <= 128 && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    if (directory.empty() || !hexKey) {
        Foundation::log("Journal: no journal without a folder and a photo's key");
        return nullptr;
    }
    std::string path = (std::filesystem::path(directory) / (key + kExtension)).string();
    return std::shared_ptr<RUXRecipeJournal>(new RUXRecipeJournal(std::move(directory), std::move(path)));
}

RUXRecipeJournal::RUXRecipeJournal(std::string directory, std::string path)
    : m_directory(std::move(directory)), m_path(std::move(path)) {}

RUXRecipeJournal::~RUXRecipeJournal() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
}

void RUXRecipeJournal::removeLeftovers() const {
    const std::string prefix = std::filesystem::path(m_path).filename().string() + ".";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + kTemporarySuffixLength - 1 && name.rfind(prefix, 0) == 0) {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

std::shared_ptr<const RUXRecipe> RUXRecipeJournal::readBack(const RUXRecipe::UserLookResolver& resolver,
                                                            bool* setAside) {
    if (setAside) {
        *setAside = false;
    }
    // A writer of this journal would race the read; wait for it.
    flush();
    removeLeftovers();
    std::error_code error;
    if (!std::filesystem::exists(m_path, error)) {
        return nullptr;
    }
    std::string problem;
    std::shared_ptr<const RUXRecipe> recipe;
    const auto size = std::filesystem::file_size(m_path, error);
    if (error || size > RUXRecipe::kMaxDocumentBytes) {
        problem = "it cannot be read";
    } else {
        std::ifstream file(m_path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        recipe = file ? RUXRecipe::createWithDocument(text.str(), resolver, problem) : nullptr;
        if (!file) {
            problem = "it cannot be read";
        }
    }
    if (recipe) {
        return recipe;
    }
    const std::string aside = m_path + kSetAsideSuffix;
    std::filesystem::rename(m_path, aside, error);
    Foundation::log("Journal: %s is set aside as %s (%s); the photo opens unedited", m_path.c_str(),
                    aside.c_str(), problem.c_str());
    if (setAside) {
        *setAside = true;
    }
    return nullptr;
}

void RUXRecipeJournal::record(const RUXRecipe& recipe) {
    std::string document = recipe.document();
    {
        std::lock_guard lock(m_mutex);
        if (m_pending) {
            ++m_settled; // superseded before it was written
        }
        m_pending = std::move(document);
        ++m_recorded;
        if (!m_writer.joinable()) {
            m_writer = std::thread([this] { writerLoop(); });
        }
    }
    m_changed.notify_all();
}

void RUXRecipeJournal::follow(const std::shared_ptr<RUXRecipeJournal>& journal, RUXEditManager& manager) {
    std::weak_ptr<RUXRecipeJournal> weak = journal;
    manager.setChangeObserver([weak](RUXEditManager& changed) {
        std::shared_ptr<RUXRecipeJournal> self = weak.lock();
        if (!self) {
            return;
        }
        if (std::shared_ptr<const RUXRecipe> recipe = changed.recipe()) {
            self->record(*recipe);
        } else {
            Foundation::log("Journal: this list cannot be written down; %s keeps the one before",
                            self->m_path.c_str());
        }
    });
}

void RUXRecipeJournal::writerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending) {
            return;
        }
        std::string document = std::move(*m_pending);
        m_pending.reset();
        m_writing = true;
        lock.unlock();
        const bool written = writeDocument(document);
        lock.lock();
        m_writing = false;
        ++m_settled;
        m_lastWriteSucceeded = written;
        ++(written ? m_writesCompleted : m_writesFailed);
        m_changed.notify_all();
    }
}

bool RUXRecipeJournal::writeDocument(const std::string& document) {
    std::error_code error;
    std::filesystem::create_directories(m_directory, error);
    if (!Graphics::writeFileAtomically(m_path, std::vector<std::uint8_t>(document.begin(), document.end()))) {
        return false;
    }
    syncDirectory(m_directory);
    return true;
}

bool RUXRecipeJournal::flush() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_settled == m_recorded && !m_writing; });
    return m_lastWriteSucceeded;
}

bool RUXRecipeJournal::remove() {
    std::unique_lock lock(m_mutex);
    if (m_pending) {
        m_pending.reset();
        ++m_settled;
        m_changed.notify_all();
    }
    // Held from here on, so no write can start between the wait and the removal.
    m_changed.wait(lock, [this] { return !m_writing; });
    std::error_code error;
    if (!std::filesystem::remove(m_path, error) && error) {
        Foundation::log("Journal: cannot remove %s", m_path.c_str());
        return false;
    }
    return true;
}

std::uint64_t RUXRecipeJournal::writesCompleted() const {
    std::lock_guard lock(m_mutex);
    return m_writesCompleted;
}

std::uint64_t RUXRecipeJournal::writesFailed() const {
    std::lock_guard lock(m_mutex);
    return m_writesFailed;
}
