#pragma once

#include "ui/Dialogs.h"

#include <QPointer>

class QMessageBox;

// The dialogs a user sees: QMessageBox, QInputDialog, QColorDialog, QFileDialog.
class RealDialogs : public Dialogs {
public:
    void message(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void errorDetails(const QString& details) override;
    bool confirm(QWidget* parent, const QString& text) override;
    std::optional<QString> input(QWidget* parent, const QString& caption, const QString& prompt,
                                 const QString& initial) override;
    std::optional<QColor> colour(QWidget* parent, const QColor& initial) override;
    QStringList openFiles(QWidget* parent, const QString& caption) override;
    std::optional<QString> saveDownload(QWidget* parent, const QString& suggested) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& filterName,
                                    const QString& pattern) override;

private:
    QPointer<QMessageBox> openError_;
};
