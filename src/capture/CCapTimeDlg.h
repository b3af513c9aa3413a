// The Time capture panel: a list of delay and photo steps (each photo remembering what the
// settings pane showed), "Capture Photos" to run it on the sequence worker and "Stop" to end
// the run after the current step. Buttons are as wide as their text needs at the window's
// font; the progress line runs beside "Capture Photos" to the panel's right edge.
// Threads: everything here runs on the user-interface thread, except ItemDone and RunEnded,
// which the worker calls and which only post their work to this thread (never waiting), in
// order, so the rows follow the queue. Destroying the panel ends a run at once (a delay is cut
// short, a photo under way finishes) and waits for the worker.
#pragma once

#include "capture/CSequenceThread.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CLabel;
class CViewDoc;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QResizeEvent;
class QTimer;
class UiWakeup;

class CCapTimeDlg : public QWidget, private CSequenceThread::Events {
    Q_OBJECT
public:
    // A null clock gives the steady one.
    explicit CCapTimeDlg(QWidget* parent = nullptr, std::unique_ptr<SequenceClock> clock = nullptr);
    ~CCapTimeDlg() override;

    // The document the panel reads the settings pane from and the worker runs on.
    void setDocument(CViewDoc* document);
    // Tests and the benchmark: runs on another camera port than the document's.
    void setSequenceCamera(std::unique_ptr<SequenceCamera> camera);

    void OnCapturePhotos();   // "Capture Photos" / "Stop"
    void OnAddDelay();
    void OnAddPhoto();
    void OnRemoveItem();
    // The list, its stored settings and the repeat count to a file and back (the format of
    // SequenceListFile.h). Saving adds ".ktl" to a name without an extension and replaces the
    // file whole. Loading replaces the list; a bad file is refused with the line where it went
    // wrong and changes nothing; nothing is loaded while a run goes on. False (with a console
    // line) when it did not work.
    bool SaveList(const QString& path);
    bool LoadList(const QString& path);
    // "Repeat 2 of 500, step 3, next photo in 7 s", "..., step 4, waiting for the camera";
    // empty when no run goes on.
    QString ProgressText() const;
    static QString ProgressText(const CSequenceThread::Progress& progress);
    // "Delay: 5 secs", "Delay: 1 sec"; the seconds as typed.
    static QString DelayRowText(const QString& seconds);

    // The row text of a photo step: "Photo: ISO 1600, 1/125, f/5.6" (what the camera keeps
    // left out), and the tooltip naming every setting it stores.
    static QString PhotoRowText(const SequenceItem& item);
    static QString PhotoRowTip(const SequenceItem& item);

    CSequenceThread& sequence() { return *sequence_; }
    QPushButton* captureButton() const { return capture_; }
    QLineEdit* secondsEdit() const { return seconds_; }
    QPushButton* addDelayButton() const { return addDelay_; }
    QPushButton* addPhotoButton() const { return addPhoto_; }
    QPushButton* removeButton() const { return remove_; }
    QTableWidget* stepList() const { return list_; }
    QSpinBox* repeatBox() const { return repeats_; }
    QLabel* progressLabel() const { return progress_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* loadButton() const { return load_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ItemDone(std::uint64_t id) override;   // worker thread
    void RunEnded() override;                   // worker thread
    void SettingsApplied() override;            // worker thread
    void LayOut();
    void ShowProgress();
    void RunStopped();                    // UI thread: the controls of the idle panel
    void HandOver(std::uint64_t event);   // worker thread
    int NextNumber() const;
    void AppendRow(const QString& text, const SequenceItem& item);
    // Row `row` of the list for a queued step.
    void SetRow(int row, std::uint64_t id, int number, const SequenceItem& item,
                const QString& text);
    void RemoveRowOf(std::uint64_t id);
    void ApplyHandedOver();   // UI thread: what the worker handed over, in order
    // UI thread: the settings pane reads the camera's values back (quietly).
    void RefreshSettingsPane();

    // Handed over by the worker: a finished step's id, 0 for the end of a run, or
    // kSettingsEvent when a photo step changed the camera's settings.
    static constexpr std::uint64_t kSettingsEvent = ~std::uint64_t{0};
    std::mutex handOverMutex_;
    std::vector<std::uint64_t> handedOver_;
    UiWakeup* wakeup_ = nullptr;

    CViewDoc* document_ = nullptr;
    QPushButton* capture_ = nullptr;
    QLineEdit* seconds_ = nullptr;
    QPushButton* addDelay_ = nullptr;
    QPushButton* addPhoto_ = nullptr;
    QPushButton* remove_ = nullptr;
    QTableWidget* list_ = nullptr;
    QSpinBox* repeats_ = nullptr;
    QLabel* progress_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* load_ = nullptr;
    CLabel* secondsLabel_ = nullptr;
    CLabel* timesLabel_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    std::unique_ptr<CSequenceThread> sequence_;   // last member: goes first
};
