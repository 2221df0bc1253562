#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

// A filled rectangle with a one-pixel outline that reports mouse presses; from the
// keyboard, Space or Enter on it counts as a press of the left button in its middle.
class ColourShape : public QWidget {
    Q_OBJECT

public:
    explicit ColourShape(QWidget* parent = nullptr);
    QColor fillColour() const { return fill_; }
    void setFillColour(const QColor& colour);
    void activate();

signals:
    void pressed(Qt::MouseButton button, QPoint at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor fill_ = Qt::white;
};

// A transparent label that reports clicks and carries its own text colour; Space or
// Enter on it counts as a click.
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    ClickLabel(const QString& text, QWidget* parent = nullptr);
    QColor textColour() const;
    void setTextColour(const QColor& colour);
    void activate() { emit clicked(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool pressed_ = false;
};

// A 32 x 32 picture control; a transparent one lets the colour of its picture's
// bottom-left pixel show the page through.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    PictureBox(bool transparent, QWidget* parent = nullptr);
    bool isTransparent() const { return transparent_; }
    // `sharp`, when given, is the same picture for a scale of 2 (device pixel ratio 2).
    void setPicture(const QImage& picture, const QImage& sharp = QImage());
    void clearPicture();
    bool hasPicture() const { return !shown_.isNull(); }
    QImage shownImage() const { return shown_; }

protected:
    // Drawn as is: a disabled panel must not grey the picture.
    void paintEvent(QPaintEvent* event) override;

private:
    bool transparent_;
    QImage shown_;
    QImage sharp_;
};
