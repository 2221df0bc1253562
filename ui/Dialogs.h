#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Every message box, confirmation, input box, colour dialog and save dialog of the
// program goes through here, so tests can answer them without a real modal box.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Plain notice: the application title as caption, one OK button.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // Error box: error icon, OK, the application title as caption.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // Replaces the details of the error box that is open (nothing when none is).
    virtual void errorDetails(const QString& details) = 0;
    // Information icon, caption "Information", "&Yes" / "&No"; true only for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // Input box; nothing when cancelled.
    virtual std::optional<QString> input(QWidget* parent, const QString& caption,
                                         const QString& prompt, const QString& initial) = 0;
    // Standard colour dialog preset to a colour; nothing when cancelled.
    virtual std::optional<QColor> colour(QWidget* parent, const QColor& initial) = 0;
    // Save-file dialog with one filter ("文本文件(txt)", "*.txt"); nothing when cancelled.
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& filterName,
                                            const QString& pattern) = 0;

    // Files to send, chosen in an open dialog; empty when cancelled.
    virtual QStringList openFiles(QWidget* parent, const QString& caption) = 0;

    // Where to save a received file, the suggestion filled in; nothing when cancelled.
    virtual std::optional<QString> saveDownload(QWidget* parent, const QString& suggested) = 0;

    // The program has exactly one dialog service; tests swap in a scripted one.
    static Dialogs& instance();
    static void install(Dialogs* dialogs);
};

// The application title, used as the caption of notices and error boxes.
QString applicationTitle();
