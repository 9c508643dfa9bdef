#include "editor/convfindreplacedialog.h"

#include "document/namebytes.h"
#include "editor/stringconverter.h"
#include "namecodec/namecodec.h"
#include "platform/quorelids.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

QByteArray bytesIn(const QString &text, namecodec::Encoding encoding)
{
    // A character the document's encoding cannot hold still counts, as UTF-8.
    if (auto bytes = encodeNameText(text, encoding))
        return *bytes;
    return text.toUtf8();
}

bool hasNonAscii(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x80; });
}

// The library's codes for find and replace: 0 is code page 949 here.
constexpr int kFindEucKrCode = 0;
constexpr int kPunycodeCode = 2;

} // namespace

CConvFindReplaceDialog::CConvFindReplaceDialog(
    bool findOnly, const QString &findText, namecodec::Encoding encoding, QWidget *parent)
    : QDialog(parent)
    , m_bFindOnly(findOnly)
    , m_encoding(encoding)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setObjectName(findOnly ? QStringLiteral("findDialog") : QStringLiteral("replaceDialog"));
    setProperty("controlId", findOnly ? ids::dialog::kConvFind : ids::dialog::kConvReplace);
    setWindowTitle(findOnly ? QStringLiteral("변환+찾기") : QStringLiteral("변환+바꾸기"));

    auto *fields = new QGridLayout;
    auto label = [this](int id, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QStringLiteral("label%1").arg(id));
        l->setProperty("controlId", id);
        return l;
    };
    auto edit = [this](int id, const QString &name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(name);
        e->setProperty("controlId", id);
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);
        connect(e, &QLineEdit::textEdited, this, [this, e] { keepWithinLimit(e); });
        return e;
    };

    namespace c = ids::control::findReplace;
    QLabel *findLabel = label(c::kFindWhatLabel, QStringLiteral("찾을 내용(&N):"));
    m_findEdit = edit(c::kFindWhatEdit, QStringLiteral("findWhatEdit"));
    findLabel->setBuddy(m_findEdit);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_findEdit, 0, 1, 1, 3);
    fields->addWidget(label(c::kFindEncodingLabel, QStringLiteral("찾을 내용 인코딩")), 1, 0);
    QPushButton *findToEucKr = addButton(c::kFindToEucKr, QStringLiteral("EUC-KR"));
    QPushButton *findToPunycode = addButton(c::kFindToPunycode, QStringLiteral("Punycode"));
    fields->addWidget(findToEucKr, 1, 1);
    fields->addWidget(findToPunycode, 1, 2);
    connect(findToEucKr, &QPushButton::clicked, this,
        [this] { convertField(m_findEdit, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949); });
    connect(findToPunycode, &QPushButton::clicked, this,
        [this] { convertField(m_findEdit, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode); });
    int row = 2;
    if (!findOnly) {
        QLabel *replaceLabel = label(c::kReplaceWithLabel, QStringLiteral("바꿀 내용(&P):"));
        m_replaceEdit = edit(c::kReplaceWithEdit, QStringLiteral("replaceWithEdit"));
        replaceLabel->setBuddy(m_replaceEdit);
        fields->addWidget(replaceLabel, row, 0);
        fields->addWidget(m_replaceEdit, row, 1, 1, 3);
        ++row;
        fields->addWidget(label(c::kReplaceEncodingLabel, QStringLiteral("바꿀 내용 인코딩")), row, 0);
        QPushButton *replaceToEucKr = addButton(c::kReplaceToEucKr, QStringLiteral("EUC-KR"));
        QPushButton *replaceToPunycode = addButton(c::kReplaceToPunycode, QStringLiteral("Punycode"));
        fields->addWidget(replaceToEucKr, row, 1);
        fields->addWidget(replaceToPunycode, row, 2);
        connect(replaceToEucKr, &QPushButton::clicked, this, [this] {
            convertField(m_replaceEdit, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
        });
        connect(replaceToPunycode, &QPushButton::clicked, this, [this] {
            convertField(m_replaceEdit, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
        });
        ++row;
    }
    fields->setColumnStretch(3, 1);
    fields->setRowMinimumHeight(row++, 6);
    m_wholeWordBox = new QCheckBox(QStringLiteral("단어 단위로 (&W)"), this);
    m_wholeWordBox->setObjectName(QStringLiteral("wholeWordCheck"));
    m_wholeWordBox->setProperty("controlId", c::kWholeWord);
    m_matchCaseBox = new QCheckBox(QStringLiteral("대/소문자 구분 (&C)"), this);
    m_matchCaseBox->setObjectName(QStringLiteral("matchCaseCheck"));
    m_matchCaseBox->setProperty("controlId", c::kMatchCase);
    fields->addWidget(m_wholeWordBox, row++, 0, 1, 4);
    fields->addWidget(m_matchCaseBox, row++, 0, 1, 4);

    auto *buttons = new QVBoxLayout;
    QPushButton *findNext = addButton(ids::control::kOk, QStringLiteral("다음 찾기(&F)"));
    findNext->setObjectName(QStringLiteral("findNextButton"));
    findNext->setDefault(true);
    buttons->addWidget(findNext);
    connect(findNext, &QPushButton::clicked, this, &CConvFindReplaceDialog::onFindNext);
    if (!findOnly) {
        QPushButton *replace = addButton(c::kReplace, QStringLiteral("바꾸기(&R)"));
        QPushButton *replaceAll = addButton(c::kReplaceAll, QStringLiteral("모두 바꾸기(&A)"));
        buttons->addWidget(replace);
        buttons->addWidget(replaceAll);
        connect(replace, &QPushButton::clicked, this, &CConvFindReplaceDialog::replaceRequested);
        connect(replaceAll, &QPushButton::clicked, this, &CConvFindReplaceDialog::replaceAllRequested);
    }
    QPushButton *cancel = addButton(ids::control::kCancel, QStringLiteral("취소"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    connect(cancel, &QPushButton::clicked, this, &CConvFindReplaceDialog::reject);
    for (QPushButton *b : findChildren<QPushButton *>()) {
        if (b != findNext)
            b->setAutoDefault(false);
    }

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setWordWrap(true);
    m_hint->setVisible(false);

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addSpacing(8);
    top->addLayout(buttons);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(m_hint);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // F3 and Shift+F3 search on from the dialog too, as from the editor.
    auto *next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, &CConvFindReplaceDialog::onFindNext);
    auto *previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, [this] {
        UpdateData();
        emit findPreviousRequested();
    });

    // A selection longer than the field holds is cut, never inside a character.
    m_findEdit->setText(cutText(findText, kMaxTextBytes, m_encoding));
    m_findEdit->selectAll();
    m_findEdit->setFocus();
}

QPushButton *CConvFindReplaceDialog::addButton(int id, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setProperty("controlId", id);
    return button;
}

QString CConvFindReplaceDialog::cutText(const QString &text, int limit, namecodec::Encoding encoding)
{
    const QByteArray bytes = bytesIn(text, encoding);
    if (bytes.size() <= limit)
        return text;
    // Count whole characters until the next one would pass the limit.
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype step = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const qsizetype size = bytesIn(text.mid(end, step), encoding).size();
        if (used + size > limit)
            break;
        used += size;
        end += step;
    }
    return text.left(end);
}

QString CConvFindReplaceDialog::findText() const
{
    return cutText(m_findEdit->text(), kMaxTextBytes, m_encoding);
}

QString CConvFindReplaceDialog::replaceText() const
{
    return m_replaceEdit ? cutText(m_replaceEdit->text(), kMaxTextBytes, m_encoding) : QString();
}

void CConvFindReplaceDialog::UpdateData()
{
    m_bWholeWord = m_wholeWordBox->isChecked();
    m_bMatchCase = m_matchCaseBox->isChecked();
}

void CConvFindReplaceDialog::onFindNext()
{
    UpdateData();
    emit findNextRequested();
}

void CConvFindReplaceDialog::showHint(const QString &text)
{
    m_hint->setText(text);
    m_hint->setVisible(!text.isEmpty());
}

void CConvFindReplaceDialog::keepWithinLimit(QLineEdit *field)
{
    const QString text = field->text();
    const QString cut = cutText(text, kMaxTextBytes, m_encoding);
    if (cut.size() == text.size()) {
        showHint(QString());
        return;
    }
    const int caret = std::min(field->cursorPosition(), static_cast<int>(cut.size()));
    field->setText(cut);
    field->setCursorPosition(caret);
    showHint(QStringLiteral("%1바이트까지 입력할 수 있습니다.").arg(kMaxTextBytes));
}

void CConvFindReplaceDialog::convertField(QLineEdit *field, namecodec::Encoding from, namecodec::Encoding to)
{
    UpdateData();
    m_strScratch = field->text();
    const bool toEucKr = to == namecodec::Encoding::Cp949;
    // A field that already holds Hangul has nothing to turn back.
    if (toEucKr && hasNonAscii(m_strScratch)) {
        showHint(QStringLiteral("이미 한글이 들어 있어 EUC-KR로 바꾸지 않았습니다."));
        return;
    }
    const auto input = encodeNameText(m_strScratch, namecodec::Encoding::Cp949);
    if (!input) {
        showHint(StringConverter::unencodableMessage());
        return;
    }
    std::array<char, NAMECODEC_OUTPUT_SIZE> output {};
    const int status = ConvertString(input->constData(), output.data(),
        toEucKr ? kPunycodeCode : kFindEucKrCode, toEucKr ? kFindEucKrCode : kPunycodeCode);
    output.back() = '\0';
    const std::optional<QString> converted
        = status == 0 ? decodeNameText(QByteArray(output.data()), namecodec::Encoding::Cp949) : std::nullopt;
    if (!converted) {
        // The field stays as it was; the library's reason says why.
        showHint(StringConverter::refusalReason(*input, from, to));
        return;
    }
    field->setText(*converted);
    m_wholeWordBox->setChecked(m_bWholeWord);
    m_matchCaseBox->setChecked(m_bMatchCase);
    if (bytesIn(*converted, m_encoding).size() > kMaxTextBytes)
        showHint(QStringLiteral("%1바이트가 넘어 앞의 %1바이트만 찾거나 바꿉니다.").arg(kMaxTextBytes));
    else
        showHint(QString());
}
