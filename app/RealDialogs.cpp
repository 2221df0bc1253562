#include "app/RealDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

void RealDialogs::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
    // Notices carry what peers typed: "<b>" must show as typed.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void RealDialogs::error(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    openError_ = &box;
    box.exec();
}

void RealDialogs::errorDetails(const QString& details) {
    if (openError_)
        openError_->setDetailedText(details);
}

bool RealDialogs::confirm(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                    QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> RealDialogs::input(QWidget* parent, const QString& caption,
                                          const QString& prompt, const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QColor> RealDialogs::colour(QWidget* parent, const QColor& initial) {
    QColorDialog dialog(initial, parent);
    // Custom colours are not kept from one use to the next.
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

std::optional<QString> RealDialogs::saveFile(QWidget* parent, const QString& filterName,
                                             const QString& pattern) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filterName + QLatin1String(" (") + pattern + QLatin1Char(')'));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

QStringList RealDialogs::openFiles(QWidget* parent, const QString& caption) {
    return QFileDialog::getOpenFileNames(parent, caption);
}

std::optional<QString> RealDialogs::saveDownload(QWidget* parent, const QString& suggested) {
    // Qt's dialog asks before a name that exists is chosen; the download never replaces it anyway.
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("另存为"), suggested);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}
