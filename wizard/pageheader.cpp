#include "wizard/pageheader.h"

#include "wizard/wizardpictures.h"

#include <QHBoxLayout>

QLabel *addPageHeader(QWidget *page, QBoxLayout *layout, const QString &text, int bitmapId)
{
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(text, page);
    label->setObjectName(QStringLiteral("pageText"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *picture = new QLabel(page);
    picture->setObjectName(QStringLiteral("pagePicture"));
    picture->setProperty("bitmapId", bitmapId);
    picture->setPixmap(wizardPicture(bitmapId));
    picture->setAlignment(Qt::AlignRight | Qt::AlignTop);
    row->addWidget(label, 1);
    row->addWidget(picture);
    layout->addLayout(row);
    return label;
}
