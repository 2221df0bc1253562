#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QStringList>

// A QR code of text, black on white, scale pixels to a module, with the quiet zone of
// four modules that readers need around it; a null image if no code can hold text.
QImage qrImage(const QByteArray& text, int scale);

// The addresses of the web page on webPort that other machines can open: one for each
// interface address, or the loopback one when the machine has none.
QStringList webJoinUrls(int webPort);

// "手机加入": a code and, beneath it, the address as text for each of urls.
class QrDialog : public QDialog {
    Q_OBJECT

public:
    QrDialog(const QStringList& urls, QWidget* parent);

    const QStringList& urls() const { return urls_; }

private:
    QStringList urls_;
};

// Shows the codes for the web page on webPort, or brings back the window already showing
// them; one whose addresses have changed since is replaced.
void showWebQr(QWidget* parent, int webPort);
