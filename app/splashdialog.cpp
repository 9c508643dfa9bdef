#include "app/splashdialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/quorelids.h"

CSplashDialog::CSplashDialog(QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("splashDialog"));
    setProperty("controlId", ids::dialog::kSplash);
    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("splashPicture"));
    label->setProperty("controlId", ids::bitmap::kSplash);
    label->setPixmap(picture());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    adjustSize();
    // The owner is not visible yet, so centre on the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void CSplashDialog::closeAfter(int milliseconds)
{
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("splashTimer"));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QWidget::close);
    timer->start(milliseconds);
}

QPixmap CSplashDialog::picture()
{
    QPixmap pixmap(420, 240);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, QColor(0x1d, 0x4e, 0x89));
    gradient.setColorAt(1, QColor(0x0b, 0x25, 0x45));
    p.fillRect(pixmap.rect(), gradient);
    p.drawPixmap(24, 24, QIcon(QStringLiteral(":/icons/quorel.png")).pixmap(64, 64));
    p.setPen(Qt::white);
    QFont title(QStringLiteral("NanumGothic"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(104, 24, 300, 64), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("린드바트"));
    QFont small(QStringLiteral("NanumGothic"));
    small.setPixelSize(15);
    p.setFont(small);
    p.drawText(QRect(24, 120, 372, 60), Qt::AlignLeft | Qt::TextWordWrap,
        QStringLiteral("한글 도메인 존파일 · 설정파일 편집기\nEUC-KR ⇄ Punycode 변환"));
    p.drawText(QRect(24, 200, 372, 24), Qt::AlignRight, QStringLiteral("버전 0.98b"));
    return pixmap;
}
