#include "ScriptedDialogs.h"

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

void ScriptedDialogs::record(const QString& kind, const QString& text, const QString& caption) {
    asked.append({kind, text, caption});
    if (onShow)
        onShow();
}

void ScriptedDialogs::message(QWidget*, const QString& text) {
    record(QStringLiteral("message"), text);
}

void ScriptedDialogs::error(QWidget*, const QString& text) {
    record(QStringLiteral("error"), text);
}

bool ScriptedDialogs::confirm(QWidget*, const QString& text) {
    record(QStringLiteral("confirm"), text);
    return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::input(QWidget*, const QString& caption,
                                              const QString& prompt, const QString&) {
    record(QStringLiteral("input"), prompt, caption);
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

std::optional<QColor> ScriptedDialogs::colour(QWidget*, const QColor& initial) {
    colourPresets.append(initial);
    record(QStringLiteral("colour"), initial.name());
    return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::saveFile(QWidget*, const QString& filterName,
                                                 const QString& pattern) {
    record(QStringLiteral("save"), filterName + QLatin1Char('|') + pattern);
    return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
}
