#pragma once

#include "appearance/SettingsList.h"

#include <QColor>
#include <QObject>
#include <QPoint>
#include <array>
#include <functional>

class ClickLabel;
class ColourShape;
class ImageList;
class PictureBox;
class PictureSets;
class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QWidget;

// The controls the appearance works on; the main window owns them all.
struct AppearanceControls {
    QListWidget* list2 = nullptr;
    QPushButton* Button1 = nullptr;
    QTabWidget* page = nullptr;
    QMenu* pop1 = nullptr; // items in order: slots 6, 7, 8
    QMenu* pop2 = nullptr; // items in order: slots 3, 4, 5
    ColourShape* colrich = nullptr;
    ClickLabel* colsay = nullptr;
    ColourShape* collist = nullptr;
    ClickLabel* coluser = nullptr;
    ColourShape* coltext = nullptr;
    ClickLabel* colspeak = nullptr;
    QComboBox* com1 = nullptr;
    PictureBox* pic9 = nullptr;
    PictureBox* pic10 = nullptr;
    PictureBox* pic11 = nullptr;
    PictureBox* pic12 = nullptr;
    QWidget* Memo1 = nullptr; // the chat log
    QLineEdit* Edit5 = nullptr;
    QListWidget* list1 = nullptr;
    QWidget* dialogParent = nullptr;
};

// The colour preview with col.col, and the picture sets. Built with the main
// window: fills list2 with the defaults and com1 with its items, gives the tabs and
// menus set 0 and wires the preview, com1 and Button1 through the error boundary.
class Appearance : public QObject {
    Q_OBJECT

public:
    explicit Appearance(const AppearanceControls& controls, QObject* parent = nullptr);
    ~Appearance() override;

    // The last step of the main window's creation. Raises the load errors; the
    // caller's boundary shows them.
    void loadAndApply();

    void colsayClick();
    void colrichMouseDown(Qt::MouseButton button, QPoint at);
    void colspeakClick();
    void coltextMouseDown(Qt::MouseButton button, QPoint at);
    void coluserClick();
    void collistMouseDown(Qt::MouseButton button, QPoint at);

    void com1Change();
    // Applies the set selected in com1 and saves its number as entry 6.
    void Button1Click();

    SettingsList& settingsList() { return settings_; }
    const PictureSets& pictureSets() const { return *sets_; }

private:
    struct ColourBinding {
        int entry;
        std::function<QColor()> element;
        std::function<void(const QColor&)> setElement;
        std::function<void(const QColor&)> setTarget;
    };

    void wire();
    void changeColour(const ColourBinding& binding);
    void showSet(const ImageList& set);

    AppearanceControls c_;
    SettingsList settings_;
    PictureSets* sets_;
    std::array<ColourBinding, 6> colours_;
    std::array<QAction*, 9> menuItems_{}; // by slot; slots 0..2 are the tabs
};
