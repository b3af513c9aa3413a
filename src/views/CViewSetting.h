// The settings pane: twelve drop-down lists, the AF lock box and the zoom slider, all read from
// the driver with an open camera and written back to it by label.
#pragma once

#include "camera/Setting.h"
#include "document/CView.h"
#include "document/SettingValues.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <array>

class CViewDoc;
class QCheckBox;
class QComboBox;
class QSlider;
class UiWakeup;
namespace camera {
class CanonDriver;
}

class CViewSetting : public QWidget, public CView {
    Q_OBJECT
public:
    // The twelve lists, top to bottom: the index of their camera::Setting key, under its name
    // (AVMode and TVMode are the pane's older names of AV and TV).
#define KESTREL_SETTING_ROW(Key, ...) Key,
    enum Row { KESTREL_ALL_SETTINGS(KESTREL_SETTING_ROW) RowCount, AVMode = AV, TVMode = TV };
#undef KESTREL_SETTING_ROW

    explicit CViewSetting(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewSetting() override;

    // Refills every control from the driver with an open camera; empties the lists and clears
    // the AF lock box when none is open. The slider keeps its range and position then.
    void RefreshSettings();
    // Reads the camera's values back into the controls quietly: nothing is logged (unless a
    // read fails) and nothing is sent to the camera; the AF lock box keeps its state. Called
    // when the camera's settings changed without the pane (a Time run's photo steps, a dial
    // turned on the body). With no camera open it does nothing. User-interface thread.
    void RefreshFromCamera();
    // The document's settings receiver: the camera changed a setting by itself. Any thread;
    // the pane reads the settings again on the user-interface thread, once for a burst.
    static void CameraChangedSettings();

    // What the timed sequence records: the selected text of a list and the zoom position.
    QString selectedText(Row row) const;
    int zoomPosition() const;

    // The user's actions, also callable directly.
    void OnSelectionChanged(Row row);
    void OnAFLockClicked();
    void OnZoomMoved();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    camera::CanonDriver* chosenDriver() const;
    // Each list from the driver's options, the value held selected.
    void refillList(Row row, const SettingValues& held);
    void refillImageSizeAndQuality(const SettingValues& held);
    void reEnumerateAndRefill(camera::CanonDriver* driver);
    void showZoomValue();                           // the slider's tooltip names its position
    void readValues(camera::CanonDriver* driver);   // every list and the slider, from driver

    CViewDoc* document_;
    QFont font_;
    std::array<QComboBox*, RowCount> combos_{};
    QCheckBox* afLock_ = nullptr;
    QSlider* zoom_ = nullptr;
    bool filling_ = false;         // true while the pane itself fills a list
    UiWakeup* wakeup_ = nullptr;   // woken by CameraChangedSettings; a child of the pane
};
