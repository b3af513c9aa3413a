#include "views/CViewSetting.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"
#include "camera/CanonDriver.h"
#include "camera/CanonRCSDK.h"
#include "document/CViewDoc.h"
#include "views/EvenCaptions.h"
#include "kit/UiWakeup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QPainter>
#include <QSlider>
#include <QToolTip>

#include <mutex>

namespace {

// The pane's lines, 22 apart from 28 down: the twelve lists in key order, AF lock after AF
// Distance and zoom last (a list sits 4 above its caption's line). The labels come from the
// settings table.
constexpr int LineTop(int line) { return 28 + 22 * line; }
constexpr int RowTop(int row) { return LineTop(row > CViewSetting::AFDistance ? row + 1 : row); }
constexpr int kAfLockTop = LineTop(CViewSetting::AFDistance + 1);
constexpr int kZoomTop = LineTop(CViewSetting::RowCount + 1);
static_assert(CViewSetting::RowCount == camera::kSettingCount);
static_assert(CViewSetting::TVMode == camera::IndexOf(camera::Setting::TV) &&
              CViewSetting::Flash == camera::IndexOf(camera::Setting::Flash));

// The pane's wake-up while it exists; held under the lock while woken, so the pane cannot go
// away meanwhile (waking never waits for the user-interface thread).
std::mutex gWakeupLock;
UiWakeup* gWakeup = nullptr;

camera::Setting KeyOf(int row) { return camera::kSettings[row].key; }

QString TitleOf(int row) { return QString::fromLatin1(camera::kSettings[row].title); }

QLabel* makeLabel(QWidget* parent, const QString& text, int top, const QFont& font) {
    auto* label = new CLabel(text, parent);
    label->setGeometry(0, top, 88, 14);   // up to the lists, which start at 90
    label->setFont(font);
    return label;
}

// Lets a list or the slider take the mouse wheel only while it has the keyboard focus, so
// scrolling over the pane never sends a setting to the camera by accident.
class WheelOnlyWhenFocused : public QObject {
public:
    using QObject::QObject;

    void guard(QWidget* control) {
        control->setFocusPolicy(Qt::StrongFocus);   // a wheel turn no longer takes the focus
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}   // namespace

CViewSetting::CViewSetting(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), font_(paneFont()) {
    for (int row = 0; row <= AFDistance; ++row) makeLabel(this, TitleOf(row), RowTop(row), font_);
    makeLabel(this, QStringLiteral("AF Lock"), kAfLockTop, font_);
    for (int row = AFDistance + 1; row < RowCount; ++row)
        makeLabel(this, TitleOf(row), RowTop(row), font_);
    makeLabel(this, QStringLiteral("Zoom"), kZoomTop, font_);
    EvenCaptionFonts(findChildren<QLabel*>(Qt::FindDirectChildrenOnly), font_);

    auto* wheelGuard = new WheelOnlyWhenFocused(this);
    auto makeCombo = [this, wheelGuard](int row) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("setting.%1").arg(row));
        wheelGuard->guard(combo);
        combo->setGeometry(90, RowTop(row) - 4, 100, 20);
        combo->setFont(font_);
        combo->setMaxVisibleItems(12);
        combos_[row] = combo;
        connect(combo, &QComboBox::activated, this,
                [this, row](int) { OnSelectionChanged(static_cast<Row>(row)); });
    };
    for (int row = 0; row <= AFDistance; ++row) makeCombo(row);

    afLock_ = new QCheckBox(this);
    afLock_->setObjectName(QStringLiteral("afLock"));
    // The whole box, centred on its caption's line (14 high).
    const QSize box = afLock_->sizeHint();
    afLock_->setGeometry(90, kAfLockTop + 7 - box.height() / 2, box.width(), box.height());
    afLock_->setFont(font_);
    // The pane sets the box's state itself: a click only asks for the change, so Qt's own
    // toggle is undone before the request is handled.
    connect(afLock_, &QCheckBox::clicked, this, [this](bool checked) {
        afLock_->setChecked(!checked);
        OnAFLockClicked();
    });

    for (int row = AFDistance + 1; row < RowCount; ++row) makeCombo(row);

    zoom_ = new QSlider(Qt::Horizontal, this);
    zoom_->setGeometry(90, kZoomTop - 4, 100, 20);
    zoom_->setTickPosition(QSlider::TicksAbove);
    zoom_->setObjectName(QStringLiteral("zoom"));
    wheelGuard->guard(zoom_);
    showZoomValue();
    connect(zoom_, &QSlider::valueChanged, this, [this](int) {
        showZoomValue();
        if (!filling_) OnZoomMoved();
    });

    wakeup_ = new UiWakeup([this] { RefreshFromCamera(); }, this);
    {
        std::lock_guard<std::mutex> guard(gWakeupLock);
        gWakeup = wakeup_;
    }
    if (document_) {
        document_->RegisterView(this, "Setting");
        document_->setOnSettingsChanged(&CViewSetting::CameraChangedSettings);
    }
}

CViewSetting::~CViewSetting() {
    std::lock_guard<std::mutex> guard(gWakeupLock);
    if (gWakeup == wakeup_) gWakeup = nullptr;
}

void CViewSetting::CameraChangedSettings() {
    std::lock_guard<std::mutex> guard(gWakeupLock);
    if (gWakeup) gWakeup->wake();
}

camera::CanonDriver* CViewSetting::chosenDriver() const {
    return document_ ? document_->openDriver() : nullptr;
}

void CViewSetting::refillList(Row row, const SettingValues& held) {
    QComboBox* combo = combos_[row];
    filling_ = true;
    combo->clear();
    combo->setCurrentIndex(-1);
    if (camera::CanonDriver* driver = chosenDriver()) {
        const std::string& current = held.label(KeyOf(row));
        int selected = -1;
        for (const camera::SettingOption& option : driver->Options(KeyOf(row))) {
            combo->addItem(QString::fromStdString(option.label));
            if (!current.empty() && option.label == current)
                selected = combo->count() - 1;   // the last match wins
        }
        combo->setCurrentIndex(selected);
    }
    filling_ = false;
}

void CViewSetting::refillImageSizeAndQuality(const SettingValues& held) {
    QComboBox* sizes = combos_[ImageSize];
    QComboBox* qualities = combos_[ImageQuality];
    filling_ = true;
    sizes->clear();
    qualities->clear();
    sizes->setCurrentIndex(-1);
    qualities->setCurrentIndex(-1);
    if (camera::CanonDriver* driver = chosenDriver()) {
        const std::string& currentSize = held.label(camera::Setting::ImageSize);
        const std::string& currentQuality = held.label(camera::Setting::ImageQuality);
        int selectedSize = -1;
        for (const camera::ImageSizeOption& size : driver->imageSizes()) {
            sizes->addItem(QString::fromStdString(size.label));
            if (currentSize.empty() || size.label != currentSize || selectedSize >= 0) continue;
            int selectedQuality = -1;
            for (const camera::SettingOption& quality : size.qualities) {
                qualities->addItem(QString::fromStdString(quality.label));
                if (!currentQuality.empty() && quality.label == currentQuality)
                    selectedQuality = qualities->count() - 1;
            }
            qualities->setCurrentIndex(selectedQuality);
            selectedSize = sizes->count() - 1;
        }
        sizes->setCurrentIndex(selectedSize);
    }
    filling_ = false;
}

void CViewSetting::readValues(camera::CanonDriver* driver) {
    // What the camera holds, read once through the session (which keeps it for a return).
    const SettingValues held = driver ? document_->cameraSession().Read() : SettingValues();
    refillImageSizeAndQuality(held);
    for (int row = ShootingMode; row < RowCount; ++row) refillList(static_cast<Row>(row), held);
    if (driver) {
        filling_ = true;
        zoom_->setRange(0, static_cast<int>(driver->maxZoomPos()));
        zoom_->setValue(static_cast<int>(held.zoom));
        filling_ = false;
        showZoomValue();
    }
}

void CViewSetting::RefreshSettings() {
    readValues(chosenDriver());
    afLock_->setChecked(false);
}

void CViewSetting::RefreshFromCamera() {
    camera::CanonDriver* driver = chosenDriver();
    if (!driver) return;
    // The values a camera allows follow its mode: a changed mode, AV or TV reads them anew.
    for (Row row : {ShootingMode, AVMode, TVMode})
        if (selectedText(row).toStdString() != driver->GetLabel(KeyOf(row))) {
            reEnumerateAndRefill(driver);
            break;
        }
    readValues(driver);   // the AF lock box keeps its state
}

void CViewSetting::reEnumerateAndRefill(camera::CanonDriver* driver) {
    if (driver == static_cast<camera::CanonDriver*>(&document_->rcDriver())) {
        driver->GetAVModes();
        driver->GetTVModes();
        const SettingValues held = document_->cameraSession().Read();
        refillList(AVMode, held);
        refillList(TVMode, held);
        return;
    }
    // Every list below the shooting mode follows it.
    driver->RelistFrom(camera::Setting::AV);
    const SettingValues held = document_->cameraSession().Read();
    for (int row = AVMode; row < RowCount; ++row) refillList(static_cast<Row>(row), held);
}

void CViewSetting::OnSelectionChanged(Row row) {
    if (row < 0 || row >= RowCount) return;
    QComboBox* combo = combos_[row];
    const std::string label =
        combo->currentIndex() >= 0 ? combo->currentText().toStdString() : std::string();
    camera::CanonDriver* driver = chosenDriver();
    if (driver) {
        SettingValues wanted;
        wanted.label(KeyOf(row)) = label;
        document_->cameraSession().Apply(wanted, camera::kNoBusyRetry);   // one try, at once
    }
    switch (row) {
        case ImageSize:
            // Also when no camera is open: both lists stay empty.
            refillImageSizeAndQuality(document_->cameraSession().held());
            break;
        case ShootingMode:
        case AVMode:
        case TVMode:
            if (driver) reEnumerateAndRefill(driver);
            break;
        default: break;
    }
}

void CViewSetting::OnAFLockClicked() {
    camera::CanonDriver* driver = chosenDriver();
    if (!driver) return;
    const bool lock = !afLock_->isChecked();
    driver->SetAFLock(lock);   // a failure is logged by the driver; the box follows the request
    afLock_->setChecked(lock);
}

void CViewSetting::showZoomValue() {
    zoom_->setToolTip(
        QStringLiteral("Zoom position %1 of %2").arg(zoom_->value()).arg(zoom_->maximum()));
    // While the slider is dragged or moved by the keys the position shows at once beside it.
    if (zoom_->isVisible() && (zoom_->isSliderDown() || zoom_->hasFocus()))
        QToolTip::showText(zoom_->mapToGlobal(QPoint(0, zoom_->height())), zoom_->toolTip(), zoom_);
}

void CViewSetting::OnZoomMoved() {
    if (chosenDriver() == nullptr) return;
    SettingValues wanted;
    wanted.hasZoom = true;
    wanted.zoom = static_cast<std::uint32_t>(zoom_->value());
    document_->cameraSession().Apply(wanted, camera::kNoBusyRetry);
}

QString CViewSetting::selectedText(Row row) const {
    if (row < 0 || row >= RowCount || combos_[row]->currentIndex() < 0) return {};
    return combos_[row]->currentText();
}

int CViewSetting::zoomPosition() const { return zoom_->value(); }

void CViewSetting::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Settings"), true);
}
