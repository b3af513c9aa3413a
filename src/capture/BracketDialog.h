// The exposure bracket's dialog (Capture > "Exposure Bracket..."): the number of shots (3, 5, 7,
// 9) and the step (1/3 to 3 EV), Start that becomes Stop while the run goes on, the shot being
// taken, and how the run ended; a finished bracket can be merged from here. The run is a
// CBracketThread: nothing here waits for it but the destructor (which stops it first).
#pragma once

#include "capture/CBracketThread.h"

#include <QDialog>

#include <functional>
#include <memory>

class CViewDoc;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

class BracketDialog : public QDialog, private CBracketThread::Events {
    Q_OBJECT
public:
    explicit BracketDialog(CViewDoc* document, QWidget* parent = nullptr);
    ~BracketDialog() override;

    // The one dialog of parent, made when first asked for, shown.
    static BracketDialog* Show(CViewDoc* document, QWidget* parent);

    // Tests give their own camera (or limit the wait for a lost one) here.
    std::function<std::unique_ptr<BracketCamera>()> makeCamera;
    std::chrono::milliseconds awayLimit = CBracketThread::kAwayLimit;

    bool running() const { return thread_.running(); }
    const CBracketThread::Result& lastResult() const { return last_; }
    void StartOrStop();

signals:
    void runEnded();

private:
    void ShotEnded(int shot, int shots) override;                   // worker
    void RunEnded(const CBracketThread::Result& result) override;   // worker
    void showEnd();
    void updateMerge();

    CViewDoc* const document_;
    QComboBox* shots_ = nullptr;
    QComboBox* step_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* merge_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    CBracketThread::Result last_;
    CBracketThread thread_{this};   // last: stopped and joined before the widgets go
};
