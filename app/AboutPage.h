#pragma once

#include <QWidget>

// The about page: icon, name, portrait and a short introduction.
class AboutPage : public QWidget {
    Q_OBJECT

public:
    explicit AboutPage(QWidget* parent = nullptr);
};
