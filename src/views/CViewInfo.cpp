#include "views/CViewInfo.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"
#include "camera/CanonDriver.h"
#include "document/CViewDoc.h"
#include "views/EvenCaptions.h"
#include "kit/UiWakeup.h"
#include "kit/Worker.h"
#include "document/NameTemplate.h"

#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <atomic>
#include <mutex>

// What SDK threads reach of the pane: the newest progress value and a battery flag, left here
// with a wake-up of the pane; wake-ups merge, so a burst of reports costs one pass on the
// user-interface thread. The pane owns it.
struct InfoFeed {
    InfoFeed(CViewInfo* pane, UiWakeup* wakeup) : pane(pane), wakeup(wakeup) {}
    CViewInfo* const pane;
    UiWakeup* const wakeup;   // a child of the pane
    std::atomic<std::int32_t> latestProgress{0};
    std::atomic<bool> progressPending{false};
    std::atomic<bool> batteryPending{false};
};

namespace {

// The Info pane's feed; held under the lock while a report is left, so the pane cannot go
// away meanwhile (leaving a report never waits for the user-interface thread).
std::mutex gFeedLock;
InfoFeed* gFeed = nullptr;

template <typename Leave>
void LeaveReport(Leave leave) {
    std::lock_guard<std::mutex> guard(gFeedLock);
    if (!gFeed) return;
    leave(*gFeed);
    gFeed->wakeup->wake();
}

// The capture folder's box: the end of the path, elided at the start when it does not fit
// (the whole path is its tooltip); the box keeps the whole path as its text.
class FolderBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect contents = style()
                                   ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                                   .adjusted(2, 0, -2, 0);
        if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= contents.width()) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(contents, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideLeft, contents.width()));
    }
};

// The width at which a line edit shows text whole: the text, the style's frame and padding
// around the contents, the edit's own two pixels a side, its text margins and the cursor.
int InfoWholeTextWidth(const QLineEdit& box, const QString& text) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = QRect(0, 0, 200, 14);
    option.lineWidth =
        box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box);
    const QMargins margins = box.textMargins();
    return box.fontMetrics().horizontalAdvance(text) + option.rect.width() - contents.width() +
           2 * 2 + margins.left() + margins.right() + 1;
}

// The histogram control: a white-framed surface the pane draws the histogram into.
class HistogramControl : public QWidget {
public:
    HistogramControl(CViewInfo* pane) : QWidget(pane), pane_(pane) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        pane_->DrawHistogram(painter, width(), height());
    }

private:
    CViewInfo* pane_;
};

}   // namespace

CViewInfo::CViewInfo(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), font_(paneFont()) {
    struct Caption {
        const char* text;
        QRect rect;
    };
    const Caption captions[] = {
        // The first six reach up to the values and boxes, which start at 75.
        {"Name", QRect(0, 20, 74, 14)},          {"Owner", QRect(0, 38, 74, 14)},
        {"Firmware", QRect(0, 56, 74, 14)},      {"Battery", QRect(0, 74, 74, 14)},
        {"Name Template", QRect(0, 92, 74, 14)}, {"Capture Folder", QRect(0, 110, 74, 14)},
        {"Capture Name", QRect(0, 128, 74, 14)}, {"Capture Progress", QRect(0, 146, 100, 14)},
        {"Histogram", QRect(0, 182, 100, 14)},
    };
    QList<QLabel*> captionLabels;
    for (const Caption& caption : captions) {
        auto* label = new CLabel(QString::fromLatin1(caption.text), this);
        label->setGeometry(caption.rect);
        captionLabels.push_back(label);
    }
    templateCaption_ = captionLabels[4];
    EvenCaptionFonts(captionLabels, font_);

    histogramControl_ = new HistogramControl(this);
    histogramControl_->setObjectName(QStringLiteral("histogram"));
    histogramControl_->setGeometry(0, 218, 70, 50);
    histogramRect_ = histogramControl_->geometry();

    const char* const valueNames[] = {"infoName", "infoOwner", "infoFirmware", "infoBattery"};
    for (int i = 0; i < 4; ++i) {
        values_[i] = new CLabel(QString(), this);
        values_[i]->setObjectName(QString::fromLatin1(valueNames[i]));
        values_[i]->setGeometry(75, 20 + 18 * i, 100, 14);
        values_[i]->setFont(font_);
    }

    // The folder is chosen with "Browse" only; the box shows the folder in use.
    folderBox_ = new FolderBox(this);
    folderBox_->setObjectName(QStringLiteral("captureFolder"));
    folderBox_->setGeometry(75, 110, 100, 14);
    folderBox_->setFont(font_);
    folderBox_->setReadOnly(true);
    if (document_) ShowFolder(QString::fromStdString(document_->captureFolder()));

    browseButton_ = new QPushButton(QStringLiteral("Browse"), this);
    browseButton_->setObjectName(QStringLiteral("browse"));
    browseButton_->setGeometry(175, 110, 50, 14);
    browseButton_->setFont(font_);
    connect(browseButton_, &QPushButton::clicked, this, &CViewInfo::OnBrowse);

    // The box takes no more than the document keeps, so what it shows is what the document holds.
    nameBox_ = new QLineEdit(this);
    nameBox_->setObjectName(QStringLiteral("captureName"));
    nameBox_->setGeometry(75, 128, 100, 14);
    nameBox_->setFont(font_);
    // A loaded name is shown whole and left as it is (bytes that are not UTF-8 included) until
    // the user edits it: only then does the box's text become the name.
    nameBox_->setMaxLength(kCaptureNameLimit);
    connect(nameBox_, &QLineEdit::textChanged, this, &CViewInfo::OnCaptureNameChanged);
    if (document_) {
        const QString loaded = QString::fromStdString(document_->captureName());
        nameBox_->setMaxLength(std::max(kCaptureNameLimit, static_cast<int>(loaded.size())));
        showingLoadedName_ = true;
        nameBox_->setText(loaded);
        showingLoadedName_ = false;
    }

    // The name template with its tokens (a row of their own above the capture folder), the job
    // text (beside the capture name, under "Browse") and the name the next capture gets (a row of
    // its own under the progress bar). Where each goes as the pane's width changes: resizeEvent.
    templateBox_ = new QLineEdit(this);
    templateBox_->setObjectName(QStringLiteral("nameTemplate"));
    templateBox_->setGeometry(75, 92, 98, 14);
    templateBox_->setFont(font_);
    templateBox_->setPlaceholderText(QStringLiteral("Name Template"));
    tokensButton_ = new QPushButton(QStringLiteral("Tokens"), this);
    tokensButton_->setObjectName(QStringLiteral("nameTokens"));
    tokensButton_->setGeometry(175, 92, 50, 14);
    tokensButton_->setFont(font_);
    tokensMenu_ = new QMenu(tokensButton_);
    for (const NameTemplate::TokenInfo& token : NameTemplate::Tokens()) {
        QAction* action =
            tokensMenu_->addAction(QString::fromLatin1(token.text) + QLatin1Char('\t') +
                                   QString::fromLatin1(token.meaning));
        const QString text = QString::fromLatin1(token.text);
        action->setData(text);
        connect(action, &QAction::triggered, this, [this, text] { InsertToken(text); });
    }
    tokensMenu_->setObjectName(QStringLiteral("nameTokensMenu"));
    // Popped up by hand: a button's own menu arrow would not leave room for its word.
    connect(tokensButton_, &QPushButton::clicked, this, [this] {
        tokensMenu_->popup(tokensButton_->mapToGlobal(QPoint(0, tokensButton_->height())));
    });
    jobBox_ = new QLineEdit(this);
    jobBox_->setObjectName(QStringLiteral("jobText"));
    jobBox_->setGeometry(175, 128, 50, 14);
    jobBox_->setFont(font_);
    jobBox_->setPlaceholderText(QStringLiteral("Job"));
    jobBox_->setToolTip(QStringLiteral("Job: the text of {job} in the name template"));
    previewBox_ = new QLineEdit(this);
    previewBox_->setObjectName(QStringLiteral("nextName"));
    previewBox_->setGeometry(0, 164, 215, 14);
    previewBox_->setFont(font_);
    previewBox_->setReadOnly(true);
    previewBox_->setFrame(false);
    previewBox_->setFocusPolicy(Qt::ClickFocus);
    // A line of text on the pane, not a field to fill in.
    QPalette lineColours = palette();
    lineColours.setColor(QPalette::Base, lineColours.color(QPalette::Window));
    previewBox_->setPalette(lineColours);
    if (document_) {
        const NamingSettings naming = document_->namingSettings();
        templateBox_->setText(QString::fromStdString(naming.nameTemplate));
        templateBox_->setCursorPosition(0);   // its start shown, as the other boxes
        jobBox_->setText(QString::fromStdString(naming.job));
    }
    connect(templateBox_, &QLineEdit::textEdited, this, &CViewInfo::OnTemplateChanged);
    connect(jobBox_, &QLineEdit::textEdited, this, &CViewInfo::OnJobChanged);
    for (QLineEdit* box : {templateBox_, jobBox_})
        connect(box, &QLineEdit::editingFinished, this, [this] {
            if (document_) document_->SaveNaming();
        });
    previewWork_ = new Worker<Preview>(
        [this](Preview& preview) {
            if (preview.asked != previewAsked_) return;   // a newer answer is on its way
            const bool refused = preview.name.empty();
            const QString text =
                refused ? QString::fromLatin1(kRefusedPrefix) + QString::fromStdString(preview.why)
                        : QString::fromLatin1(kNextPrefix) + QString::fromStdString(preview.name);
            previewBox_->setText(text);
            previewBox_->setCursorPosition(0);
            previewBox_->setToolTip(text);
            QPalette colours = palette();
            colours.setColor(QPalette::Base, colours.color(QPalette::Window));
            if (refused) colours.setColor(QPalette::Text, QColor(180, 0, 0));
            previewBox_->setPalette(colours);
        },
        1, this);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("captureProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setGeometry(100, 148, 100, 12);

    auto* wakeup = new UiWakeup(
        [this] {
            if (feed_->progressPending.exchange(false)) SetProgress(feed_->latestProgress.load());
            if (feed_->batteryPending.exchange(false)) RefreshBattery();
        },
        this);
    feed_ = std::make_unique<InfoFeed>(this, wakeup);
    {
        std::lock_guard<std::mutex> guard(gFeedLock);
        gFeed = feed_.get();
    }
    if (document_) {
        document_->RegisterView(this, "Info");
        document_->setOnProgress(&CViewInfo::ShowProgress);
        document_->setOnCameraEvent(&CViewInfo::ShowBattery);
    }
    RefreshPreview();
}

CViewInfo::~CViewInfo() {
    std::lock_guard<std::mutex> guard(gFeedLock);
    if (gFeed == feed_.get()) gFeed = nullptr;
}

CViewInfo* CViewInfo::instance() {
    std::lock_guard<std::mutex> guard(gFeedLock);
    return gFeed ? gFeed->pane : nullptr;
}

QString CViewInfo::BatteryText(std::uint32_t level) {
    return QString::asprintf("%.0f%%", static_cast<double>(level) / 6.0 * 100.0);
}

QString CViewInfo::BatteryShown(const camera::CameraProperties& facts) {
    return facts.batteryText.empty() ? BatteryText(facts.batteryLevel)
                                     : QString::fromStdString(facts.batteryText);
}

void CViewInfo::UpdateInfo() {
    if (!document_) return;
    camera::CameraProperties facts;
    const bool open = document_->openDriver() != nullptr;
    if (camera::CanonDriver* driver = document_->openDriver()) facts = driver->properties();
    const std::string waitingFor = document_->cameraSession().waitingFor();
    values_[0]->setText(QString::fromStdString(
        open || waitingFor.empty() ? facts.name : waitingFor + " (waiting)"));
    values_[1]->setText(QString::fromStdString(facts.ownerName));
    values_[2]->setText(QString::fromStdString(facts.firmware));
    values_[3]->setText(open ? BatteryShown(facts) : QString());
    ShowFolder(QString::fromStdString(document_->captureFolder()));
    RefreshPreview();
    update();
}

void CViewInfo::ShowProgress(std::int32_t value) {
    LeaveReport([value](InfoFeed& feed) {
        feed.latestProgress.store(value);
        feed.progressPending.store(true);
    });
}

void CViewInfo::ShowBattery(std::uint32_t) {
    LeaveReport([](InfoFeed& feed) { feed.batteryPending.store(true); });
}

void CViewInfo::SetProgress(std::int32_t value) {
    // The bar empties when a transfer reports 99 or more.
    progress_->setValue(value < 99 ? std::max(value, 0) : 0);
}

void CViewInfo::RefreshBattery() {
    if (!document_) return;
    camera::CanonDriver* driver = document_->openDriver();
    values_[3]->setText(driver ? BatteryShown(driver->properties()) : QString());
}

void CViewInfo::ShowFolder(const QString& folder) {
    folderBox_->setText(folder);
    folderBox_->setToolTip(folder);
}

void CViewInfo::OnBrowse() {
    // The chooser opens at the folder in use.
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Where to save captures?"),
        document_ ? QString::fromStdString(document_->captureFolder()) : QString());
    ApplyChosenFolder(folder);
}

void CViewInfo::ApplyChosenFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    const QString withSeparator = folder + QLatin1Char('/');
    if (document_) {
        const bool changed = document_->captureFolder() != withSeparator.toStdString();
        document_->SetCaptureFolder(withSeparator.toStdString());
        // Named once here, so the short "Saved ..." lines can be placed.
        if (changed) document_->Log("Capture folder: " + withSeparator.toStdString() + "\r\n");
    }
    ShowFolder(withSeparator);
    RefreshPreview();
}

void CViewInfo::OnCaptureNameChanged() {
    if (document_ && !showingLoadedName_) {
        document_->SetCaptureName(nameBox_->text().left(kCaptureNameLimit).toStdString());
        RefreshPreview();
    }
}

void CViewInfo::OnTemplateChanged() {
    if (!document_) return;
    document_->SetNameTemplate(templateBox_->text().toStdString());
    RefreshPreview();
}

void CViewInfo::OnJobChanged() {
    if (!document_) return;
    document_->SetJobText(jobBox_->text().toStdString());
    RefreshPreview();
}

void CViewInfo::InsertToken(const QString& token) {
    templateBox_->insert(token);
    templateBox_->setFocus(Qt::OtherFocusReason);
    OnTemplateChanged();
    if (document_) document_->SaveNaming();
}

void CViewInfo::RefreshPreview() {
    if (!document_ || !previewWork_) return;
    const std::uint64_t asked = ++previewAsked_;
    // Only the newest question matters: one waiting in the queue gives way to it.
    previewWork_->drop(0);
    CViewDoc* document = document_;
    previewWork_->Post([document, asked](const std::atomic<bool>&) {
        Preview preview;
        preview.asked = asked;
        preview.name = document->PreviewCaptureName(preview.why);
        return preview;
    });
}

QString CViewInfo::previewText() const { return previewBox_->text(); }

void CViewInfo::InvalidateHistogram() { histogramControl_->update(); }

QPolygon CViewInfo::HistogramPolygon(const std::array<float, 256>& bins, float peak, int w, int h) {
    QPolygon polygon;
    polygon.reserve(257);
    polygon << QPoint(0, h - 1);
    for (int i = 0; i < 255; ++i) {
        const int x = static_cast<int>(static_cast<double>(i) / 255.0 * (w - 1));
        const int y = peak == 0.0f
                          ? h - 1
                          : static_cast<int>((h - 1) - (h - 1) * static_cast<double>(bins[i]) /
                                                           static_cast<double>(peak));
        polygon << QPoint(x, y);
    }
    polygon << QPoint(w - 1, h - 1);
    return polygon;
}

void CViewInfo::ShowPictureHistogram(const RgbHistogram* histogram) {
    if (histogram) pictureHistogram_ = std::make_unique<RgbHistogram>(*histogram);
    else pictureHistogram_.reset();
    histogramControl_->setToolTip(histogram ? ClippedText(*histogram) : QString());
    histogramControl_->update();
}

QString CViewInfo::ClippedText(const RgbHistogram& histogram) {
    return QStringLiteral("Clipped R %1  G %2  B %3")
        .arg(histogram.clipped[0])
        .arg(histogram.clipped[1])
        .arg(histogram.clipped[2]);
}

void CViewInfo::DrawHistogram(QPainter& painter, int w, int h) const {
    if (w <= 0 || h <= 0) return;
    if (pictureHistogram_) {
        const RgbHistogram& rgb = *pictureHistogram_;
        QImage surface(w, h, QImage::Format_RGB32);
        surface.fill(Qt::black);
        QPainter off(&surface);
        off.setRenderHint(QPainter::Antialiasing);
        const QColor colours[3] = {QColor(255, 60, 60), QColor(60, 220, 60), QColor(80, 120, 255)};
        // The clipped counts have a band of their own below the curves, never over them.
        const int band = h > 2 * kClippedBand ? kClippedBand : 0;
        const int curves = h - band;
        for (int c = 0; c < 3; ++c) {
            std::array<float, 256> bins{};
            for (int i = 0; i < 256; ++i) bins[i] = static_cast<float>(rgb.counts[c][i]);
            off.setPen(QPen(colours[c], 1));
            off.setBrush(Qt::NoBrush);
            off.drawPolyline(HistogramPolygon(bins, static_cast<float>(rgb.peak), w, curves));
        }
        if (band > 0) {
            off.setRenderHint(QPainter::Antialiasing, false);
            off.setClipRect(0, curves, w, band);
            QFont small = font_;
            small.setPixelSize(9);
            off.setFont(small);
            off.setPen(Qt::white);
            off.drawText(QRect(2, curves, w - 4, band), Qt::AlignLeft | Qt::AlignVCenter,
                         ClippedText(rgb));
        }
        off.end();
        painter.drawImage(0, 0, surface);
        return;
    }
    Histogram histogram;
    if (document_) histogram = document_->histogram();
    QImage surface(w, h, QImage::Format_RGB32);
    surface.fill(Qt::white);
    {
        QPainter off(&surface);
        off.setPen(QPen(Qt::black, 1));
        off.setBrush(Qt::black);
        off.drawPolygon(HistogramPolygon(histogram.bins, histogram.peak, w, h));
    }
    painter.drawImage(0, 0, surface);
}

void CViewInfo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Info"));
}

void CViewInfo::resizeEvent(QResizeEvent* event) {
    const int cx = event->size().width();
    const int cy = event->size().height();
    histogramControl_->setGeometry(10, 202, std::max(0, cx - 20), std::max(0, cy - 212));
    histogramRect_ = QRect(QPoint(10, 202), QPoint(cx - 10 - 1, cy - 10 - 1));
    for (int i = 0; i < 4; ++i) values_[i]->setGeometry(75, 20 + 18 * i, std::max(0, cx - 75), 14);
    folderBox_->setGeometry(100, 110, std::max(0, cx - 165), 14);
    browseButton_->setGeometry(cx - 50, 110, 50, 14);
    nameBox_->setGeometry(100, 128, std::max(0, cx - 165), 14);
    // The template row keeps the default template whole: its caption gives way first when the
    // pane is too narrow for caption, box and "Tokens", then the button.
    const int whole =
        InfoWholeTextWidth(*templateBox_, QString::fromLatin1(NameTemplate::kDefault));
    const bool withCaption = cx - 75 - 52 >= whole;
    const bool withTokens = withCaption || cx - 52 >= whole;
    const int templateLeft = withCaption ? 75 : 0;
    const int templateRight = withTokens ? cx - 52 : cx;
    templateCaption_->setVisible(withCaption);
    tokensButton_->setVisible(withTokens);
    templateBox_->setGeometry(templateLeft, 92, std::max(0, templateRight - templateLeft), 14);
    tokensButton_->setGeometry(cx - 50, 92, 50, 14);
    // The job box sits under "Browse", beside the capture name, while that box has room.
    jobBox_->setVisible(cx > 165);
    jobBox_->setGeometry(cx - 50, 128, 50, 14);
    previewBox_->setGeometry(0, 164, std::max(0, cx - 10), 14);
    progress_->setGeometry(100, 148, std::max(0, cx - 110), 12);
    QWidget::resizeEvent(event);
}
