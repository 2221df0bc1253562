#include "ui/PreviewWidgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

bool isPress(const QKeyEvent* event) {
    return event->modifiers() == Qt::NoModifier &&
           (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
            event->key() == Qt::Key_Enter);
}

// A dotted frame in the highlight colour, inset so that a shape's outline stays black.
void drawFocus(QWidget* widget, QPainter& painter, int inset) {
    if (!widget->hasFocus())
        return;
    painter.setPen(QPen(widget->palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(widget->rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

} // namespace

ColourShape::ColourShape(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void ColourShape::activate() {
    emit pressed(Qt::LeftButton, rect().center());
}

void ColourShape::keyPressEvent(QKeyEvent* event) {
    if (isPress(event))
        activate();
    else
        QWidget::keyPressEvent(event);
}

void ColourShape::setFillColour(const QColor& colour) {
    fill_ = colour;
    update();
}

void ColourShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill_);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    drawFocus(this, p, 2);
}

void ColourShape::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->button(), event->position().toPoint());
}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
}

void ClickLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter p(this);
    drawFocus(this, p, 0);
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
    if (isPress(event))
        activate();
    else
        QLabel::keyPressEvent(event);
}

QColor ClickLabel::textColour() const {
    return palette().color(QPalette::WindowText);
}

void ClickLabel::setTextColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (pressed_ && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        emit clicked();
    pressed_ = false;
}

PictureBox::PictureBox(bool transparent, QWidget* parent)
    : QWidget(parent), transparent_(transparent) {
    resize(32, 32);
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (shown_.isNull())
        return;
    QPainter p(this);
    if (devicePixelRatioF() > 1 && !sharp_.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QPointF(0, 0), sharp_);
        return;
    }
    p.drawImage(0, 0, shown_);
}

namespace {

// Pixels of the key colour become see-through.
QImage keyedOut(const QImage& picture, QRgb key) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == key)
                row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

} // namespace

void PictureBox::setPicture(const QImage& picture, const QImage& sharp) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QImage sharpImage = sharp.convertToFormat(QImage::Format_ARGB32);
    if (transparent_ && !image.isNull()) {
        // Both sizes see through the colour of the 32 x 32 picture's bottom-left pixel.
        const QRgb key = image.pixel(0, image.height() - 1);
        image = keyedOut(image, key);
        sharpImage = keyedOut(sharpImage, key);
    }
    shown_ = image;
    sharp_ = sharpImage;
    update();
}

void PictureBox::clearPicture() {
    shown_ = QImage();
    sharp_ = QImage();
    update();
}
