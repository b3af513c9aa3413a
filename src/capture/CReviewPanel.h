// The Main pane's "Review" panel: thumbnails of the capture name's numbered pictures in the
// capture folder, newest first, kept in step with the folder; the picture large in the
// viewscreen with its colour histogram in the Info pane; ratings and rejects in XMP sidecars;
// pictures moved to the desktop's trash. A RAW+JPEG pair is one item, its JPEG's (ReviewCull).
// The folder's listing, the sidecars and the trash are worked on a Worker of the panel's own, one
// job after another; the strip takes a new listing by inserting and removing only the items that
// changed. Paths are the file system's bytes.
//
// Keys: Enter on the strip shows the selected picture large (so does a double-click); while the
// panel is shown, wherever the focus is in the window (a text field keeps its typing), Left and
// Right step, Esc returns to the live view, Z shows 100 % around the pointer (a click on the
// picture does too), 1-5 rate, 0 clears the rating, X rejects, H hides the rejects (ReviewCull),
// C compares two pictures side by side (ReviewCompare), Delete moves to the trash and Space asks
// for a capture. Ctrl and Shift with a click select several pictures: a rating or a Delete acts
// on all of them.
#pragma once

#include "picture/PictureList.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CViewDoc;
class LargeViewer;
class SavedPictureFeed;
class PictureLoader;
class ReviewCompare;
class ReviewCull;
namespace picture {
class RatingCache;
}
class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;
template <class Result>
class Worker;

class CReviewPanel : public QWidget {
    Q_OBJECT
public:
    // Thumbnails kept at once (128 x 96 each, about 48 KB): the ones furthest from sight go
    // first and are read again when scrolled back to.
    static constexpr int kCacheLimit = 400;
    // How often the sidecars of the listed pictures are looked at for another program's rating.
    static constexpr int kRatingCheckMs = 400;

    explicit CReviewPanel(CViewDoc* document, QWidget* parent = nullptr);
    ~CReviewPanel() override;

    // Lists the folder again, on the worker (the watcher and a one-second check call it too).
    void Rescan();
    // The selected picture large / back to the live view.
    void ShowLarge();
    void ShowLive();
    // Rates the selected pictures and the other file of each one's pair (none clears, -1
    // rejects), on the worker; the strip shows the rating once written, the console why not.
    // With "Advance After Rating" a rating of one picture steps on the way last stepped.
    void Rate(std::optional<int> rating);
    // Moves the selected pictures, the rest of their pairs and their sidecars to the trash, on
    // the worker, one console line for them all (one Ctrl+Z brings them all back); the console
    // says why a file stayed.
    void MoveToTrash();
    // Ctrl+Z: the files of the last Delete back from the trash (their sidecars too), selected.
    void UndoTrash();
    // Hands the selected picture to the desktop's default program.
    void OpenWithDefault();
    // Selects the picture that many places older (negative: newer), large too when one is shown.
    void Step(int by);
    // "Show Each New Picture": each picture saved while the tab is shown is selected and shown
    // large (its decoding starts the moment it is saved); off, a capture leaves the review where
    // it is and the count under the strip says what arrived.
    void setShowNewPictures(bool on) { showNew_ = on; }
    bool showNewPictures() const { return showNew_; }
    // "Advance After Rating": a rating key steps to the next picture (the way last stepped).
    void setAdvanceAfterRating(bool on) { advance_ = on; }
    bool advanceAfterRating() const { return advance_; }
    // Compare (C): the two pictures selected, else the selected one and the one before it (the
    // next older shown; the newer one for the oldest), side by side; again, or Esc: back.
    void ToggleCompare();
    bool comparing() const;
    ReviewCompare* compare() const { return compare_; }

    QListWidget* strip() const { return strip_; }
    ReviewCull* cull() const;            // the filter above the strip and the ratings shown
    QString status() const;              // the last failure, or empty
    QString arrived() const;             // "2 new pictures": newer than any selected, or empty
    QString selectedPath() const;        // the selected file's name as shown, with its folder
    QStringList selectedPaths() const;   // every selected one, in the strip's order
    bool showingLarge() const { return largeWanted_; }
    // The strip's text for a picture: its name, then its stars, "Rejected" or why it cannot be
    // read.
    static QString ItemText(const QString& fileName, std::optional<int> rating,
                            const QString& error = {});

signals:
    // A picture asked for large arrived on screen (tests wait for it).
    void pictureShown(const QString& path);
    // The thumbnail of a picture asked for large is on screen while it is decoded.
    void standInShown(const QString& path);
    // A side of compare is on screen: its view, or its whole picture for 100 %.
    void compareSideShown(const QString& path, bool whole);
    // Space on the tab: the host releases the shutter.
    void captureWanted();
    // A picture was saved while "Show Each New Picture" is on (the host may show the tab).
    void newPictureSaved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Done;             // what a folder job hands back
    void requestVisible();   // thumbnails of the items in sight that are not loaded
    void remember(const std::string& path);
    void setStatus(const QString& text);
    void checkFolder();
    std::string namingKey() const;   // capture name, template and job, one text
    void countArrivals();
    void pictureSaved(const std::string& path);
    bool key(int key);   // the panel's keys; false for one it does not take
    void listed(std::vector<picture::PictureEntry> entries, std::vector<std::optional<int>> ratings,
                std::unordered_map<std::string, std::vector<std::string>> pairs);
    void rated(const std::string& file, std::optional<int> rating);
    void ratingsShown();   // after ratings changed: the count, a hidden selection moved on
    void filtered();
    void pollRatings();
    void readOn();   // the next sidecars the listing left to read
    void finished(Done& done);
    std::string selectedFile() const;
    std::vector<std::string> selectedFiles() const;   // the selected, else the current one
    void comparePair();   // compare's pair for the selection as it is now
    QListWidgetItem* itemFor(const std::string& path) const;
    QListWidgetItem* newItem(const picture::PictureEntry& entry) const;

    CViewDoc* document_;
    QListWidget* strip_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* arrived_ = nullptr;
    PictureLoader* loader_ = nullptr;
    LargeViewer* large_ = nullptr;
    SavedPictureFeed* saved_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* debounce_ = nullptr;
    QTimer* folderCheck_ = nullptr;
    std::string folder_, name_;                    // what the strip lists (name_: namingKey())
    std::vector<picture::PictureEntry> entries_;   // the strip's pictures, newest first
    std::unordered_map<std::string, QListWidgetItem*> items_;   // by path
    std::deque<std::string> loaded_;   // thumbnails in memory, oldest first
    std::uint32_t newest_ = 0;         // the highest number listed
    std::uint32_t seen_ = 0;           // the highest number selected, or listed first
    std::uint64_t generation_ = 0;     // the folder and name listed
    bool listed_ = false;
    bool scanQueued_ = false, scanAgain_ = false;   // a listing on its way; another wanted
    bool largeWanted_ = false;                      // a picture is (or is being) shown large
    bool trashed_ = false;   // the listing after a Delete keeps the place, large or not
    // Each Delete's files: where they were, where in the trash; the last one first undone.
    std::vector<std::vector<std::pair<std::string, std::string>>> undo_;
    std::string select_;       // the picture to select once listed (an undone Delete's)
    std::string newPicture_;   // a saved picture to show large once listed
    bool showNew_ = false;
    bool advance_ = false;
    int lastStep_ = 1;        // the way last stepped (1: older), for the advance after a rating
    int lastLargeRow_ = -1;   // the row last shown large (for the direction of travel)
    ReviewCompare* compare_ = nullptr;
    ReviewCull* cull_ = nullptr;
    // The folder worker's alone (its jobs run one after another).
    std::shared_ptr<picture::RatingCache> ratingCache_;
    bool pollQueued_ = false;
    std::unique_ptr<Worker<Done>> folderWork_;   // last: goes first
};
