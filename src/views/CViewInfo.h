// The info pane: camera name, owner, firmware and battery, the capture folder and name, the name
// template with its menu of tokens, the job text and the next file name, the transfer progress
// bar and the brightness histogram of the live picture.
#pragma once

#include "camera/Options.h"
#include "document/CView.h"
#include "document/FocusPeaking.h"

#include <QFont>
#include <QPolygon>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CViewDoc;
struct InfoFeed;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
template <class Result>
class Worker;

class CViewInfo : public QWidget, public CView {
    Q_OBJECT
public:
    static constexpr int kCaptureNameLimit = 99;

    explicit CViewInfo(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewInfo() override;

    static CViewInfo* instance();   // the one Info pane, or null

    // Reads the four camera facts from the driver with an open camera (empty when none).
    void UpdateInfo();
    // Receivers of the document's progress and camera-event slots; called on SDK threads, they
    // post the change to the user-interface thread and return at once.
    static void ShowProgress(std::int32_t value);
    static void ShowBattery(std::uint32_t value);
    // The same changes, on the user-interface thread.
    void SetProgress(std::int32_t value);
    void RefreshBattery();

    // "Browse": asks for a folder; the chosen path plus "/" goes to the document and the box.
    void OnBrowse();
    // Chooses folder without a dialog (empty: nothing happens), as after a choice in the dialog.
    void ApplyChosenFolder(const QString& folder);
    void OnCaptureNameChanged();
    // The capture folder in its box (the end shown when it does not fit) and its tooltip.
    void ShowFolder(const QString& folder);

    // The name template and the job text, as typed: each edit goes to the document at once
    // (the preview follows) and naming.cfg is written when the box is left.
    void OnTemplateChanged();
    void OnJobChanged();
    // Puts a token of the menu ("{date:yyyyMMdd}") at the template box's cursor, over what is
    // selected there.
    void InsertToken(const QString& token);
    // Works out the next file name again on a worker (the folder is read and the camera asked
    // for its image quality, neither on this thread) and shows it: "Next: Photo-0003.jpg", or
    // "Refused: " and why a capture would be refused now. Merged while one is under way.
    void RefreshPreview();
    // What the preview line shows now (empty until the first answer).
    QString previewText() const;
    static constexpr const char* kNextPrefix = "Next: ";
    static constexpr const char* kRefusedPrefix = "Refused: ";

    // Repaints the histogram control (the viewscreen asks after each recomputation).
    void InvalidateHistogram();
    // Draws the histogram of the document into a w x h surface: black silhouette on white.
    void DrawHistogram(QPainter& painter, int w, int h) const;
    // While a picture is shown large: its red, green and blue histogram (three outlines in
    // their colours, the clipped counts in a band of kClippedBand under them) in place of the
    // live one; null
    // returns to the live histogram.
    void ShowPictureHistogram(const RgbHistogram* histogram);
    bool showingPictureHistogram() const { return pictureHistogram_ != nullptr; }
    // The height of the band under a picture's histogram that holds its clipped counts.
    static constexpr int kClippedBand = 12;
    // "Clipped R 12  G 0  B 3400": the text in that band.
    static QString ClippedText(const RgbHistogram& histogram);
    // The silhouette's 257 points for the given bins and peak in a w x h surface.
    static QPolygon HistogramPolygon(const std::array<float, 256>& bins, float peak, int w, int h);

    // "2/3 of 6" as the battery percentage text: "67%".
    static QString BatteryText(std::uint32_t level);
    // The camera's own battery words when it gives them ("75%"), else BatteryText.
    static QString BatteryShown(const camera::CameraProperties& facts);

    // The children carry object names for tests and tools: "infoName", "infoOwner",
    // "infoFirmware", "infoBattery", "captureFolder", "captureName", "browse",
    // "captureProgress", "histogram", "nameTemplate", "nameTokens" (the button) and
    // "nameTokensMenu" (its menu),
    // "jobText" and "nextName".
    QRect histogramRect() const { return histogramRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool showingLoadedName_ = false;   // the name box is being filled from the document
    CViewDoc* document_;
    QFont font_;
    QRect histogramRect_;
    std::array<QLabel*, 4> values_{};
    QLineEdit* folderBox_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QLabel* templateCaption_ = nullptr;   // "Name Template"
    QLineEdit* templateBox_ = nullptr;
    QPushButton* tokensButton_ = nullptr;
    QMenu* tokensMenu_ = nullptr;
    QLineEdit* jobBox_ = nullptr;
    QLineEdit* previewBox_ = nullptr;
    struct Preview {
        std::uint64_t asked = 0;
        std::string name, why;
    };
    Worker<Preview>* previewWork_ = nullptr;   // a child of the pane
    std::uint64_t previewAsked_ = 0;           // the latest refresh posted
    QProgressBar* progress_ = nullptr;
    QWidget* histogramControl_ = nullptr;
    std::unique_ptr<RgbHistogram> pictureHistogram_;
    std::unique_ptr<InfoFeed> feed_;   // what SDK threads reach (see CViewInfo.cpp)
};
