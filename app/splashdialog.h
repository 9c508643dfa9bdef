#pragma once

#include <QDialog>

// The start-up picture, shown centred on the screen while the hidden main
// window is made ready.
class CSplashDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDialog(QWidget *parent = nullptr);

    // Closes the picture after `milliseconds`, by a timer of its own
    // ("splashTimer") that a test can find and fire instead of waiting.
    void closeAfter(int milliseconds);

    static QPixmap picture();
};
