#include "stringconvertdialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/logging.h"

namespace {

QString controlName(int id)
{
    return QStringLiteral("control%1").arg(id);
}

QPlainTextEdit *makeOutputBox(int id, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(controlName(id));
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    // Fixed width, so "--" and look-alike letters of a name stay apart.
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setFixedHeight(box->fontMetrics().lineSpacing() * 3 + 12);
    return box;
}

} // namespace

CStringConvertDialog::CStringConvertDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dialog%1").arg(ids::dialog::kStringConvert));
    setWindowTitle(QStringLiteral("개별 문자열 변환"));

    m_input = new QComboBox(this);
    m_input->setObjectName(controlName(ids::control::stringConvert::kInputCombo));
    m_input->setEditable(true);
    m_input->setInsertPolicy(QComboBox::NoInsert);
    m_input->setMinimumContentsLength(40);

    auto *inputGroup = new QGroupBox(QStringLiteral("입력 인코드"), this);
    m_fromEucKr = new QRadioButton(QStringLiteral("EUC-KR"), inputGroup);
    m_fromEucKr->setObjectName(controlName(ids::control::stringConvert::kEucKrInputRadio));
    m_fromPunycode = new QRadioButton(QStringLiteral("Punycode"), inputGroup);
    m_fromPunycode->setObjectName(controlName(ids::control::stringConvert::kPunycodeInputRadio));
    auto *inputLayout = new QHBoxLayout(inputGroup);
    inputLayout->addWidget(m_fromEucKr);
    inputLayout->addWidget(m_fromPunycode);

    auto *outputGroup = new QGroupBox(QStringLiteral("출력 인코드"), this);
    m_wantEucKr = new QCheckBox(QStringLiteral("EUC-KR"), outputGroup);
    m_wantEucKr->setObjectName(controlName(ids::control::stringConvert::kEucKrOutputCheck));
    m_wantPunycode = new QCheckBox(QStringLiteral("Punycode"), outputGroup);
    m_wantPunycode->setObjectName(controlName(ids::control::stringConvert::kPunycodeOutputCheck));
    m_wantAll = new QCheckBox(QStringLiteral("전체 인코딩"), outputGroup);
    m_wantAll->setObjectName(controlName(ids::control::stringConvert::kAllOutputsCheck));
    auto *outputLayout = new QHBoxLayout(outputGroup);
    outputLayout->addWidget(m_wantEucKr);
    outputLayout->addWidget(m_wantPunycode);
    outputLayout->addWidget(m_wantAll);

    m_convert = new QPushButton(QStringLiteral("문자열 변환"), this);
    m_convert->setObjectName(controlName(ids::control::stringConvert::kConvertButton));
    m_convert->setDefault(true);
    m_convert->setAutoDefault(true);

    m_eucKrOutput = makeOutputBox(ids::control::stringConvert::kEucKrOutputEdit, this);
    m_punycodeOutput = makeOutputBox(ids::control::stringConvert::kPunycodeOutputEdit, this);
    m_eucKrOutput->installEventFilter(this);
    m_punycodeOutput->installEventFilter(this);

    auto *inputRow = new QHBoxLayout;
    inputRow->addWidget(new QLabel(QStringLiteral("문자열"), this));
    inputRow->addWidget(m_input, 1);
    inputRow->addWidget(m_convert);

    auto *choices = new QHBoxLayout;
    choices->addWidget(inputGroup);
    choices->addWidget(outputGroup, 1);

    auto *results = new QGridLayout;
    results->addWidget(new QLabel(QStringLiteral("EUC-KR"), this), 0, 0, Qt::AlignTop);
    results->addWidget(m_eucKrOutput, 0, 1);
    results->addWidget(new QLabel(QStringLiteral("Punycode"), this), 1, 0, Qt::AlignTop);
    results->addWidget(m_punycodeOutput, 1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(inputRow);
    layout->addLayout(choices);
    layout->addLayout(results);
    // Why the library refused the name; an empty output box alone says
    // nothing.
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("conversionReason"));
    m_reason->setWordWrap(true);
    m_reason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_reason->setTextFormat(Qt::PlainText);
    m_reason->hide();
    layout->addWidget(m_reason);

    connect(m_convert, &QPushButton::clicked, this, &CStringConvertDialog::convert);
    connect(m_wantEucKr, &QCheckBox::clicked, this, &CStringConvertDialog::outputChoiceClicked);
    connect(m_wantPunycode, &QCheckBox::clicked, this, &CStringConvertDialog::outputChoiceClicked);

    m_message = [this](const QString &text) {
        qCWarning(lcPrompt).noquote() << "shown:" << oneLine(text);
        QMessageBox::information(this, QApplication::applicationName(), text);
    };
}

void CStringConvertDialog::setMessageHandler(std::function<void(const QString &)> handler)
{
    m_message = std::move(handler);
}

void CStringConvertDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Every opening starts from EUC-KR input with all outputs; the two
    // output boxes keep what the user last chose.
    m_fromEucKr->setChecked(true);
    m_wantAll->setChecked(true);
    m_eucKrOutput->clear();
    m_punycodeOutput->clear();
    showReason(QString());
    m_converter.open();
    m_input->clear();
    m_input->addItems(m_converter.list());
    m_input->setCurrentIndex(-1);
    m_input->clearEditText();
    QTimer::singleShot(0, m_input, [this] { m_input->setFocus(); });
}

void CStringConvertDialog::done(int result)
{
    m_eucKrOutput->clear();
    m_punycodeOutput->clear();
    showReason(QString());
    m_converter.close();
    QDialog::done(result);
}

bool CStringConvertDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && (watched == m_eucKrOutput || watched == m_punycodeOutput)) {
        auto *box = static_cast<QPlainTextEdit *>(watched);
        box->selectAll();
        box->ensureCursorVisible();
    }
    return QDialog::eventFilter(watched, event);
}

void CStringConvertDialog::convert()
{
    StringConverter::Request request;
    request.input = m_input->currentText();
    request.from = m_fromPunycode->isChecked() ? namecodec::Encoding::Punycode : namecodec::Encoding::Cp949;
    request.wantEucKr = m_wantEucKr->isChecked();
    request.wantPunycode = m_wantPunycode->isChecked();
    request.wantAll = m_wantAll->isChecked();

    const StringConverter::Reply reply = m_converter.convert(request);
    switch (reply.outcome) {
    case StringConverter::Outcome::Blank:
        return;
    case StringConverter::Outcome::LabelTooLong:
        m_message(StringConverter::labelTooLongMessage());
        return;
    case StringConverter::Outcome::Unencodable:
        m_message(StringConverter::unencodableMessage());
        return;
    case StringConverter::Outcome::Converted:
        break;
    }
    if (m_input->count() != m_converter.list().size()) {
        m_input->clear();
        m_input->addItems(m_converter.list());
    }
    m_input->setCurrentIndex(reply.historyIndex);
    m_eucKrOutput->setPlainText(reply.eucKr);
    m_punycodeOutput->setPlainText(reply.punycode);
    showReason(reply.reason);
}

void CStringConvertDialog::showReason(const QString &reason)
{
    if (!reason.isEmpty())
        qCWarning(lcConversion).noquote() << "string not converted:" << oneLine(reason);
    m_reason->setText(reason);
    m_reason->setVisible(!reason.isEmpty());
}

void CStringConvertDialog::outputChoiceClicked()
{
    m_wantAll->setChecked(m_wantEucKr->isChecked() && m_wantPunycode->isChecked());
}
