#include "ui/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

QToolButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    // Read as what it does, not as its arrow: the hint without its key.
    b->setAccessibleName(tip.section(QLatin1Char(' '), 0, 0));
    return b;
}

} // namespace

FindBar::FindBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    findText = new QLineEdit(this);
    findText->setObjectName(QStringLiteral("findText"));
    findText->setPlaceholderText(QStringLiteral("查找"));
    findText->setClearButtonEnabled(false);
    findText->setAccessibleName(findText->placeholderText());
    findPrevious =
        button(this, "findPrevious", QStringLiteral("↑"), QStringLiteral("上一个 (Shift+Enter)"));
    findNext = button(this, "findNext", QStringLiteral("↓"), QStringLiteral("下一个 (Enter)"));
    findCount = new QLabel(this);
    findCount->setObjectName(QStringLiteral("findCount"));
    findClose = button(this, "findClose", QStringLiteral("×"), QStringLiteral("关闭 (Esc)"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(3, 2, 2, 2);
    row->setSpacing(1);
    row->addWidget(findText, 1);
    row->addWidget(findCount);
    row->addWidget(findPrevious);
    row->addWidget(findNext);
    row->addWidget(findClose);

    connect(findText, &QLineEdit::textChanged, this, &FindBar::textChanged);
    connect(findPrevious, &QToolButton::clicked, this, [this] { emit step(-1); });
    connect(findNext, &QToolButton::clicked, this, [this] { emit step(+1); });
    connect(findClose, &QToolButton::clicked, this, &FindBar::closed);
    findText->installEventFilter(this);
    hide();
}

void FindBar::showCount(int at, int matches) {
    findCount->setToolTip(QString());
    if (findText->text().isEmpty())
        findCount->clear();
    else if (matches == 0)
        findCount->setText(QStringLiteral("无结果"));
    else
        findCount->setText(QStringLiteral("%1/%2").arg(at < 0 ? 0 : at + 1).arg(matches));
}

void FindBar::showUnencodable() {
    // As short as the other counts: the bar is narrow in a whisper window.
    findCount->setText(QStringLiteral("无此字"));
    findCount->setToolTip(QStringLiteral("GB2312 里没有这个字"));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == findText && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Taken here, so the window's Escape shortcut does not see it.
        event->accept();
        return true;
    }
    if (watched == findText && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            emit closed();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit step(key->modifiers() & Qt::ShiftModifier ? -1 : +1);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
