#include "app/NewSessionDialog.h"

#include "document/Sessions.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

NewSessionDialog::NewSessionDialog(const QString& root, const std::tm& when, QWidget* parent)
    : QDialog(parent), when_(when), root_(root) {
    setWindowTitle(QStringLiteral("New Session"));
    auto* form = new QFormLayout(this);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("sessionName"));
    name_->setPlaceholderText(QStringLiteral("Smith wedding"));
    name_->setMinimumWidth(280);
    form->addRow(QStringLiteral("Name:"), name_);
    auto* rootRow = new QHBoxLayout;
    rootLabel_ = new QLabel(this);
    rootLabel_->setObjectName(QStringLiteral("sessionRoot"));
    auto* change = new QPushButton(QStringLiteral("Folder..."), this);
    change->setObjectName(QStringLiteral("sessionRootButton"));
    rootRow->addWidget(rootLabel_, 1);
    rootRow->addWidget(change);
    form->addRow(QStringLiteral("In:"), rootRow);
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("sessionFolder"));
    form->addRow(folder_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(change, &QPushButton::clicked, this, &NewSessionDialog::chooseRoot);
    connect(name_, &QLineEdit::textChanged, this, &NewSessionDialog::update);
    form->addRow(buttons);
    update();
}

QString NewSessionDialog::name() const { return name_->text().trimmed(); }

void NewSessionDialog::setRoot(const QString& root) {
    if (root.isEmpty()) return;
    root_ = root;
    update();
}

void NewSessionDialog::chooseRoot() {
    setRoot(
        QFileDialog::getExistingDirectory(this, QStringLiteral("Where to keep sessions?"), root_));
}

QString NewSessionDialog::folderText() const {
    if (root_.isEmpty()) return QStringLiteral("Choose the folder sessions are kept in.");
    if (name().isEmpty()) return QStringLiteral("Type the session's name.");
    QString folder = root_;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return QStringLiteral("Will be ") + folder +
           QString::fromStdString(sessions::FolderName(when_, name().toStdString())) +
           QLatin1Char('/');
}

void NewSessionDialog::update() {
    rootLabel_->setText(root_.isEmpty() ? QStringLiteral("(not chosen)") : root_);
    folder_->setText(folderText());
    ok_->setEnabled(!root_.isEmpty() && !name().isEmpty());
}
