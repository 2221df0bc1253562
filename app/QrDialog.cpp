#include "app/QrDialog.h"

#include "app/LocalAddress.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <memory>
#include <qrencode.h>

namespace {

constexpr int kQuietZone = 4;  // modules of white on each side
constexpr int kCodeSide = 200; // about how wide a code is drawn, in logical pixels
constexpr int kColumns = 3;    // codes side by side before a new row starts

QLabel* codeLabel(const QString& url, qreal pixelRatio) {
    auto* label = new QLabel;
    label->setObjectName(QStringLiteral("webQrCode"));
    label->setAlignment(Qt::AlignCenter);
    const QByteArray text = url.toLatin1();
    const int side = qrImage(text, 1).width();
    if (side == 0)
        return label;
    // Whole device pixels to a module, so every edge stays sharp at any scale.
    const int scale = qMax(1, qRound(qMax(1, kCodeSide / side) * pixelRatio));
    QPixmap code = QPixmap::fromImage(qrImage(text, scale));
    code.setDevicePixelRatio(pixelRatio);
    label->setPixmap(code);
    return label;
}

QLabel* urlLabel(const QString& url) {
    auto* label = new QLabel(url);
    label->setObjectName(QStringLiteral("webQrUrl"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

QImage qrImage(const QByteArray& text, int scale) {
    if (scale < 1)
        return {};
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeData(int(text.size()), reinterpret_cast<const unsigned char*>(text.data()), 0,
                          QR_ECLEVEL_M),
        QRcode_free);
    if (!code)
        return {};
    const int modules = code->width;
    const int side = (modules + 2 * kQuietZone) * scale;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            if ((code->data[y * modules + x] & 1) == 0)
                continue;
            for (int row = 0; row < scale; ++row) {
                uchar* line = image.scanLine((kQuietZone + y) * scale + row);
                std::memset(line + (kQuietZone + x) * scale, 0, std::size_t(scale));
            }
        }
    }
    return image;
}

QStringList webJoinUrls(int webPort) {
    QStringList addresses = interfaceAddresses();
    if (addresses.isEmpty())
        addresses.append(QStringLiteral("127.0.0.1"));
    QStringList urls;
    for (const QString& address : addresses)
        urls.append(QStringLiteral("http://%1:%2/").arg(address).arg(webPort));
    return urls;
}

QrDialog::QrDialog(const QStringList& urls, QWidget* parent) : QDialog(parent), urls_(urls) {
    setObjectName(QStringLiteral("QrDialog"));
    setWindowTitle(QStringLiteral("手机加入"));
    if (parent != nullptr)
        setFont(parent->font()); // a window does not take its owner's font by itself

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* hint = new QLabel(QStringLiteral("用手机扫描二维码,在浏览器里加入聊天室"));
    hint->setObjectName(QStringLiteral("webQrHint"));
    layout->addWidget(hint);

    auto* codes = new QGridLayout;
    codes->setHorizontalSpacing(16);
    for (int i = 0; i < urls.size(); ++i) {
        const int row = (i / kColumns) * 2;
        const int column = i % kColumns;
        codes->addWidget(codeLabel(urls[i], devicePixelRatioF()), row, column);
        codes->addWidget(urlLabel(urls[i]), row + 1, column);
    }
    layout->addLayout(codes);

    auto* close = new QPushButton(QStringLiteral("关闭(&C)"));
    close->setObjectName(QStringLiteral("webQrClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
}

void showWebQr(QWidget* parent, int webPort) {
    const QStringList urls = webJoinUrls(webPort);
    auto* dialog = parent->findChild<QrDialog*>(QString(), Qt::FindDirectChildrenOnly);
    if (dialog != nullptr && dialog->urls() != urls) {
        delete dialog;
        dialog = nullptr;
    }
    if (dialog == nullptr) {
        dialog = new QrDialog(urls, parent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
