#include "capture/CCapTimeDlg.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "capture/DocumentSequenceCamera.h"
#include "capture/SequenceListFile.h"
#include "document/CViewDoc.h"
#include "kit/UiWakeup.h"
#include "views/CViewSetting.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QSpinBox>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kIdRole = Qt::UserRole;

// A button's width for the widest of its texts at its font, at least `units` dialog units.
int ButtonWidth(const QPushButton* button, std::initializer_list<QString> texts, int units) {
    const QFontMetrics metrics = button->fontMetrics();
    const int frame = button->sizeHint().width() - metrics.horizontalAdvance(button->text());
    int width = dluX(units);
    for (const QString& text : texts)
        width = std::max(width, metrics.horizontalAdvance(text) + frame);
    return width;
}

}   // namespace

CCapTimeDlg::CCapTimeDlg(QWidget* parent, std::unique_ptr<SequenceClock> clock)
    : QWidget(parent),
      sequence_(std::make_unique<CSequenceThread>(static_cast<CSequenceThread::Events*>(this),
                                                  std::move(clock))) {
    resize(dluX(216), dluY(98));
    capture_ = new QPushButton(QStringLiteral("Capture Photos"), this);
    seconds_ = new QLineEdit(QStringLiteral("1"), this);
    seconds_->setMaxLength(5);
    seconds_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), this));
    secondsLabel_ = new CLabel(QStringLiteral("Seconds"), this);
    addDelay_ = new QPushButton(QStringLiteral("Add Delay"), this);
    addPhoto_ = new QPushButton(QStringLiteral("Add Photo"), this);
    remove_ = new QPushButton(QStringLiteral("Remove Item"), this);

    list_ = new QTableWidget(0, 2, this);
    list_->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("Item")});
    list_->horizontalHeader()->setMinimumSectionSize(0);
    list_->setColumnWidth(0, 20);
    list_->setColumnWidth(1, 100);
    list_->verticalHeader()->setVisible(false);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSortingEnabled(false);

    progress_ = new QLabel(this);
    progress_->setWordWrap(true);   // only when the panel is narrower than the line
    progress_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    repeats_ = new QSpinBox(this);
    repeats_->setRange(0, 999999);
    repeats_->setValue(1);
    repeats_->setSpecialValueText(QStringLiteral("Until stopped"));
    repeats_->setToolTip(QStringLiteral("How many times the list runs (0: until stopped)"));
    timesLabel_ = new CLabel(QStringLiteral("Times"), this);
    save_ = new QPushButton(QStringLiteral("Save List"), this);
    load_ = new QPushButton(QStringLiteral("Load List"), this);
    LayOut();
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(250);
    connect(progressTimer_, &QTimer::timeout, this, &CCapTimeDlg::ShowProgress);

    wakeup_ = new UiWakeup([this] { ApplyHandedOver(); }, this);
    connect(save_, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, QStringLiteral("Save List"), QString(),
                           QStringLiteral("Time lists (*.ktl)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ktl"));   // asked about before it is replaced
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            SaveList(dialog.selectedFiles().front());
    });
    connect(load_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Load List"), QString(), QStringLiteral("Time lists (*.ktl)"));
        if (!path.isEmpty()) LoadList(path);
    });
    connect(capture_, &QPushButton::clicked, this, &CCapTimeDlg::OnCapturePhotos);
    connect(addDelay_, &QPushButton::clicked, this, &CCapTimeDlg::OnAddDelay);
    connect(addPhoto_, &QPushButton::clicked, this, &CCapTimeDlg::OnAddPhoto);
    connect(remove_, &QPushButton::clicked, this, &CCapTimeDlg::OnRemoveItem);
}

CCapTimeDlg::~CCapTimeDlg() {
    sequence_.reset();   // ends a run promptly and waits for the worker
}

// The dialog-unit places, each control widened to its text where the window's font needs it
// and the controls to its right moved on: the left column's buttons, then the list; the
// progress line beside "Capture Photos" to the right edge.
void CCapTimeDlg::LayOut() {
    const int gap = dluX(2);
    const int rowHeight = dluY(14);
    capture_->setGeometry(dluX(7), dluY(7),
                          ButtonWidth(capture_,
                                      {QStringLiteral("Capture Photos"), QStringLiteral("Stop"),
                                       QStringLiteral("Stopping...")},
                                      67),
                          rowHeight);
    save_->setGeometry(dluX(7), dluY(77), ButtonWidth(save_, {save_->text()}, 30), rowHeight);
    load_->setGeometry(save_->geometry().right() + 1 + gap / 2, dluY(77),
                       ButtonWidth(load_, {load_->text()}, 30), rowHeight);
    // The repeat box wide enough for "Until stopped" and six digits, the seconds as wide.
    const int boxWidth = std::max(dluX(29), repeats_->sizeHint().width());
    seconds_->setGeometry(dluX(7), dluY(39), boxWidth, rowHeight);
    repeats_->setGeometry(dluX(7), dluY(58), boxWidth, rowHeight);
    const int labelLeft = std::max(dluX(38), repeats_->geometry().right() + 1 + gap);
    const int labelWidth =
        std::max(secondsLabel_->sizeHint().width(), timesLabel_->sizeHint().width());
    const int buttonsLeft =
        std::max({dluX(71), load_->geometry().right() + 1 + gap, labelLeft + labelWidth + gap});
    const int buttonsWidth = std::max({ButtonWidth(addDelay_, {addDelay_->text()}, 50),
                                       ButtonWidth(addPhoto_, {addPhoto_->text()}, 50),
                                       ButtonWidth(remove_, {remove_->text()}, 50)});
    secondsLabel_->setGeometry(labelLeft, dluY(42), buttonsLeft - gap - labelLeft,
                               secondsLabel_->sizeHint().height());
    timesLabel_->setGeometry(labelLeft, dluY(61), buttonsLeft - gap - labelLeft,
                             timesLabel_->sizeHint().height());
    addDelay_->setGeometry(buttonsLeft, dluY(39), buttonsWidth, rowHeight);
    addPhoto_->setGeometry(buttonsLeft, dluY(58), buttonsWidth, rowHeight);
    remove_->setGeometry(buttonsLeft, dluY(77), buttonsWidth, rowHeight);
    const int listLeft = std::max(dluX(125), buttonsLeft + buttonsWidth + gap);
    list_->setGeometry(listLeft, dluY(24), dluX(84), dluY(67));
    const int progressLeft = capture_->geometry().right() + 1 + gap;
    const int right = std::max(width(), list_->geometry().right() + 1 + dluX(7)) - dluX(7);
    progress_->setGeometry(progressLeft, dluY(7) - dluY(2), right - progressLeft, dluY(18));
}

void CCapTimeDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CCapTimeDlg::setDocument(CViewDoc* document) {
    document_ = document;
    sequence_->setCamera(document ? std::make_unique<DocumentSequenceCamera>(document) : nullptr);
}

void CCapTimeDlg::setSequenceCamera(std::unique_ptr<SequenceCamera> camera) {
    sequence_->setCamera(std::move(camera));
}

int CCapTimeDlg::NextNumber() const {
    int largest = list_->rowCount();
    for (int row = 0; row < list_->rowCount(); ++row) {
        const QTableWidgetItem* cell = list_->item(row, 0);
        if (cell)
            largest = std::max(largest, std::atoi(cell->text().left(20).toLatin1().constData()));
    }
    return largest + 1;
}

void CCapTimeDlg::SetRow(int row, std::uint64_t id, int number, const SequenceItem& item,
                         const QString& text) {
    auto* cell = new QTableWidgetItem(QString::number(number));
    cell->setData(kIdRole, QVariant::fromValue<qulonglong>(id));
    list_->setItem(row, 0, cell);
    auto* step = new QTableWidgetItem(text);
    step->setToolTip(item.isDelay() ? text : PhotoRowTip(item));
    list_->setItem(row, 1, step);
}

void CCapTimeDlg::AppendRow(const QString& text, const SequenceItem& item) {
    const int number = NextNumber();
    const int row = list_->rowCount();
    list_->insertRow(row);
    SetRow(row, sequence_->Append(item, number), number, item, text);
    list_->scrollToBottom();
}

QString CCapTimeDlg::DelayRowText(const QString& seconds) {
    return std::atoi(seconds.toLatin1().constData()) == 1
               ? QStringLiteral("Delay: %1 sec").arg(seconds)
               : QStringLiteral("Delay: %1 secs").arg(seconds);
}

void CCapTimeDlg::OnAddDelay() {
    const QString text = seconds_->text().left(5);
    const int value = std::atoi(text.toLatin1().constData());
    if (value <= 0) {
        QMessageBox::information(this, QString(), QStringLiteral("This is an invalid delay value"));
        return;
    }
    SequenceItem item;
    item.delaySeconds = value;
    AppendRow(DelayRowText(text), item);
}

void CCapTimeDlg::OnAddPhoto() {
    SequenceItem item;
    auto* settings =
        document_ ? dynamic_cast<CViewSetting*>(document_->GetView("Setting")) : nullptr;
    if (settings) {
        for (std::size_t i = 0; i < camera::kSettingCount; ++i)
            item.labels[i] = settings->selectedText(CViewSetting::Row(i)).toStdString();
        item.zoomPosition = static_cast<std::uint32_t>(std::max(0, settings->zoomPosition()));
    }
    AppendRow(PhotoRowText(item), item);
}

QString CCapTimeDlg::PhotoRowText(const SequenceItem& item) {
    QStringList parts;
    auto label = [&item](camera::Setting key) { return QString::fromStdString(item.label(key)); };
    if (const QString iso = label(camera::Setting::ISO); !iso.isEmpty())
        parts << (iso.startsWith(QLatin1String("ISO")) ? iso : QStringLiteral("ISO ") + iso);
    if (const QString tv = label(camera::Setting::TV); !tv.isEmpty()) parts << tv;
    if (const QString av = label(camera::Setting::AV); !av.isEmpty())
        parts << (av.front().isDigit() ? QStringLiteral("f/") + av : QStringLiteral("AV ") + av);
    if (parts.isEmpty()) return QStringLiteral("Photo");
    return QStringLiteral("Photo: ") + parts.join(QStringLiteral(", "));
}

QString CCapTimeDlg::PhotoRowTip(const SequenceItem& item) {
    QStringList lines;
    for (const camera::SettingInfo& info : camera::kSettings) {
        const std::string& value = item.label(info.key);
        lines << QStringLiteral("%1: %2").arg(
            QString::fromLatin1(info.title),
            value.empty() ? QStringLiteral("as the camera has it") : QString::fromStdString(value));
    }
    lines << QStringLiteral("Zoom: %1").arg(item.zoomPosition);
    return lines.join(QLatin1Char('\n'));
}

void CCapTimeDlg::OnRemoveItem() {
    for (int row = 0; row < list_->rowCount(); ++row) {
        QTableWidgetItem* cell = list_->item(row, 0);
        if (!cell || !cell->isSelected()) continue;
        const auto id = cell->data(kIdRole).toULongLong();
        if (!sequence_->Remove(id)) continue;   // the step being run stays
        list_->removeRow(row);
        --row;   // the rows below moved up
    }
}

void CCapTimeDlg::OnCapturePhotos() {
    if (sequence_->running()) {
        if (sequence_->stopRequested()) return;   // said already
        sequence_->RequestStop();
        // Said at once: the step under way finishes first (a delay runs out).
        const int left = sequence_->RunningDelayLeft();
        if (document_)
            document_->Log(left > 0
                               ? "Stopping: the run ends when the current delay has run out (" +
                                     std::to_string(left) + " s left)\r\n"
                               : std::string("Stopping: the run ends after the current step\r\n"));
        capture_->setText(QStringLiteral("Stopping..."));
        return;
    }
    sequence_->setRepeats(repeats_->value());
    if (sequence_->RepeatsWithoutDelay()) {
        // Shutter wear and a full card: pictures as fast as the camera takes them, again and
        // again, are never what a repeat count asks for.
        QMessageBox::information(this, QString(),
                                 QStringLiteral("A list that repeats needs a delay: without one "
                                                "it would take pictures as fast as the camera "
                                                "allows. Add a delay, or set Times to 1"));
        return;
    }
    if (sequence_->Start()) {
        capture_->setText(QStringLiteral("Stop"));
        load_->setEnabled(false);   // the list being run is not replaced
        progressTimer_->start();
        ShowProgress();
    }
}

QString CCapTimeDlg::ProgressText() const { return ProgressText(sequence_->progress()); }

QString CCapTimeDlg::ProgressText(const CSequenceThread::Progress& p) {
    if (!p.running) return {};
    QString text = p.passes == 0 ? QStringLiteral("Repeat %1 (until stopped)").arg(p.pass)
                                 : QStringLiteral("Repeat %1 of %2").arg(p.pass).arg(p.passes);
    if (p.step > 0) text += QStringLiteral(", step %1").arg(p.step);
    if (p.cameraAway && (p.photoStep || p.secondsToPhoto == 0))
        return text + QStringLiteral(", waiting for the camera");
    if (p.secondsToPhoto >= 0)
        text += p.secondsToPhoto == 0
                    ? QStringLiteral(", photo now")
                    : QStringLiteral(", next photo in %1 s").arg(p.secondsToPhoto);
    if (p.cameraAway) text += QStringLiteral(", camera away");
    return text;
}

void CCapTimeDlg::ShowProgress() {
    progress_->setText(ProgressText());
    if (!sequence_->running()) progressTimer_->stop();
}

bool CCapTimeDlg::SaveList(const QString& chosen) {
    const std::string path = WithListExtension(chosen.toStdString());
    SequenceList list;
    list.repeats = repeats_->value();
    for (const CSequenceThread::Entry& entry : sequence_->Queue()) list.steps.push_back(entry.item);
    std::string error;
    const bool saved = SaveSequenceListFile(path, list, error);
    if (document_)
        document_->Log(saved ? "List saved: " + path + "\r\n"
                             : "List not saved: " + error + "\r\n");
    return saved;
}

bool CCapTimeDlg::LoadList(const QString& path) {
    auto say = [this](const std::string& line) {
        if (document_) document_->Log(line + "\r\n");
    };
    if (sequence_->running()) {
        say("List not loaded: a run goes on; stop it first");
        return false;
    }
    SequenceList list;
    std::string error;
    if (!LoadSequenceListFile(path.toStdString(), list, error)) {
        say("List not loaded: " + error);
        return false;
    }
    for (const CSequenceThread::Entry& entry : sequence_->Queue()) sequence_->Remove(entry.id);
    // All rows at once, numbered from 1: no row-by-row search for the next number, and the
    // view is laid out once.
    list_->setUpdatesEnabled(false);
    list_->setRowCount(0);
    list_->setRowCount(static_cast<int>(list.steps.size()));
    for (std::size_t i = 0; i < list.steps.size(); ++i) {
        const SequenceItem& item = list.steps[i];
        const int number = static_cast<int>(i) + 1;
        const QString text =
            item.isDelay() ? DelayRowText(QString::number(item.delaySeconds)) : PhotoRowText(item);
        SetRow(static_cast<int>(i), sequence_->Append(item, number), number, item, text);
    }
    list_->setUpdatesEnabled(true);
    list_->scrollToBottom();
    repeats_->setValue(list.repeats);
    const std::size_t n = list.steps.size();
    say("List loaded: " + path.toStdString() + " (" + std::to_string(n) +
        (n == 1 ? " step)" : " steps)"));
    return true;
}

void CCapTimeDlg::RemoveRowOf(std::uint64_t id) {
    for (int row = 0; row < list_->rowCount(); ++row) {
        const QTableWidgetItem* cell = list_->item(row, 0);
        if (cell && cell->data(kIdRole).toULongLong() == id) {
            list_->removeRow(row);
            return;
        }
    }
}

// The worker hands over through a mutex and an eventfd wake-up, never waiting for this thread.
void CCapTimeDlg::HandOver(std::uint64_t event) {
    {
        std::lock_guard lock(handOverMutex_);
        handedOver_.push_back(event);
    }
    wakeup_->wake();
}

void CCapTimeDlg::ItemDone(std::uint64_t id) { HandOver(id); }

void CCapTimeDlg::RunEnded() { HandOver(0); }

void CCapTimeDlg::SettingsApplied() { HandOver(kSettingsEvent); }

void CCapTimeDlg::RunStopped() {
    const bool running = sequence_->running();   // a new run may have started meanwhile
    capture_->setText(running ? QStringLiteral("Stop") : QStringLiteral("Capture Photos"));
    load_->setEnabled(!running);
    ShowProgress();
}

void CCapTimeDlg::RefreshSettingsPane() {
    if (auto* settings =
            document_ ? dynamic_cast<CViewSetting*>(document_->GetView("Setting")) : nullptr)
        settings->RefreshFromCamera();
}

void CCapTimeDlg::ApplyHandedOver() {
    std::vector<std::uint64_t> events;
    {
        std::lock_guard lock(handOverMutex_);
        events.swap(handedOver_);
    }
    bool refresh = false;
    for (std::uint64_t id : events) {
        if (id == kSettingsEvent) refresh = true;
        else if (id != 0) RemoveRowOf(id);
        else {
            RunStopped();
            refresh = true;   // the pane shows what the camera holds after a run
        }
    }
    if (refresh) RefreshSettingsPane();
}
