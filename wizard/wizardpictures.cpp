#include "wizard/wizardpictures.h"

#include "platform/quorelids.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor kDeepBlue(24, 72, 128);
const QColor kTeal(32, 142, 136);
const QColor kPaper(252, 252, 248);
const QColor kInk(44, 62, 80);

QFont pictureFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR"),
        QStringLiteral("NanumMyeongjo"), QStringLiteral("UnDotum")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// A globe of meridians and parallels: domain names of the whole world.
void paintGlobe(QPainter &p, const QPointF &centre, qreal radius, const QColor &colour)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.0, radius / 28)));
    p.drawEllipse(centre, radius, radius);
    for (qreal k : {0.35, 0.7})
        p.drawEllipse(centre, radius * k, radius);
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    for (qreal k : {-0.5, 0.0, 0.5}) {
        const qreal y = centre.y() + radius * k;
        const qreal half = radius * std::sqrt(1 - k * k);
        p.drawLine(QPointF(centre.x() - half, y), QPointF(centre.x() + half, y));
    }
    p.restore();
}

// A sheet of paper with a folded corner and a few lines of text on it.
void paintDocument(QPainter &p, const QRectF &r, const QString &mark, const QColor &markColour)
{
    p.save();
    const qreal fold = r.width() * 0.28;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(220, 226, 232));
    p.drawPath(corner);
    p.setPen(QPen(QColor(150, 165, 180), 1.5));
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + r.height() * (0.62 + 0.11 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.15, y), QPointF(r.right() - r.width() * 0.15, y));
    }
    p.setPen(markColour);
    p.setFont(pictureFont(static_cast<int>(r.height() * 0.32), true));
    p.drawText(
        QRectF(r.left(), r.top() + r.height() * 0.12, r.width(), r.height() * 0.42), Qt::AlignCenter, mark);
    p.restore();
}

void paintArrow(QPainter &p, const QPointF &from, const QPointF &to, const QColor &colour)
{
    p.save();
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    QPainterPath head;
    head.moveTo(to + QPointF(2, 0));
    head.lineTo(to + QPointF(-7, -6));
    head.lineTo(to + QPointF(-7, 6));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
    p.restore();
}

QPixmap canvas(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// 137: a band of blue to teal down the side of every page.
QPixmap watermark()
{
    QPixmap pixmap = canvas(164, 314);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 314);
    band.setColorAt(0, kDeepBlue);
    band.setColorAt(1, kTeal);
    p.fillRect(pixmap.rect(), band);
    // A faint syllable behind the globe, then the road a name takes.
    p.setPen(QColor(255, 255, 255, 28));
    p.setFont(pictureFont(110, true));
    p.drawText(QRectF(0, 20, 164, 150), Qt::AlignCenter, QStringLiteral("가"));
    paintGlobe(p, QPointF(82, 94), 50, QColor(255, 255, 255, 100));
    p.setPen(QColor(255, 255, 255, 170));
    p.setFont(pictureFont(18, true));
    p.drawText(QRectF(0, 164, 164, 28), Qt::AlignCenter, QStringLiteral("한국.kr"));
    paintArrow(p, QPointF(82, 196), QPointF(82, 218), QColor(255, 255, 255, 170));
    p.setFont(pictureFont(14, true));
    p.drawText(QRectF(0, 222, 164, 28), Qt::AlignCenter, QStringLiteral("xn--3e0b707e.kr"));
    p.setPen(QColor(255, 255, 255, 220));
    p.setFont(pictureFont(20, true));
    p.drawText(QRectF(0, 274, 164, 30), Qt::AlignCenter, QStringLiteral("Quorel"));
    return pixmap;
}

// 129: the start page's background; pale, so the text over it stays legible.
QPixmap startPicture()
{
    QPixmap pixmap = canvas(380, 230);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wash(0, 0, 380, 230);
    wash.setColorAt(0, QColor(255, 255, 255));
    wash.setColorAt(1, QColor(222, 236, 246));
    p.fillRect(pixmap.rect(), wash);
    paintGlobe(p, QPointF(316, 92), 70, QColor(24, 72, 128, 45));
    p.setPen(QColor(24, 72, 128, 45));
    p.setFont(pictureFont(30, true));
    p.drawText(QRectF(130, 178, 240, 44), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("가 → xn--"));
    return pixmap;
}

QPixmap openPicture()
{
    QPixmap pixmap = canvas(80, 80);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A folder with a file rising out of it.
    p.setPen(QPen(QColor(150, 110, 30), 1.2));
    p.setBrush(QColor(238, 190, 80));
    p.drawRoundedRect(QRectF(6, 30, 68, 44), 4, 4);
    paintDocument(p, QRectF(24, 6, 34, 44), QStringLiteral("가"), kDeepBlue);
    QPainterPath front;
    front.addRoundedRect(QRectF(6, 42, 68, 32), 4, 4);
    p.setBrush(QColor(250, 208, 100));
    p.drawPath(front);
    return pixmap;
}

QPixmap convertPicture()
{
    QPixmap pixmap = canvas(80, 80);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paintDocument(p, QRectF(2, 14, 30, 40), QStringLiteral("가"), kDeepBlue);
    paintDocument(p, QRectF(48, 26, 30, 40), QStringLiteral("xn"), kTeal);
    paintArrow(p, QPointF(30, 62), QPointF(48, 62), kTeal);
    return pixmap;
}

QPixmap savePicture()
{
    QPixmap pixmap = canvas(80, 80);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paintDocument(p, QRectF(12, 6, 44, 58), QStringLiteral("xn"), kTeal);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(46, 160, 67));
    p.drawEllipse(QPointF(56, 58), 16, 16);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(48, 58);
    tick.lineTo(54, 64);
    tick.lineTo(64, 51);
    p.drawPath(tick);
    return pixmap;
}

} // namespace

QPixmap wizardPicture(int bitmapId)
{
    switch (bitmapId) {
    case ids::bitmap::kWizardWatermark:
        return watermark();
    case ids::bitmap::kWizardStart:
        return startPicture();
    case ids::bitmap::kWizardOpen:
        return openPicture();
    case ids::bitmap::kWizardConvert:
        return convertPicture();
    case ids::bitmap::kWizardSave:
        return savePicture();
    default:
        return {};
    }
}
