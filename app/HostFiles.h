#pragma once

#include <QWidget>

class QSpinBox;
class QTreeWidget;
class WebGateway;

// The host's view of the room's files: who sent what, how big, removing any;
// and the limits, kept in the program's settings.
class HostFiles : public QWidget {
    Q_OBJECT
public:
    HostFiles(WebGateway& web, QWidget* owner);

    // Reads the list again from the store.
    void refresh();
    // The limits as the settings hold them, given to the gateway.
    static void applyLimits(WebGateway& web);

    QSpinBox* perFile;
    QSpinBox* perRoom;
    QTreeWidget* list;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void removeChosen();
    WebGateway& web_;
};
