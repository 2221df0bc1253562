#pragma once

#include "ui/Dialogs.h"

#include <QColor>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Records every dialog the program asks for and answers from queues. With an
// empty queue a confirmation answers No, an input box and dialogs are cancelled.
// onShow runs while the "dialog is open", so a test can pump events there to
// reproduce the nested event loop of a real modal box.
class ScriptedDialogs : public Dialogs {
public:
    struct Asked {
        QString kind; // "message", "error", "confirm", "input", "colour", "save"
        QString text;
        QString caption;
        QWidget* parent = nullptr;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    QList<Asked> asked;
    QList<bool> confirmAnswers;
    QList<std::optional<QString>> inputAnswers;
    QList<std::optional<QColor>> colourAnswers;
    QList<std::optional<QString>> saveAnswers;
    QList<QStringList> openAnswers;
    QList<QColor> colourPresets;
    std::function<void()> onShow;
    // Error boxes open right now and the most ever open at once (nested, as with
    // real modal boxes); how often an open error box was given details, and the last.
    int openErrors = 0;
    int mostOpenErrors = 0;
    int errorDetailsGiven = 0;
    QString errorDetailsShown;

    QStringList texts(const QString& kind) const;
    // What one window asked, of one kind.
    QStringList textsFor(const QWidget* parent, const QString& kind) const;
    QStringList allTexts() const;
    void clear() { asked.clear(); }

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
    void record(QWidget* parent, const QString& kind, const QString& text,
                const QString& caption = {});
};
