// The About box: caption "Kestrel v1.3", the application icon at the left and "OK".
#pragma once

#include <QDialog>

class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QPushButton* okButton() const { return ok_; }

private:
    QPushButton* ok_;
};
