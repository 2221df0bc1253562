#pragma once

#include <QPointer>
#include <QWidget>

// A ring in the highlight colour around a list or log while it has the keyboard focus.
// The style marks an item view's focus only on its current row, which a selection hides,
// so a keyboard user could not tell the user list with the focus from one without.
class FocusRing : public QWidget {
    Q_OBJECT

public:
    explicit FocusRing(QWidget* watched);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    QPointer<QWidget> watched_;
};
