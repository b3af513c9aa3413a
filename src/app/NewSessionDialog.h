// File > "New Session...": the session's name and the folder sessions are kept in (chosen once,
// then offered again), with the folder the session will get shown as it is typed.
#pragma once

#include <QDialog>

#include <ctime>

class QLabel;
class QLineEdit;
class QPushButton;

class NewSessionDialog : public QDialog {
    Q_OBJECT
public:
    // root: the folder sessions were kept in last (empty: none chosen yet); when: the date the
    // folder's name carries.
    NewSessionDialog(const QString& root, const std::tm& when, QWidget* parent = nullptr);
    QString name() const;
    QString root() const { return root_; }
    // As after a choice in "Folder..." (tests call it in place of the chooser).
    void setRoot(const QString& root);
    // "Will be /photos/2026-12-09 Smith/", or what is missing.
    QString folderText() const;

private:
    void chooseRoot();
    void update();

    std::tm when_;
    QString root_;
    QLineEdit* name_ = nullptr;
    QLabel* rootLabel_ = nullptr;
    QLabel* folder_ = nullptr;
    QPushButton* ok_ = nullptr;
};
