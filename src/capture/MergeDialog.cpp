#include "capture/MergeDialog.h"

#include "document/CViewDoc.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace {

struct LastSeries {
    merge::Kind kind = merge::Kind::Bracket;
    int series = 0;
    std::vector<std::string> files;
};
LastSeries& last() {
    static LastSeries series;
    return series;
}

}   // namespace

MergeDialog::MergeDialog(CViewDoc* document, merge::Kind kind, int series,
                         std::vector<std::string> files, QWidget* parent)
    : QDialog(parent), document_(document), name_(merge::SeriesName(kind, series)) {
    setWindowTitle(QStringLiteral("Merge %1").arg(QString::fromStdString(name_)));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(QStringLiteral("Starting..."), this);
    status_->setObjectName(QStringLiteral("mergeStatus"));
    status_->setMinimumWidth(320);
    layout->addWidget(status_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("mergeProgress"));
    progress_->setRange(0, 2);
    progress_->setValue(0);
    layout->addWidget(progress_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("mergeCancel"));
    layout->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (finished_) accept();
        else Cancel();
    });
    if (document_)
        document_->Log("Merging " + name_ + " (" + std::to_string(files.size()) + " pictures)\r\n");
    thread_ = std::thread([this, kind, series, files = std::move(files)] {
        const auto result =
            merge_.Run(kind, series, files, [this](int step, int, const std::string& what) {
                QMetaObject::invokeMethod(
                    this,
                    [this, step, text = QString::fromStdString(what)] {
                        progress_->setValue(step - 1);
                        status_->setText(text + QStringLiteral("..."));
                    },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this, [this, result] { ended(result); }, Qt::QueuedConnection);
    });
}

MergeDialog::~MergeDialog() {
    merge_.Cancel();
    if (thread_.joinable()) thread_.join();
}

void MergeDialog::Cancel() {
    merge_.Cancel();
    status_->setText(QStringLiteral("Cancelling..."));
}

void MergeDialog::ended(const merge::SeriesMerge::Result& result) {
    if (thread_.joinable()) thread_.join();
    result_ = result;
    finished_ = true;
    cancel_->setText(QStringLiteral("Close"));
    std::string line;
    if (!result.path.empty()) {
        progress_->setValue(2);
        line = "Merged " + name_ + ": " + std::filesystem::path(result.path).filename().string();
    } else if (result.error == "cancelled") {
        line = "Merge of " + name_ + " cancelled";
    } else {
        line = "Merge of " + name_ + " failed: " + result.error;
    }
    status_->setText(QString::fromStdString(line));
    if (document_) document_->Log(line + "\r\n");
    emit merged();
}

void MergeDialog::NoteSeries(merge::Kind kind, int series, std::vector<std::string> files) {
    last() = {kind, series, std::move(files)};
}

void MergeDialog::AddMenuEntry(QMenu* menu, CViewDoc* document, QWidget* parent) {
    QAction* action = menu->addAction(QStringLiteral("Merge Last Series..."));
    action->setObjectName(QStringLiteral("mergeSeriesAction"));
    auto update = [action] {
        const bool tools = merge::FindTools().ok();
        action->setText(tools ? QStringLiteral("Merge Last Series...")
                              : QString::fromLatin1(merge::kInstallText));
        action->setEnabled(tools && last().files.size() >= 2);
    };
    update();
    QObject::connect(menu, &QMenu::aboutToShow, action, update);
    QObject::connect(action, &QAction::triggered, parent, [document, parent] {
        const LastSeries& series = last();
        if (series.files.size() < 2) return;
        auto* dialog = new MergeDialog(document, series.kind, series.series, series.files, parent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
    });
}
