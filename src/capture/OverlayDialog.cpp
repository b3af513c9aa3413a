#include "capture/OverlayDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

OverlayDialog::OverlayDialog(const ViewOptions& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("Overlay"));
    auto* form = new QFormLayout(this);
    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("overlaySource"));
    source_->addItems({QStringLiteral("None"), QStringLiteral("Picture file"),
                       QStringLiteral("Last capture (onion skin)")});
    source_->setCurrentIndex(static_cast<int>(options.overlaySource));
    form->addRow(QStringLiteral("Overlay:"), source_);
    auto* fileRow = new QHBoxLayout;
    file_ = new QLineEdit(options.overlayFile, this);
    file_->setObjectName(QStringLiteral("overlayFile"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    fileRow->addWidget(file_);
    fileRow->addWidget(browse);
    form->addRow(QStringLiteral("PNG or JPEG:"), fileRow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Overlay picture"), file_->text(),
            QStringLiteral("Pictures (*.png *.jpg *.jpeg *.PNG *.JPG *.JPEG)"));
        if (path.isEmpty()) return;
        file_->setText(path);
        source_->setCurrentIndex(1);
    });
    opacity_ = new QSpinBox(this);
    opacity_->setObjectName(QStringLiteral("overlayOpacity"));
    opacity_->setRange(0, 100);
    opacity_->setSuffix(QStringLiteral(" %"));
    opacity_->setValue(options.overlayOpacity);
    form->addRow(QStringLiteral("Opacity:"), opacity_);
    fit_ = new QComboBox(this);
    fit_->setObjectName(QStringLiteral("overlayFit"));
    fit_->addItems({QStringLiteral("Fit (whole picture)"), QStringLiteral("Fill (view covered)")});
    fit_->setCurrentIndex(options.overlayFill ? 1 : 0);
    form->addRow(QStringLiteral("Size:"), fit_);
    const auto offset = [this](int value, const char* name) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(-100, 100);
        box->setSuffix(QStringLiteral(" %"));
        box->setValue(value);
        return box;
    };
    offsetX_ = offset(options.overlayOffsetX, "overlayOffsetX");
    offsetY_ = offset(options.overlayOffsetY, "overlayOffsetY");
    form->addRow(QStringLiteral("Offset right:"), offsetX_);
    form->addRow(QStringLiteral("Offset down:"), offsetY_);
    review_ = new QCheckBox(QStringLiteral("Also over the Review tab's large view"), this);
    review_->setObjectName(QStringLiteral("overlayReview"));
    review_->setChecked(options.overlayOnReview);
    form->addRow(review_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ViewOptions OverlayDialog::result() const {
    ViewOptions options = options_;
    options.overlaySource = static_cast<ViewOptions::OverlaySource>(source_->currentIndex());
    options.overlayFile = file_->text().trimmed();
    options.overlayOpacity = opacity_->value();
    options.overlayFill = fit_->currentIndex() == 1;
    options.overlayOffsetX = offsetX_->value();
    options.overlayOffsetY = offsetY_->value();
    options.overlayOnReview = review_->isChecked();
    return options;
}
