#include "appearance/Appearance.h"

#include "appearance/ColourValue.h"
#include "appearance/PictureSets.h"
#include "appearance/SetChooser.h"
#include "appearance/SettingsFile.h"
#include "appearance/WidgetColours.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "ui/PreviewWidgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace {

constexpr int setEntry = 6;
constexpr int firstPictureSlot = 9;

void bindMenu(std::array<QAction*, 9>& items, QMenu* menu, int firstSlot) {
    int slot = firstSlot;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        if (slot == firstSlot + 3)
            break;
        items[static_cast<std::size_t>(slot++)] = action;
    }
}

// A fresh surface of the control's size with the picture at its top-left corner.
QImage drawnInto(const PictureBox* box, const QImage& picture) {
    const qreal ratio = picture.devicePixelRatio();
    QImage surface(box->size() * ratio, QImage::Format_RGB32);
    surface.setDevicePixelRatio(ratio);
    surface.fill(Qt::white);
    QPainter painter(&surface);
    painter.drawImage(0, 0, picture);
    return surface;
}

void showIn(PictureBox* box, const ImageList& set, int slot) {
    const QImage sharp = set.sharpPicture(slot);
    box->setPicture(drawnInto(box, set.picture(slot)),
                    sharp.isNull() ? sharp : drawnInto(box, sharp));
}

} // namespace

Appearance::Appearance(const AppearanceControls& controls, QObject* parent)
    : QObject(parent), c_(controls), settings_(controls.list2), sets_(new PictureSets(this)) {
    auto shape = [](ColourShape* s) {
        return std::pair{
            std::function<QColor()>([s] { return s->fillColour(); }),
            std::function<void(const QColor&)>([s](const QColor& c) { s->setFillColour(c); })};
    };
    auto label = [](ClickLabel* l) {
        return std::pair{
            std::function<QColor()>([l] { return l->textColour(); }),
            std::function<void(const QColor&)>([l](const QColor& c) { l->setTextColour(c); })};
    };
    auto text = [](QWidget* w) {
        return [w](const QColor& c) { appearance::setTextColour(w, c); };
    };
    auto back = [](QWidget* w) {
        return [w](const QColor& c) { appearance::setBackgroundColour(w, c); };
    };
    const auto [sayGet, saySet] = label(c_.colsay);
    const auto [richGet, richSet] = shape(c_.colrich);
    const auto [speakGet, speakSet] = label(c_.colspeak);
    const auto [textGet, textSet] = shape(c_.coltext);
    const auto [userGet, userSet] = label(c_.coluser);
    const auto [listGet, listSet] = shape(c_.collist);
    colours_ = {{{0, sayGet, saySet, text(c_.Memo1)},
                 {1, richGet, richSet, back(c_.Memo1)},
                 {2, speakGet, speakSet, text(c_.Edit5)},
                 {3, textGet, textSet, back(c_.Edit5)},
                 {4, userGet, userSet, text(c_.list1)},
                 {5, listGet, listSet, back(c_.list1)}}};

    bindMenu(menuItems_, c_.pop2, 3);
    bindMenu(menuItems_, c_.pop1, 6);
    setUpSetChooser(c_.com1);
    showSet(*sets_->set(0));
    wire();
}

Appearance::~Appearance() = default;

void Appearance::wire() {
    connect(c_.colsay, &ClickLabel::clicked, this, guarded([this] { colsayClick(); }));
    connect(c_.colspeak, &ClickLabel::clicked, this, guarded([this] { colspeakClick(); }));
    connect(c_.coluser, &ClickLabel::clicked, this, guarded([this] { coluserClick(); }));
    connect(c_.colrich, &ColourShape::pressed, this,
            guarded([this](Qt::MouseButton b, QPoint at) { colrichMouseDown(b, at); }));
    connect(c_.coltext, &ColourShape::pressed, this,
            guarded([this](Qt::MouseButton b, QPoint at) { coltextMouseDown(b, at); }));
    connect(c_.collist, &ColourShape::pressed, this,
            guarded([this](Qt::MouseButton b, QPoint at) { collistMouseDown(b, at); }));
    // Only the user's choices: activated is not emitted for a selection made by the
    // program, and is emitted for every arrow-key step on the closed list.
    connect(c_.com1, &QComboBox::activated, this, guarded([this] { com1Change(); }));
    connect(c_.Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
}

void Appearance::loadAndApply() {
    if (!appearance::settingsFileExists(appearance::settingsFileName)) {
        settings_.save();
        c_.com1->setCurrentIndex(0);
        c_.Button1->click();
        return;
    }
    settings_.load();
    for (const ColourBinding& b : colours_) {
        b.setElement(appearance::colourFromValue(appearance::toInteger(settings_.entry(b.entry))));
        b.setTarget(b.element());
    }
    const qint32 set = appearance::toInteger(settings_.entry(setEntry));
    c_.com1->setCurrentIndex(set >= 0 && set < PictureSets::setCount ? set : -1);
    c_.Button1->click();
}

void Appearance::changeColour(const ColourBinding& b) {
    const std::optional<QColor> chosen = Dialogs::instance().colour(c_.dialogParent, b.element());
    if (!chosen)
        return;
    const QColor colour = chosen->toRgb();
    b.setElement(colour);
    settings_.writeEntry(b.entry, QByteArray::number(appearance::valueFromColour(colour)));
    b.setTarget(colour);
    settings_.save();
}

void Appearance::colsayClick() {
    changeColour(colours_[0]);
}

void Appearance::colrichMouseDown(Qt::MouseButton, QPoint) {
    changeColour(colours_[1]);
}

void Appearance::colspeakClick() {
    changeColour(colours_[2]);
}

void Appearance::coltextMouseDown(Qt::MouseButton, QPoint) {
    changeColour(colours_[3]);
}

void Appearance::coluserClick() {
    changeColour(colours_[4]);
}

void Appearance::collistMouseDown(Qt::MouseButton, QPoint) {
    changeColour(colours_[5]);
}

void Appearance::com1Change() {
    c_.Button1->click();
}

void Appearance::Button1Click() {
    PictureBox* pictures[] = {c_.pic9, c_.pic10, c_.pic11, c_.pic12};
    for (PictureBox* pic : pictures)
        pic->clearPicture();
    const int n = c_.com1->currentIndex();
    if (const ImageList* set = sets_->set(n)) {
        showSet(*set);
        for (int i = 0; i < 4; ++i)
            showIn(pictures[i], *set, firstPictureSlot + i);
    }
    settings_.writeEntry(setEntry, QByteArray::number(n));
    settings_.save();
}

void Appearance::showSet(const ImageList& set) {
    for (int slot = 0; slot < 3 && slot < c_.page->count(); ++slot)
        c_.page->setTabIcon(slot, set.icon(slot));
    for (int slot = 3; slot < 9; ++slot) {
        if (QAction* item = menuItems_[static_cast<std::size_t>(slot)])
            item->setIcon(set.icon(slot));
    }
}
