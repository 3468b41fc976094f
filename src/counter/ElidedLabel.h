#pragma once

#include <QLabel>

// A one-line label that never grows its layout for a long text: what does not fit is cut with
// "…" on screen and the whole text shows as its tooltip. text() and screen readers keep the whole
// text.
class ElidedLabel final : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override;
    // The text as drawn in the label's present width.
    QString shown() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
