#pragma once

#include <QDialog>

// The start-up picture, shown centred on the screen while the hidden main
// window is made ready.
class CSplashDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDialog(QWidget *parent = nullptr);

    static QPixmap picture();
};
