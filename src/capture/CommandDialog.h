// File > "Command After Each Picture...": the program run for each saved picture (its words and
// the {file}-style facts), whether it also runs at a session's start and end, and its time limit.
#pragma once

#include "document/PictureCommand.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class CommandDialog : public QDialog {
    Q_OBJECT
public:
    explicit CommandDialog(const hook::CommandSettings& settings, QWidget* parent = nullptr);
    hook::CommandSettings result() const;

private:
    QLineEdit* command_ = nullptr;
    QCheckBox* sessions_ = nullptr;
    QSpinBox* limit_ = nullptr;
};
