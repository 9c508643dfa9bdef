#include "wizard/convwizardpage1.h"

#include "platform/quorelids.h"
#include "wizard/wizardpictures.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

namespace {

// The start picture over the whole page, scaled to cover it without
// stretching it out of shape.
class PagePicture : public QWidget {
public:
    explicit PagePicture(QWidget *parent)
        : QWidget(parent)
        , m_picture(wizardPicture(ids::bitmap::kWizardStart))
    {
        setObjectName(QStringLiteral("pagePicture"));
        setProperty("bitmapId", ids::bitmap::kWizardStart);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QPixmap scaled
            = m_picture.scaled(size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        // The globe and the name stand at the right: the left edge gives way.
        painter.drawPixmap(width() - scaled.width(), height() - scaled.height(), scaled);
    }

private:
    QPixmap m_picture;
};

} // namespace

CConvWizardPage1::CConvWizardPage1(QWidget *parent)
    : QWizardPage(parent)
    , m_strIntro(introText())
{
    setObjectName(QStringLiteral("wizardPage1"));
    setProperty("controlId", ids::dialog::kWizardStart);
    setTitle(QStringLiteral("린드바트 변환마법사 - 시작"));
    // The picture fills the page and the introduction stands on it.
    auto *picture = new PagePicture(this);
    m_introLabel = new QLabel(m_strIntro, this);
    m_introLabel->setObjectName(QStringLiteral("introText"));
    m_introLabel->setProperty("controlId", ids::control::wizard::kIntroText);
    m_introLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_introLabel->setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture, 0, 0);
    layout->addWidget(m_introLabel, 0, 0);
}

QString CConvWizardPage1::introText()
{
    return QStringLiteral(
        "\n 새 변환을 시작합니다.\n 변환될 대상 파일을 먼저 여시고,\n 변환할 인코딩을 지정해 주시면,\n"
        " 해당 인코딩 파일을 만들어 줍니다.\n\n 차례대로 단계를 밟아 주세요.\n");
}
