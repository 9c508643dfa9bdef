#include "wizard/convwizardpage3.h"

#include "document/documentconversion.h"
#include "document/prompter.h"
#include "document/textfileconversion.h"
#include "editor/offthreadwork.h"
#include "editor/outcomereport.h"
#include "editor/quorelview.h"
#include "editor/viewconversion.h"
#include "platform/quorelids.h"
#include "platform/settings.h"
#include "wizard/convwizardpage4.h"
#include "wizard/convwizardsheet.h"
#include "wizard/pageheader.h"

#include "document/textbuffer.h"
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QThread>
#include <QVBoxLayout>

CConvWizardPage3::CConvWizardPage3(const ConvWizardServices &services, QWidget *parent)
    : QWizardPage(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("wizardPage3"));
    setProperty("controlId", ids::dialog::kWizardConvert);
    setTitle(QStringLiteral("린드바트 변환마법사 - 파일 변환"));
    auto *layout = new QVBoxLayout(this);
    addPageHeader(this, layout,
        QStringLiteral(
            "\n 변환될 인코딩 타입을 정합니다.\n 기본적으로 1가지의 인코딩 타입을\n 모두 생성합니다.\n"
            " 변환될 인코딩 타입은\n"),
        ids::bitmap::kWizardConvert);
    // The target is always Punycode: shown, never chosen.
    auto *type = new QLabel(QStringLiteral("Punycode 인코드 타입"), this);
    type->setObjectName(QStringLiteral("encodingType"));
    QFont bold = type->font();
    bold.setBold(true);
    type->setFont(bold);
    type->setIndent(12);
    layout->addWidget(type);

    m_preview = new TextView(this);
    m_preview->setObjectName(QStringLiteral("previewEdit"));
    m_preview->setProperty("controlId", ids::control::wizard::kPreviewEdit);
    m_preview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_preview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_preview->setFont(CQuorelView::editorFont());
    layout->addWidget(m_preview, 1);
    showText(std::make_unique<TextBuffer>());

    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("failureText"));
    m_failure->setWordWrap(true);
    m_failure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_failure->setStyleSheet(QStringLiteral("color: #a0281e;"));
    m_failure->setVisible(false);
    layout->addWidget(m_failure);
}

CConvWizardPage3::~CConvWizardPage3()
{
    // The preview lets go of the text before the text goes.
    m_preview->setBuffer(nullptr);
}

void CConvWizardPage3::showText(std::unique_ptr<TextBuffer> text)
{
    m_preview->setBuffer(text.get());
    m_text = std::move(text);
}

QString CConvWizardPage3::saveFilter()
{
    return QStringLiteral("네임 존파일 (*.zone);;All Files (*.*)");
}

QString CConvWizardPage3::failureText() const
{
    return m_failure->text();
}

void CConvWizardPage3::showFailure(const QString &text)
{
    m_failure->setText(text);
    m_failure->setVisible(!text.isEmpty());
    // The preview's height is final before a failing line is scrolled into it.
    layout()->activate();
}

void CConvWizardPage3::activate()
{
    showFailure(QString());
    auto *sheet = qobject_cast<CConvWizardSheet *>(wizard());
    const QString source = sheet ? sheet->sourcePath() : QString();
    const QString tempDirectory
        = m_services.settings ? m_services.settings->tempDirectory() : QDir::tempPath();
    // A large file is copied, read and laid out off the GUI thread, as the
    // editor opens one, so the wizard keeps painting.
    struct Loaded {
        bool ok = false;
        QString error;
        DecodedText decoded;
        std::unique_ptr<TextBuffer> text;
    };
    QThread *owner = thread();
    WorkingCopy &copy = m_copy;
    Loaded loaded
        = runOffGuiThread(this, QStringLiteral("%1\n읽고 있습니다...").arg(QFileInfo(source).fileName()),
            [&copy, &source, &tempDirectory, owner] {
                Loaded result;
                if (!copy.make(source, tempDirectory, &result.error))
                    return result;
                result.decoded = decodeFileBytes(copy.bytes());
                result.text = std::make_unique<TextBuffer>();
                loadIntoDocument(*result.text, result.decoded);
                result.text->setModified(false);
                result.text->moveToThread(owner);
                result.ok = true;
                return result;
            });
    if (!loaded.ok) {
        // The text of an earlier source would be taken for this one.
        showText(std::make_unique<TextBuffer>());
        showFailure(loaded.error);
        return;
    }
    m_decoded = std::move(loaded.decoded);
    showText(std::move(loaded.text));
    if (m_decoded.badLine > 0)
        showFailure(
            QStringLiteral("%1번째 줄에 EUC-KR로 읽을 수 없는 바이트가 있어 미리 보기에 \uFFFD로 보입니다. "
                           "이 줄은 변환할 수 없습니다.")
                .arg(m_decoded.badLine));
}

QString CConvWizardPage3::chooseTarget()
{
    if (!m_services.prompter)
        return {};
    const QString extension = QStringLiteral("zone");
    QString proposal = proposedTargetPath(m_copy.source(), extension);
    // The prompt comes back, on the name given, until the name is one the
    // result may take: never the source itself, and an existing file only
    // when the user says so.
    for (;;) {
        const QString chosen = m_services.prompter->saveFileNameReplacing(proposal, saveFilter(), extension);
        if (chosen.isEmpty())
            return {};
        const QString target = targetPathWithExtension(chosen, extension);
        proposal = chosen;
        if (isSameFile(target, m_copy.source())) {
            m_services.prompter->information(
                QStringLiteral("변환할 원본 파일에는 결과를 저장할 수 없습니다. 다른 이름을 고르십시오.\n%1")
                    .arg(QDir::toNativeSeparators(target)),
                m_services.appName);
            continue;
        }
        if (QFileInfo::exists(target)
            && !m_services.prompter->question(QStringLiteral("%1 파일이 이미 있습니다.\n바꾸시겠습니까?")
                                                  .arg(QDir::toNativeSeparators(target)),
                m_services.appName))
            continue;
        return target;
    }
}

bool CConvWizardPage3::validatePage()
{
    if (!m_copy.exists()) {
        showFailure(failureText().isEmpty()
                ? QStringLiteral("변환할 파일이 없습니다. 이전 단계에서 파일을 고르십시오.")
                : failureText());
        return false;
    }
    // An edited preview replaces the working copy's whole text.
    if (m_text->isModified()) {
        const EncodeResult encoded
            = encodeDocument(*m_text, m_decoded.encoding, m_decoded.ending, m_decoded.byteOrderMark);
        if (!encoded.ok()) {
            showFailure(
                QStringLiteral("%1번째 줄에 EUC-KR로 쓸 수 없는 문자가 있습니다.").arg(encoded.errorLine));
            showFailingLine(*m_preview, encoded.errorLine);
            return false;
        }
        const QString written = m_copy.writeBack(encoded.bytes);
        if (!written.isEmpty()) {
            showFailure(written);
            return false;
        }
    }

    const QString target = chooseTarget();
    if (target.isEmpty())
        return false;

    auto *sheet = qobject_cast<CConvWizardSheet *>(wizard());
    // The kind of the chosen template, else what the name and text tell,
    // as for a document in the editor.
    const namecodec::FileKind kind
        = conversionKind(sheet ? sheet->sourceTemplateId() : 0, m_copy.source(), m_copy.bytes());
    const namecodec::Encoding from = m_decoded.encoding;
    const int keepComment = m_services.commentOption ? m_services.commentOption() : 1;
    const QString tempDirectory
        = m_services.settings ? m_services.settings->tempDirectory() : QDir::tempPath();
    const QString workingPath = m_copy.path();
    const WizardConversion result = runOffGuiThread(this,
        QStringLiteral("%1\n변환하고 있습니다...").arg(QFileInfo(m_copy.source()).fileName()),
        [&] { return convertWorkingCopy(workingPath, target, from, kind, keepComment, tempDirectory); });

    if (!result.ok) {
        if (result.errorLine > 0 && !result.faults.isEmpty()) {
            showFailure(conversionFailedStatus(result.faults));
            showFailingLine(*m_preview, result.errorLine);
            if (m_services.prompter)
                m_services.prompter->information(
                    conversionFailedText() + QStringLiteral("\n\n") + conversionFaultsText(result.faults),
                    m_services.appName);
        } else {
            const QString message = result.error.isEmpty() ? conversionFailedText() : result.error;
            showFailure(message);
            if (result.errorLine > 0)
                showFailingLine(*m_preview, result.errorLine);
            if (m_services.prompter)
                m_services.prompter->information(message, m_services.appName);
        }
        return false;
    }

    m_copy.remove();
    if (m_services.openDocument)
        m_services.openDocument(target);
    if (sheet)
        sheet->savePage()->setResultMessage(
            QDir::toNativeSeparators(target) + QStringLiteral("파일이 생성 되었습니다."));
    return true;
}
