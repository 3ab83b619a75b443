#pragma once

#include <Editor/EditorJournal.h>
#include <Editor/EditorRecipe.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/NavigationController.h>
#include <View/RUXMainViewController.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace EditorHost {

// The photo the editor opens when none is given (Debian's lomiri-wallpapers-16.04).
inline constexpr const char* kDefaultPhotoPath = "/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg";

// Where Save puts the edit of photoPath when no path was asked for: NAME-edited.jpg beside the
// photo, or NAME-edited-2.jpg, -3, … when that exists. The name is reserved by creating an empty
// file, so that two savers never pick the same one; the caller then replaces it atomically.
// std::nullopt (one log line) when no name could be reserved. Any thread.
std::optional<std::string> reserveEditedPath(const std::string& photoPath);

// Writes image to path atomically, encoded by the path's extension, keeping the metadata of the
// photo at photoPath (upright, without its preview). Refuses to write over the photo itself. False
// with one log line on failure. Any thread.
bool writeEditedImage(const Graphics::BitmapImage& image, const std::string& path,
                      const std::string& photoPath, bool keepMetadata = true);

// The host's delegate: Save writes the picture (to the chosen path, or beside the photo) and its
// recipe beside it (see recipePathForImage), and says where the picture went on stdout; a save that
// fails says so over the editor and leaves no file behind, and the editor stays open with its edits.
// Cancel runs onCancel. A successful save and Cancel (the back arrow) end the session: its journal,
// if it keeps one, is removed. Main thread.
class SavingDelegate : public RUXImageEditorViewControllerDelegate {
public:
    SavingDelegate(std::string photoPath, std::optional<std::string> savePath)
        : m_photoPath(std::move(photoPath)), m_savePath(std::move(savePath)) {}

    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController& editor, std::shared_ptr<const Graphics::BitmapImage> image) override;
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController& editor) override;

    std::function<void()> onCancel;
    // The photo whose edit Save writes from now on (a photo dropped on the window).
    void setPhotoPath(std::string photoPath) { m_photoPath = std::move(photoPath); }
    // The journal of the session shown now (nullptr for none), and how sessions of photos opened
    // later keep theirs.
    void setJournal(std::shared_ptr<RUXRecipeJournal> journal) { m_journal = std::move(journal); }
    const std::shared_ptr<RUXRecipeJournal>& journal() const { return m_journal; }
    void setJournalOptions(JournalOptions options) { m_journalOptions = std::move(options); }
    const JournalOptions& journalOptions() const { return m_journalOptions; }
    // Whether saves keep the photo's Exif, XMP and IPTC (default yes).
    void setKeepsMetadata(bool keeps) { m_keepsMetadata = keeps; }
    // Paths written, in order; and whether any save failed.
    const std::vector<std::string>& savedPaths() const { return m_savedPaths; }
    bool saveFailed() const { return m_saveFailed; }
    bool cancelled() const { return m_cancelled; }

private:
    std::string m_photoPath;
    std::optional<std::string> m_savePath;
    std::vector<std::string> m_savedPaths;
    bool m_saveFailed = false;
    bool m_cancelled = false;
    bool m_keepsMetadata = true;
    std::shared_ptr<RUXRecipeJournal> m_journal;
    JournalOptions m_journalOptions;
};

// The editor on photo with the sample configuration and delegate, inside a navigation
// controller, as a host application shows it. Main thread; the caller owns both.
struct Session {
    std::shared_ptr<Toolkit::NavigationController> navigation;
    std::shared_ptr<RUXMainViewController> editor;
};
Session makeSession(std::shared_ptr<const Graphics::BitmapImage> photo,
                    const std::shared_ptr<RUXImageEditorViewControllerDelegate>& delegate);

struct HeadlessOptions {
    std::string scriptPath;
    std::string screenshotDirectory; // empty: the working directory
    std::optional<std::string> savePath;
    std::string photoPath = kDefaultPhotoPath;
    // Pixels per point of the screen (and of the screenshots).
    double scale = Hosts::HeadlessHost::defaultScale;
    RecipeOptions recipe;
    bool keepMetadata = true;
    JournalOptions journal;
    // Print the time from startTime until the first picture is on the screen, and the peak resident
    // memory by then.
    bool timeFirstFrame = false;
    std::chrono::steady_clock::time_point startTime = std::chrono::steady_clock::now();
};

// Replays the script over the editor on the headless host (375 × 667 points) and
// answers the exit status: 0 when the script ran through (or Cancel ended it early), 1 when the
// photo, the script, a screenshot or a save failed (one line on stderr). Main thread.
int runHeadless(const HeadlessOptions& options);

} // namespace EditorHost
