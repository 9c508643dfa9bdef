#pragma once

#include <QLabel>
#include <QString>

class QBoxLayout;
class QWidget;

// The top of pages 2 to 4: the page's fixed text, with its picture beside it.
QLabel *addPageHeader(QWidget *page, QBoxLayout *layout, const QString &text, int bitmapId);
