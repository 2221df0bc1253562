#include "ui/Accessibility.h"

#include "ui/FocusRing.h"
#include "ui/PreviewWidgets.h"

#include <QAccessibleWidget>
#include <QFocusFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

namespace {

// Children as the user sees them: a control hidden on purpose is no control at all.
class ShownChildren : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface* child(int index) const override {
        const QWidgetList children = shown();
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr)
            return -1;
        return int(shown().indexOf(qobject_cast<QWidget*>(child->object())));
    }
    QString text(QAccessible::Text t) const override {
        // A group says its title, as the toolkit's own group interface does.
        const auto* group = qobject_cast<const QGroupBox*>(object());
        if (t == QAccessible::Name && group != nullptr && widget()->accessibleName().isEmpty())
            return QString(group->title()).remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }

private:
    QWidgetList shown() const {
        QWidgetList out;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            // A focus ring is drawing, not a control.
            if (w != nullptr && !w->isWindow() && !w->isHidden() &&
                qobject_cast<QMenu*>(w) == nullptr && qobject_cast<QFocusFrame*>(w) == nullptr &&
                qobject_cast<FocusRing*>(w) == nullptr)
                out.append(w);
        }
        return out;
    }
};

// A preview sample: a button that opens the colour dialog for what it shows.
class PreviewSample : public QAccessibleWidget {
public:
    explicit PreviewSample(QWidget* w) : QAccessibleWidget(w, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action != pressAction() || !widget()->isEnabled())
            return;
        if (auto* shape = qobject_cast<ColourShape*>(widget()))
            shape->activate();
        else if (auto* label = qobject_cast<ClickLabel*>(widget()))
            label->activate();
    }
    QString text(QAccessible::Text t) const override {
        // The sample's own text (a ClickLabel's) says what it looks like now.
        const auto* label = qobject_cast<const QLabel*>(object());
        if (t == QAccessible::Description && label != nullptr)
            return label->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (w == nullptr)
        return nullptr;
    if (className == QLatin1String("ColourShape") || className == QLatin1String("ClickLabel"))
        return new PreviewSample(w);
    if (className == QLatin1String("QFrame"))
        return new ShownChildren(w, QAccessible::Border);
    if (className == QLatin1String("QStatusBar"))
        return new ShownChildren(w, QAccessible::StatusBar);
    if (className == QLatin1String("QStackedWidget"))
        return new ShownChildren(w, QAccessible::LayeredPane);
    if (className == QLatin1String("QGroupBox") && !static_cast<QGroupBox*>(w)->isCheckable())
        return new ShownChildren(w, QAccessible::Grouping);
    if (className == QLatin1String("QWidget"))
        return new ShownChildren(w, w->windowType() == Qt::Window ? QAccessible::Window
                                                                  : QAccessible::Client);
    return nullptr;
}

} // namespace

namespace a11y {

void install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

void setSpokenText(QLabel* label, const QString& meaning, const QString& text) {
    label->setText(text);
    // Sends the name change itself, so a reader that follows the label hears the news.
    label->setAccessibleName((meaning + QLatin1Char(' ') + text).trimmed());
}

} // namespace a11y
