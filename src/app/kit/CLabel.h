// A static text that paints only its text, from the top, with its own horizontal alignment,
// on a transparent background: the pane's colour shows through.
#pragma once

#include <QLabel>

class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);
    explicit CLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
