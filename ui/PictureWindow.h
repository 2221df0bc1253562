#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

// One picture, whole, in a window of its own, with 另存为. The picture comes decoded
// and fitted to the screen already; the window only shows it.
class PictureWindow : public QWidget {
    Q_OBJECT
public:
    PictureWindow(QWidget* owner, const QString& name, const QImage& image,
                  std::function<void()> onSaveAs);

    QLabel* picture;
    QPushButton* saveAs;
};
