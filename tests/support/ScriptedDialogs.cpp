#include "ScriptedDialogs.h"

#include <algorithm>

ScriptedDialogs::ScriptedDialogs() {
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::install(nullptr);
}

QStringList ScriptedDialogs::texts(const QString& kind) const {
    QStringList out;
    for (const Asked& a : asked) {
        if (a.kind == kind)
            out.append(a.text);
    }
    return out;
}

QStringList ScriptedDialogs::allTexts() const {
    QStringList out;
    for (const Asked& a : asked)
        out.append(a.kind + QLatin1Char(':') + a.text);
    return out;
}

QStringList ScriptedDialogs::textsFor(const QWidget* parent, const QString& kind) const {
    QStringList out;
    for (const Asked& a : asked) {
        if (a.kind == kind && a.parent == parent)
            out.append(a.text);
    }
    return out;
}

void ScriptedDialogs::record(QWidget* parent, const QString& kind, const QString& text,
                             const QString& caption) {
    asked.append({kind, text, caption, parent});
    if (onShow)
        onShow();
}

void ScriptedDialogs::message(QWidget* parent, const QString& text) {
    record(parent, QStringLiteral("message"), text);
}

void ScriptedDialogs::error(QWidget* parent, const QString& text) {
    mostOpenErrors = std::max(mostOpenErrors, ++openErrors);
    record(parent, QStringLiteral("error"), text);
    --openErrors;
}

void ScriptedDialogs::errorDetails(const QString& details) {
    if (openErrors == 0)
        return;
    ++errorDetailsGiven;
    errorDetailsShown = details;
}

bool ScriptedDialogs::confirm(QWidget* parent, const QString& text) {
    record(parent, QStringLiteral("confirm"), text);
    return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::input(QWidget* parent, const QString& caption,
                                              const QString& prompt, const QString&) {
    record(parent, QStringLiteral("input"), prompt, caption);
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

std::optional<QColor> ScriptedDialogs::colour(QWidget* parent, const QColor& initial) {
    colourPresets.append(initial);
    record(parent, QStringLiteral("colour"), initial.name());
    return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::saveFile(QWidget* parent, const QString& filterName,
                                                 const QString& pattern) {
    record(parent, QStringLiteral("save"), filterName + QLatin1Char('|') + pattern);
    return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
}

QStringList ScriptedDialogs::openFiles(QWidget* parent, const QString& caption) {
    record(parent, QStringLiteral("open"), caption);
    return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::saveDownload(QWidget* parent, const QString& suggested) {
    record(parent, QStringLiteral("saveAs"), suggested);
    return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
}
