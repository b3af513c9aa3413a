// A static text that paints only its text, from the top, with its own horizontal alignment,
// on a transparent background: the pane's colour shows through. Text wider than the label is
// set in a smaller pixel size (not below kMinimumPixelSize) instead of being cut off.
#pragma once

#include <QLabel>

class CLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kMinimumPixelSize = 9;

    explicit CLabel(QWidget* parent = nullptr);
    explicit CLabel(const QString& text, QWidget* parent = nullptr);

    // The font the text is drawn in: font, made smaller until text fits width.
    static QFont FittedFont(const QFont& font, const QString& text, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
};
