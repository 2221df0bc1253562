#pragma once

#include <QWidget>

struct AppearanceControls;
class ChatPage;
class ClickLabel;
class ColourShape;
class FlatButton;
class PictureBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

// The settings page: role choice, client and host panels, colour preview and
// picture chooser inside Group1, and the end button that Group1 covers.
class SettingsPage : public QWidget {
    Q_OBJECT

public:
    explicit SettingsPage(QWidget* parent = nullptr);

    // Everything the colour and picture settings act on: this page's preview,
    // chooser and pictures, and the rest of the window.
    AppearanceControls appearanceControls(ChatPage* chat, QTabWidget* page, QListWidget* list2,
                                          QPushButton* Button1, QWidget* dialogParent) const;

    QGroupBox* Group1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;

    QWidget* Panel2;
    QLabel* Label1;
    QLineEdit* ip1;
    QLabel* Label2;
    QSpinBox* port1;
    QComboBox* rooms; // rooms announced on the network; choosing one fills ip1 and port1
    QLabel* Label3;
    QLineEdit* nc1;
    PictureBox* pic9;
    FlatButton* SpeedButton1;

    QWidget* Panel3;
    QLabel* Label5;
    QSpinBox* port2;
    QCheckBox* webJoin; // off by default, remembered in the program's own settings
    QLabel* Label4;
    QLineEdit* ip2;
    QLabel* Label6;
    QLineEdit* nc2;
    QCheckBox* roomHistory; // on by default, remembered in the program's own settings
    QCheckBox* announce;    // on by default, remembered in the program's own settings
    PictureBox* pic10;
    FlatButton* SpeedButton2;

    QLabel* Label17;
    QLabel* Label18;
    QLabel* Label19;
    QWidget* Panel5;
    ColourShape* colrich;
    ClickLabel* colsay;
    ColourShape* collist;
    ClickLabel* coluser;
    ColourShape* coltext;
    ClickLabel* colspeak;
    QLabel* Label16;
    QLabel* Label20;
    QComboBox* com1;
    PictureBox* pic11;

    PictureBox* pic12;
    FlatButton* overgame;

private:
    void buildClientPanel();
    void buildHostPanel();
    void buildAppearance();
};
