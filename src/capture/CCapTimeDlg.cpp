#include "capture/CCapTimeDlg.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "capture/DocumentSequenceCamera.h"
#include "capture/SequenceListFile.h"
#include "document/CViewDoc.h"
#include "kit/UiWakeup.h"
#include "views/CViewSetting.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QSpinBox>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kIdRole = Qt::UserRole;

}   // namespace

CCapTimeDlg::CCapTimeDlg(QWidget* parent, std::unique_ptr<SequenceClock> clock)
    : QWidget(parent),
      sequence_(std::make_unique<CSequenceThread>(static_cast<CSequenceThread::Events*>(this),
                                                  std::move(clock))) {
    resize(dluX(216), dluY(98));
    capture_ = new QPushButton(QStringLiteral("Capture Photos"), this);
    capture_->setGeometry(dluRect(7, 7, 67, 14));
    seconds_ = new QLineEdit(QStringLiteral("1"), this);
    seconds_->setGeometry(dluRect(7, 39, 29, 14));
    seconds_->setMaxLength(5);
    seconds_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), this));
    auto* label = new CLabel(QStringLiteral("Seconds"), this);
    label->move(dluX(38), dluY(42));
    addDelay_ = new QPushButton(QStringLiteral("Add Delay"), this);
    addDelay_->setGeometry(dluRect(71, 39, 50, 14));
    addPhoto_ = new QPushButton(QStringLiteral("Add Photo"), this);
    addPhoto_->setGeometry(dluRect(71, 58, 50, 14));
    remove_ = new QPushButton(QStringLiteral("Remove Item"), this);
    remove_->setGeometry(dluRect(71, 77, 50, 14));

    list_ = new QTableWidget(0, 2, this);
    list_->setGeometry(dluRect(125, 7, 84, 84));
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
    progress_->setGeometry(dluRect(7, 24, 114, 12));
    repeats_ = new QSpinBox(this);
    repeats_->setGeometry(dluRect(7, 58, 29, 14));
    repeats_->setRange(0, 999999);
    repeats_->setValue(1);
    repeats_->setSpecialValueText(QStringLiteral("Until stopped"));
    repeats_->setToolTip(QStringLiteral("How many times the list runs (0: until stopped)"));
    auto* times = new CLabel(QStringLiteral("Times"), this);
    times->move(dluX(38), dluY(61));
    save_ = new QPushButton(QStringLiteral("Save List"), this);
    save_->setGeometry(dluRect(7, 77, 30, 14));
    load_ = new QPushButton(QStringLiteral("Load List"), this);
    load_->setGeometry(dluRect(38, 77, 30, 14));
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(250);
    connect(progressTimer_, &QTimer::timeout, this, &CCapTimeDlg::ShowProgress);

    wakeup_ = new UiWakeup([this] { ApplyHandedOver(); }, this);
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save List"), QString(), QStringLiteral("Time lists (*.ktl)"));
        if (!path.isEmpty()) SaveList(path);
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

void CCapTimeDlg::AppendRow(const QString& text, SequenceItem item, const QString& tip) {
    const int number = NextNumber();
    const std::uint64_t id = sequence_->Append(std::move(item), number);
    const int row = list_->rowCount();
    list_->insertRow(row);
    auto* cell = new QTableWidgetItem(QString::number(number));
    cell->setData(kIdRole, QVariant::fromValue<qulonglong>(id));
    list_->setItem(row, 0, cell);
    auto* item1 = new QTableWidgetItem(text);
    item1->setToolTip(tip.isEmpty() ? text : tip);
    list_->setItem(row, 1, item1);
    list_->scrollToBottom();
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
    AppendRow(QStringLiteral("Delay: %1 secs").arg(text), std::move(item));
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
    const QString text = PhotoRowText(item), tip = PhotoRowTip(item);
    AppendRow(text, std::move(item), tip);
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
    if (sequence_->Start()) {
        capture_->setText(QStringLiteral("Stop"));
        progressTimer_->start();
        ShowProgress();
    }
}

QString CCapTimeDlg::ProgressText() const {
    const CSequenceThread::Progress p = sequence_->progress();
    if (!p.running) return {};
    QString text = p.passes == 0 ? QStringLiteral("Repeat %1 (until stopped)").arg(p.pass)
                                 : QStringLiteral("Repeat %1 of %2").arg(p.pass).arg(p.passes);
    if (p.step > 0) text += QStringLiteral(", step %1").arg(p.step);
    if (p.secondsToPhoto >= 0)
        text += p.secondsToPhoto == 0
                    ? QStringLiteral(", photo now")
                    : QStringLiteral(", next photo in %1 s").arg(p.secondsToPhoto);
    return text;
}

void CCapTimeDlg::ShowProgress() {
    progress_->setText(ProgressText());
    if (!sequence_->running()) progressTimer_->stop();
}

bool CCapTimeDlg::SaveList(const QString& path) {
    SequenceList list;
    list.repeats = repeats_->value();
    for (const CSequenceThread::Entry& entry : sequence_->Queue()) list.steps.push_back(entry.item);
    const std::string text = WriteSequenceList(list);
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
    if (document_)
        document_->Log(saved ? "List saved: " + path.toStdString() + "\r\n"
                             : "List not saved: " + path.toStdString() + ": " +
                                   file.errorString().toStdString() + "\r\n");
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
    QFile file(path);
    constexpr qint64 kMaxListBytes = 16 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxListBytes) {
        say("List not loaded: " + path.toStdString() + ": " +
            (file.isOpen() ? std::string("larger than 16 MB") : file.errorString().toStdString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    SequenceList list;
    std::string error;
    if (!ReadSequenceList(bytes.toStdString(), list, error)) {
        say("List not loaded: " + path.toStdString() + ": " + error);
        return false;
    }
    for (const CSequenceThread::Entry& entry : sequence_->Queue()) sequence_->Remove(entry.id);
    list_->setRowCount(0);
    for (SequenceItem& item : list.steps) {
        if (item.isDelay()) {
            const QString text = QStringLiteral("Delay: %1 secs").arg(item.delaySeconds);
            AppendRow(text, std::move(item));
        } else {
            const QString text = PhotoRowText(item), tip = PhotoRowTip(item);
            AppendRow(text, std::move(item), tip);
        }
    }
    repeats_->setValue(list.repeats);
    say("List loaded: " + path.toStdString() + " (" + std::to_string(list.steps.size()) +
        " steps)");
    return true;
}

void CCapTimeDlg::RebuildRows() {
    list_->setRowCount(0);
    for (const CSequenceThread::Entry& entry : sequence_->Queue()) {
        const int row = list_->rowCount();
        list_->insertRow(row);
        auto* cell = new QTableWidgetItem(QString::number(entry.number));
        cell->setData(kIdRole, QVariant::fromValue<qulonglong>(entry.id));
        list_->setItem(row, 0, cell);
        const QString text = entry.item.isDelay()
                                 ? QStringLiteral("Delay: %1 secs").arg(entry.item.delaySeconds)
                                 : PhotoRowText(entry.item);
        auto* item1 = new QTableWidgetItem(text);
        item1->setToolTip(entry.item.isDelay() ? text : PhotoRowTip(entry.item));
        list_->setItem(row, 1, item1);
    }
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

void CCapTimeDlg::PassStarted() { HandOver(kPassEvent); }

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
        else if (id == kPassEvent) RebuildRows();
        else if (id != 0) RemoveRowOf(id);
        else {
            capture_->setText(sequence_->running() ? QStringLiteral("Stop")
                                                   : QStringLiteral("Capture Photos"));
            refresh = true;   // the pane shows what the camera holds after a run
        }
    }
    if (refresh) RefreshSettingsPane();
}
