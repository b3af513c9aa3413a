// View > "Overlay...": which picture lies over the live view (none, a PNG or JPEG file, the last
// capture as a ghost), its opacity, fit or fill, its offset, and whether the Review tab's large
// view shows it too.
#pragma once

#include "capture/ViewOptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class OverlayDialog : public QDialog {
    Q_OBJECT
public:
    explicit OverlayDialog(const ViewOptions& options, QWidget* parent = nullptr);
    // options with the dialog's overlay fields (the rest as given).
    ViewOptions result() const;

private:
    ViewOptions options_;
    QComboBox* source_ = nullptr;
    QLineEdit* file_ = nullptr;
    QSpinBox* opacity_ = nullptr;
    QComboBox* fit_ = nullptr;
    QSpinBox* offsetX_ = nullptr;
    QSpinBox* offsetY_ = nullptr;
    QCheckBox* review_ = nullptr;
};
