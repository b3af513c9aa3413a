#include "capture/FocusStackDlg.h"

#include "camera/CanonDriver.h"
#include "capture/DocumentFocusStackCamera.h"
#include "document/CViewDoc.h"
#include "sdk/Errors.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

QString Where(int steps) {
    if (steps == 0) return QStringLiteral("where counting began");
    return QStringLiteral("%1 %2 of where counting began")
        .arg(std::abs(steps) == 1 ? QStringLiteral("1 focus step")
                                  : QStringLiteral("%1 focus steps").arg(std::abs(steps)))
        .arg(steps < 0 ? QStringLiteral("near") : QStringLiteral("far"));
}

}   // namespace

FocusStackDlg::FocusStackDlg(CViewDoc* document, QWidget* parent)
    : QDialog(parent), document_(document) {
    setWindowTitle(QStringLiteral("Focus Stack"));
    setObjectName(QStringLiteral("focusStackDialog"));
    lens_ = std::make_unique<Worker<StepAnswer>>([this](StepAnswer& a) { stepped(a); });
    run_ = std::make_unique<FocusStackThread>(static_cast<FocusStackThread::Events*>(this));

    auto* layout = new QVBoxLayout(this);
    stepButtons_ = new QWidget(this);
    auto* steps = new QHBoxLayout(stepButtons_);
    steps->setContentsMargins(0, 0, 0, 0);
    steps->addWidget(new QLabel(QStringLiteral("Near"), stepButtons_));
    const struct {
        int step;
        const char* text;
        const char* name;
    } buttons[] = {{-3, "<<<", "near3"}, {-2, "<<", "near2"}, {-1, "<", "near1"},
                   {1, ">", "far1"},     {2, ">>", "far2"},   {3, ">>>", "far3"}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), stepButtons_);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setAutoDefault(false);
        const int step = b.step;
        connect(button, &QPushButton::clicked, this, [this, step] { Step(step); });
        steps->addWidget(button);
    }
    steps->addWidget(new QLabel(QStringLiteral("Far"), stepButtons_));
    layout->addWidget(stepButtons_);
    // Arrow keys: alone the smallest step, with Shift the middle one, with Ctrl the largest.
    const std::pair<QKeyCombination, int> keys[] = {{QKeyCombination(Qt::Key_Left), -1},
                                                    {QKeyCombination(Qt::Key_Right), 1},
                                                    {QKeyCombination(Qt::SHIFT, Qt::Key_Left), -2},
                                                    {QKeyCombination(Qt::SHIFT, Qt::Key_Right), 2},
                                                    {QKeyCombination(Qt::CTRL, Qt::Key_Left), -3},
                                                    {QKeyCombination(Qt::CTRL, Qt::Key_Right), 3}};
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { Step(step); });
    }

    positionLabel_ = new QLabel(this);
    positionLabel_->setObjectName(QStringLiteral("lensPosition"));
    layout->addWidget(positionLabel_);
    auto* marks = new QHBoxLayout;
    auto* markNear = new QPushButton(QStringLiteral("Mark Near"), this);
    markNear->setObjectName(QStringLiteral("markNear"));
    markNear->setAutoDefault(false);
    connect(markNear, &QPushButton::clicked, this, &FocusStackDlg::MarkNear);
    auto* markFar = new QPushButton(QStringLiteral("Mark Far"), this);
    markFar->setObjectName(QStringLiteral("markFar"));
    markFar->setAutoDefault(false);
    connect(markFar, &QPushButton::clicked, this, &FocusStackDlg::MarkFar);
    marks->addWidget(markNear);
    marks->addWidget(markFar);
    layout->addLayout(marks);
    marksLabel_ = new QLabel(this);
    marksLabel_->setObjectName(QStringLiteral("marks"));
    layout->addWidget(marksLabel_);

    auto* form = new QFormLayout;
    fromMarks_ = new QRadioButton(QStringLiteral("From Near to Far"), this);
    fromMarks_->setObjectName(QStringLiteral("fromMarks"));
    fromHere_ = new QRadioButton(QStringLiteral("From here"), this);
    fromHere_->setObjectName(QStringLiteral("fromHere"));
    fromMarks_->setChecked(true);
    auto* modes = new QButtonGroup(this);
    modes->addButton(fromMarks_);
    modes->addButton(fromHere_);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(fromMarks_);
    modeRow->addWidget(fromHere_);
    form->addRow(QStringLiteral("Stack:"), modeRow);
    start_ = new QSpinBox(this);
    start_->setObjectName(QStringLiteral("start"));
    start_->setRange(-100000, 100000);
    start_->setToolTip(QStringLiteral("Focus steps from here to the first shot (negative: near)"));
    form->addRow(QStringLiteral("First shot (steps from here):"), start_);
    shots_ = new QSpinBox(this);
    shots_->setObjectName(QStringLiteral("shots"));
    shots_->setRange(1, 999);
    shots_->setValue(10);
    form->addRow(QStringLiteral("Shots:"), shots_);
    stepSize_ = new QComboBox(this);
    stepSize_->setObjectName(QStringLiteral("stepSize"));
    for (int size = 1; size <= sdk::kMaxFocusStep; ++size)
        stepSize_->addItem(
            QStringLiteral("%1 (%2 focus steps)").arg(size).arg(sdk::kFocusStepUnits[size]));
    form->addRow(QStringLiteral("Step size:"), stepSize_);
    settle_ = new QSpinBox(this);
    settle_->setObjectName(QStringLiteral("settle"));
    settle_->setRange(0, 10000);
    settle_->setSingleStep(100);
    settle_->setValue(500);
    settle_->setSuffix(QStringLiteral(" ms"));
    form->addRow(QStringLiteral("Settle after each move:"), settle_);
    dryRun_ = new QCheckBox(QStringLiteral("Dry run (move only, no pictures)"), this);
    dryRun_->setObjectName(QStringLiteral("dryRun"));
    form->addRow(QString(), dryRun_);
    layout->addLayout(form);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* actions = new QHBoxLayout;
    runButton_ = new QPushButton(QStringLiteral("Run"), this);
    runButton_->setObjectName(QStringLiteral("run"));
    connect(runButton_, &QPushButton::clicked, this, [this] { Run(); });
    stopButton_ = new QPushButton(QStringLiteral("Stop"), this);
    stopButton_->setObjectName(QStringLiteral("stop"));
    stopButton_->setAutoDefault(false);
    connect(stopButton_, &QPushButton::clicked, this, &FocusStackDlg::Stop);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    actions->addWidget(runButton_);
    actions->addWidget(stopButton_);
    actions->addStretch();
    actions->addWidget(close);
    layout->addLayout(actions);
    showState();
}

FocusStackDlg::~FocusStackDlg() {
    run_.reset();    // ends a run (after its current shot's wait) and joins it
    lens_.reset();   // waits for a step under way; its answer is dropped
}

bool FocusStackDlg::running() const { return run_->running(); }

void FocusStackDlg::Step(int step) {
    if (running() || step == 0 || std::abs(step) > sdk::kMaxFocusStep) return;
    ++pendingSteps_;
    CViewDoc* doc = document_;
    lens_->Post([doc, step](const std::atomic<bool>&) {
        StepAnswer answer;
        answer.step = step;
        camera::CanonDriver* driver = doc != nullptr ? doc->openDriver() : nullptr;
        answer.result = driver != nullptr ? driver->DriveFocus(step) : sdk::err::kDeviceNotFound;
        return answer;
    });
}

void FocusStackDlg::stepped(StepAnswer& answer) {
    --pendingSteps_;
    const int units = sdk::kFocusStepUnits[std::abs(answer.step)];
    if (answer.result == sdk::kOk) {
        position_ += answer.step < 0 ? -units : units;
        status_->clear();
    } else if (sdk::err::IsFocusAtLimit(answer.result)) {
        status_->setText(
            QStringLiteral("The lens is at its %1 end.")
                .arg(answer.step < 0 ? QStringLiteral("near") : QStringLiteral("far")));
    } else if (camera::IsBusy(answer.result)) {
        status_->setText(QStringLiteral("The lens is still moving: step again."));
    } else if ((answer.result & 0xFFFFu) == sdk::err::kNotSupported) {
        status_->setText(QStringLiteral("The connected camera does not drive its focus."));
    } else if (answer.result == sdk::err::kDeviceNotFound) {
        status_->setText(QStringLiteral("No camera is connected."));
    } else {
        status_->setText(QStringLiteral("The lens did not move (see the console)."));
    }
    showState();
}

void FocusStackDlg::MarkNear() {
    near_ = position_;
    showState();
}

void FocusStackDlg::MarkFar() {
    far_ = position_;
    showState();
}

bool FocusStackDlg::Run() {
    if (running()) return false;
    camera::CanonDriver* driver = document_ != nullptr ? document_->openDriver() : nullptr;
    if (driver == nullptr) {
        status_->setText(QStringLiteral("No camera is connected."));
        return false;
    }
    if (!driver->properties().hasFocusDrive) {
        status_->setText(QStringLiteral("The connected camera does not drive its focus."));
        return false;
    }
    if (pendingSteps_ > 0) {
        status_->setText(QStringLiteral("The lens is still moving: run again."));
        return false;
    }
    const int size = stepSize_->currentIndex() + 1;
    FocusStackPlan plan;
    if (fromMarks_->isChecked()) {
        if (!near_ || !far_) {
            status_->setText(QStringLiteral("Mark Near and Far first."));
            return false;
        }
        plan =
            PlanFromMarks(*near_, *far_, position_, size, settle_->value(), dryRun_->isChecked());
    } else {
        plan.start = start_->value();
        plan.stepSize = size;
        plan.shots = shots_->value();
        plan.settleMs = settle_->value();
        plan.dryRun = dryRun_->isChecked();
    }
    run_->setCamera(std::make_unique<DocumentFocusStackCamera>(document_));
    run_->setKeywordWriter(keywords_);
    const int number = nextNumber_;
    if (!plan.dryRun) ++nextNumber_;
    run_->Prepare(plan, number);
    if (!run_->Start()) {
        status_->setText(QStringLiteral("The run could not be started."));
        return false;
    }
    status_->setText(QStringLiteral("Focus stack under way (%1 shots)").arg(plan.shots));
    showState();
    return true;
}

void FocusStackDlg::Stop() {
    if (!running()) return;
    run_->RequestStop();
    status_->setText(QStringLiteral("Stopping after the current shot..."));
}

void FocusStackDlg::ShotDone(int shot, int shots) {
    QMetaObject::invokeMethod(
        this,
        [this, shot, shots] {
            if (!run_->stopRequested())
                status_->setText(QStringLiteral("Shot %1 of %2").arg(shot).arg(shots));
        },
        Qt::QueuedConnection);
}

void FocusStackDlg::RunEnded() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            const FocusStackThread::Outcome out = run_->outcome();
            QString text = QStringLiteral("%1 shots done").arg(out.taken);
            if (out.atLimit) text += QStringLiteral("; the lens reached its end early");
            if (out.stopped) text += QStringLiteral("; stopped");
            if (out.failed) text += QStringLiteral("; the camera failed (see the console)");
            text += out.returned ? QStringLiteral("; the lens is back where the run began.")
                                 : QStringLiteral("; the lens is not back (see the console).");
            status_->setText(text);
            showState();
        },
        Qt::QueuedConnection);
}

void FocusStackDlg::showState() {
    positionLabel_->setText(QStringLiteral("Lens: ") + Where(position_));
    const QString nearText = near_ ? Where(*near_) : QStringLiteral("not marked");
    const QString farText = far_ ? Where(*far_) : QStringLiteral("not marked");
    QString marks = QStringLiteral("Near: %1. Far: %2.").arg(nearText, farText);
    if (near_ && far_)
        marks +=
            std::abs(*far_ - *near_) == 1
                ? QStringLiteral(" 1 focus step between them.")
                : QStringLiteral(" %1 focus steps between them.").arg(std::abs(*far_ - *near_));
    marksLabel_->setText(marks);
    const bool idle = !running();
    stepButtons_->setEnabled(idle);
    runButton_->setEnabled(idle);
    stopButton_->setEnabled(!idle);
}
