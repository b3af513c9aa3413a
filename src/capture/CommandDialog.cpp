#include "capture/CommandDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

CommandDialog::CommandDialog(const hook::CommandSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Command After Each Picture"));
    auto* form = new QFormLayout(this);
    command_ = new QLineEdit(QString::fromStdString(settings.command), this);
    command_->setObjectName(QStringLiteral("command"));
    command_->setPlaceholderText(QStringLiteral("cp -n {file} /media/backup/"));
    command_->setMinimumWidth(360);
    form->addRow(QStringLiteral("Command:"), command_);
    auto* help = new QLabel(
        QStringLiteral("Run without a shell; words split at spaces, quotes as in a shell.\n"
                       "{action} {file} {folder} {number} {camera} {session} are replaced;\n"
                       "KESTREL_ACTION, KESTREL_FILE, ... are in its environment."),
        this);
    form->addRow(help);
    sessions_ = new QCheckBox(QStringLiteral("Also at the start and end of a session"), this);
    sessions_->setObjectName(QStringLiteral("commandSessions"));
    sessions_->setChecked(settings.sessions);
    form->addRow(sessions_);
    limit_ = new QSpinBox(this);
    limit_->setObjectName(QStringLiteral("commandLimit"));
    limit_->setRange(1, hook::CommandSettings::kMaxLimitSeconds);
    limit_->setSuffix(QStringLiteral(" s"));
    limit_->setValue(settings.limitSeconds);
    form->addRow(QStringLiteral("Time limit:"), limit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

hook::CommandSettings CommandDialog::result() const {
    return {command_->text().trimmed().toStdString(), sessions_->isChecked(), limit_->value()};
}
