#pragma once

#include <QPushButton>
#include <QString>

// A push button of the FTP windows, found by tests by its name and control
// id; never the default button, so Return stays with the dialog's own.
inline QPushButton *ftpButton(const QString &text, const char *name, int id, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("controlId", id);
    b->setAutoDefault(false);
    return b;
}
