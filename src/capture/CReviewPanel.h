// The Main pane's "Review" panel: thumbnails of the capture name's numbered pictures in the
// capture folder, newest first, kept in step with the folder; the picture large in the
// viewscreen with its colour histogram in the Info pane; ratings and rejects in XMP sidecars;
// pictures moved to the desktop's trash.
//
// Keys on the strip: Enter shows the selected picture large (so does a double-click), Left and
// Right step, Esc returns to the live view, Z shows 100 % around the pointer (a click on the
// picture does too), 1-5 rate, 0 clears the rating, X rejects, Delete moves to the trash.
#pragma once

#include <QHash>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <optional>
#include <string>

class CViewDoc;
class PictureLoader;
class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;

class CReviewPanel : public QWidget {
    Q_OBJECT
public:
    // Thumbnails kept at once (128 x 96 each, about 48 KB): the ones furthest from sight go
    // first and are read again when scrolled back to.
    static constexpr int kCacheLimit = 400;

    explicit CReviewPanel(CViewDoc* document, QWidget* parent = nullptr);
    ~CReviewPanel() override;

    // Lists the folder again now (the watcher and a one-second check call it as well).
    void Rescan();
    // The selected picture large / back to the live view.
    void ShowLarge();
    void ShowLive();
    // Rates the selected picture and the other file of its pair (none clears, -1 rejects).
    void Rate(std::optional<int> rating);
    // Moves the selected picture, the rest of its pair and their sidecars to the trash.
    void MoveToTrash();
    // Hands the selected picture to the desktop's default program.
    void OpenWithDefault();

    QListWidget* strip() const { return strip_; }
    QString status() const;   // the last failure, or empty
    QString selectedPath() const;
    bool showingLarge() const { return largeWanted_; }
    // The strip's text for a picture: its name, then its stars, "Rejected" or why it cannot be
    // read.
    static QString ItemText(const QString& fileName, std::optional<int> rating,
                            const QString& error = {});

signals:
    // A picture asked for large arrived on screen (tests wait for it).
    void pictureShown(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void requestVisible();   // thumbnails of the items in sight that are not loaded
    void remember(const QString& path);
    void setStatus(const QString& text);
    void checkFolder();
    QListWidgetItem* itemFor(const QString& path) const;

    CViewDoc* document_;
    QListWidget* strip_ = nullptr;
    QLabel* status_ = nullptr;
    PictureLoader* loader_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* debounce_ = nullptr;
    QTimer* folderCheck_ = nullptr;
    std::string folder_, name_;                    // what the strip lists
    QStringList paths_;                            // the strip's pictures, newest first
    QHash<QString, std::optional<int>> ratings_;   // read with the thumbnails
    std::deque<QString> loaded_;                   // thumbnails in memory, oldest first
    std::uint32_t newest_ = 0;                     // the highest number listed
    bool listed_ = false;
    bool largeWanted_ = false;   // a picture is (or is being) shown large
};
