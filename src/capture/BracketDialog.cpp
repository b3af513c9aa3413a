#include "capture/BracketDialog.h"

#include "capture/MergeDialog.h"
#include "document/CViewDoc.h"
#include "picture/SeriesKeyword.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>

BracketDialog::BracketDialog(CViewDoc* document, QWidget* parent)
    : QDialog(parent), document_(document) {
    setObjectName(QStringLiteral("bracketDialog"));
    setWindowTitle(QStringLiteral("Exposure Bracket"));
    auto* form = new QFormLayout(this);
    shots_ = new QComboBox(this);
    shots_->setObjectName(QStringLiteral("bracketShots"));
    for (int n : {3, 5, 7, 9}) shots_->addItem(QString::number(n), n);
    shots_->setCurrentIndex(1);
    form->addRow(QStringLiteral("Shots:"), shots_);
    step_ = new QComboBox(this);
    step_->setObjectName(QStringLiteral("bracketStep"));
    for (int thirds = bracket::kMinStepThirds; thirds <= bracket::kMaxStepThirds; ++thirds) {
        std::string text = picture::EvText(thirds).substr(1);
        step_->addItem(QString::fromStdString(text + " EV"), thirds);
    }
    step_->setCurrentIndex(2);   // 1 EV
    form->addRow(QStringLiteral("Step:"), step_);
    form->addRow(new QLabel(
        QStringLiteral("By shutter time in manual mode, by exposure compensation otherwise;\n"
                       "the camera's setting is put back at the end."),
        this));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("bracketProgress"));
    progress_->setRange(0, 5);
    progress_->setValue(0);
    form->addRow(progress_);
    status_ = new QLabel(QStringLiteral("Ready"), this);
    status_->setObjectName(QStringLiteral("bracketStatus"));
    form->addRow(status_);
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("bracketStart"));
    merge_ = new QPushButton(QStringLiteral("Merge..."), this);
    merge_->setObjectName(QStringLiteral("bracketMerge"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(start_);
    buttons->addWidget(merge_);
    buttons->addWidget(close);
    form->addRow(buttons);
    connect(start_, &QPushButton::clicked, this, &BracketDialog::StartOrStop);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    connect(merge_, &QPushButton::clicked, this, [this] {
        auto* dialog =
            new MergeDialog(document_, merge::Kind::Bracket, last_.series, last_.files, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
    });
    updateMerge();
}

BracketDialog::~BracketDialog() = default;

BracketDialog* BracketDialog::Show(CViewDoc* document, QWidget* parent) {
    auto* dialog = parent ? parent->findChild<BracketDialog*>(QStringLiteral("bracketDialog"),
                                                              Qt::FindDirectChildrenOnly)
                          : nullptr;
    if (!dialog) dialog = new BracketDialog(document, parent);
    dialog->show();
    dialog->raise();
    return dialog;
}

void BracketDialog::StartOrStop() {
    if (thread_.running()) {
        thread_.RequestStop();
        start_->setEnabled(false);
        status_->setText(QStringLiteral("Stopping after this shot..."));
        return;
    }
    std::unique_ptr<BracketCamera> camera =
        makeCamera ? makeCamera() : std::make_unique<DocumentBracketCamera>(document_);
    const int shots = shots_->currentData().toInt();
    thread_.setCamera(std::move(camera));
    thread_.setShots(shots, step_->currentData().toInt());
    thread_.setAwayLimit(awayLimit);
    progress_->setRange(0, shots);
    progress_->setValue(0);
    if (!thread_.Start()) return;
    start_->setText(QStringLiteral("Stop"));
    shots_->setEnabled(false);
    step_->setEnabled(false);
    merge_->setEnabled(false);
    status_->setText(QStringLiteral("Shot 1 of %1").arg(shots));
}

void BracketDialog::ShotEnded(int shot, int shots) {
    QMetaObject::invokeMethod(
        this,
        [this, shot, shots] {
            progress_->setValue(shot);
            if (shot < shots && start_->isEnabled())
                status_->setText(QStringLiteral("Shot %1 of %2").arg(shot + 1).arg(shots));
        },
        Qt::QueuedConnection);
}

void BracketDialog::RunEnded(const CBracketThread::Result& result) {
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            last_ = result;
            showEnd();
        },
        Qt::QueuedConnection);
}

void BracketDialog::showEnd() {
    start_->setText(QStringLiteral("Start"));
    start_->setEnabled(true);
    shots_->setEnabled(true);
    step_->setEnabled(true);
    QString text;
    if (last_.series == 0) text = QStringLiteral("Not started: see the console");
    else {
        text = QStringLiteral("Bracket %1: %2 of %3 shots")
                   .arg(last_.series)
                   .arg(last_.taken)
                   .arg(last_.shots);
        if (last_.lost) text += QStringLiteral(", camera lost");
        else if (last_.stopped) text += QStringLiteral(", stopped");
        text += last_.restored ? QStringLiteral("; setting put back")
                               : QStringLiteral("; setting NOT put back: see the console");
    }
    status_->setText(text);
    if (last_.files.size() >= 2)
        MergeDialog::NoteSeries(merge::Kind::Bracket, last_.series, last_.files);
    updateMerge();
    emit runEnded();
}

void BracketDialog::updateMerge() {
    const bool tools = merge::FindTools().ok();
    merge_->setText(tools ? QStringLiteral("Merge...") : QString::fromLatin1(merge::kInstallText));
    merge_->setEnabled(tools && !thread_.running() && last_.files.size() >= 2);
}
