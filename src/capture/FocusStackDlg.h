// Capture > "Focus Stack...": steps the lens near and far in live view (buttons, and the arrow
// keys: alone size 1, with Shift size 2, with Ctrl size 3), counts the steps, marks Near and
// Far, and runs a focus stack from the marks or from a start, a step size and a number of shots
// on the focus stack worker (a dry run only moves). Lens steps go to the camera on a worker of
// their own; nothing here waits for the camera.
#pragma once

#include "capture/FocusStackThread.h"
#include "kit/Worker.h"

#include <QDialog>

#include <memory>
#include <optional>

class CViewDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

class FocusStackDlg : public QDialog, private FocusStackThread::Events {
    Q_OBJECT
public:
    explicit FocusStackDlg(CViewDoc* document, QWidget* parent = nullptr);
    ~FocusStackDlg() override;

    // How each picture of a stack gets its series keyword (none until set).
    void setKeywordWriter(SeriesKeywordWriter writer) { keywords_ = std::move(writer); }

    // The lens's place counted in smallest focus steps since the dialog was made (far > 0).
    int position() const { return position_; }
    bool running() const;
    // Sends one lens step (-3..-1 near, 1..3 far) to the camera; the count follows its answer.
    void Step(int step);
    void MarkNear();
    void MarkFar();
    // Starts a run of the plan the dialog shows; false (with the reason in the status line)
    // when it cannot.
    bool Run();
    void Stop();

private:
    struct StepAnswer {
        int step = 0;
        sdk::Result result = sdk::kOk;
    };
    void stepped(StepAnswer& answer);
    void showState();
    void ShotDone(int shot, int shots) override;   // worker
    void RunEnded() override;                      // worker

    CViewDoc* const document_;
    SeriesKeywordWriter keywords_;
    std::unique_ptr<Worker<StepAnswer>> lens_;
    std::unique_ptr<FocusStackThread> run_;
    int position_ = 0;
    std::optional<int> near_, far_;
    int nextNumber_ = 1;   // the next stack's series number
    int pendingSteps_ = 0;

    QLabel* positionLabel_ = nullptr;
    QLabel* marksLabel_ = nullptr;
    QLabel* status_ = nullptr;
    QRadioButton* fromMarks_ = nullptr;
    QRadioButton* fromHere_ = nullptr;
    QSpinBox* start_ = nullptr;
    QSpinBox* shots_ = nullptr;
    QComboBox* stepSize_ = nullptr;
    QSpinBox* settle_ = nullptr;
    QCheckBox* dryRun_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QWidget* stepButtons_ = nullptr;
};
