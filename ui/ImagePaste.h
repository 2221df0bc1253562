#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

class QLineEdit;

// Ctrl+V in an input line with a picture on the clipboard (a screenshot tool's copy)
// hands the picture to `onImage` as PNG bytes, as captured where the clipboard has
// them so; with text on the clipboard, the line pastes as it always did.
class ImagePaste : public QObject {
public:
    static void enable(QLineEdit* edit, std::function<void(const QByteArray& png)> onImage);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ImagePaste(QObject* parent, std::function<void(const QByteArray&)> onImage)
        : QObject(parent), onImage_(std::move(onImage)) {}
    std::function<void(const QByteArray&)> onImage_;
};
