#include "panes/updateinfodialog.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

#include <algorithm>
#include <memory>

#include "platform/quorelids.h"

const QString CUpdateInfoDialog::kNotesFileName = QStringLiteral("updateinfo.rtf");
const QString CUpdateInfoDialog::kNoNotes = QStringLiteral("업데이트 정보가 없습니다");
const QString CUpdateInfoDialog::kNotesCut = QStringLiteral("업데이트 정보가 길어 앞부분만 보여 줍니다.");
const QString CUpdateInfoDialog::kReadingNotes = QStringLiteral("업데이트 정보를 읽고 있습니다...");
const QString CUpdateInfoDialog::kNotice = QStringLiteral("VANTO · 한글 도메인 관리 도구 린드바트");

namespace {

QLabel *picture(const QString &resource, int controlId, int bitmapId, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setProperty("controlId", controlId);
    label->setProperty("bitmapId", bitmapId);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

QLabel *text(const QString &value, int controlId, QWidget *parent)
{
    auto *label = new QLabel(value, parent);
    label->setProperty("controlId", controlId);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The longest stretch of a paragraph without a space, tab or line break.
qsizetype longestWord(const rtf::Document &notes)
{
    qsizetype longest = 0;
    for (const rtf::Paragraph &paragraph : notes.paragraphs) {
        qsizetype current = 0;
        for (const rtf::Run &run : paragraph.runs) {
            for (const QChar c : run.text) {
                current = c.isSpace() ? 0 : current + 1;
                longest = std::max(longest, current);
            }
        }
    }
    return longest;
}

Qt::Alignment alignmentOf(rtf::Alignment alignment)
{
    switch (alignment) {
    case rtf::Alignment::Center:
        return Qt::AlignHCenter;
    case rtf::Alignment::Right:
        return Qt::AlignRight;
    case rtf::Alignment::Justify:
        return Qt::AlignJustify;
    case rtf::Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

CUpdateInfoDialog::CUpdateInfoDialog(const QString &installDirectory, QWidget *parent)
    : QDialog(parent)
{
    namespace control = ids::control::updateInfo;
    setObjectName(QStringLiteral("updateInfoDialog"));
    setProperty("controlId", ids::dialog::kUpdateInfo);
    setWindowTitle(QStringLiteral("린드바트 정보"));

    auto *banner
        = picture(QStringLiteral(":/pictures/banner.png"), control::kBanner, ids::bitmap::kAboutLogo, this);
    banner->setObjectName(QStringLiteral("updateInfoBanner"));
    auto *badge
        = picture(QStringLiteral(":/pictures/badge.png"), control::kBadge, ids::bitmap::kAboutPicture, this);
    badge->setObjectName(QStringLiteral("updateInfoBadge"));

    auto *name = text(QStringLiteral("린드바트"), control::kName, this);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    name->setFont(big);
    auto *version = text(QStringLiteral("버전 0.98b"), control::kVersion, this);
    auto *notice = text(kNotice, control::kNotice, this);
    notice->setEnabled(false);

    m_autoScroll = new QCheckBox(QStringLiteral("Auto Scrolling"), this);
    m_autoScroll->setObjectName(QStringLiteral("autoScrollCheck"));
    m_autoScroll->setProperty("controlId", control::kAutoScroll);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("updateInfoLine"));
    line->setProperty("controlId", control::kLine);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_notes = new QTextBrowser(this);
    m_notes->setObjectName(QStringLiteral("updateNotes"));
    m_notes->setProperty("controlId", control::kNotes);
    m_notes->setOpenLinks(false);
    m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_notes->setFixedSize(400, 230);

    auto *ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("updateInfoOk"));
    ok->setProperty("controlId", ids::control::kOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_timer.setObjectName(QStringLiteral("autoScrollTimer"));
    m_timer.setProperty("timerId", kAutoScrollTimer);
    m_timer.setInterval(kAutoScrollMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kAutoScrollTimer); });
    connect(m_autoScroll, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            m_timer.start();
        else
            m_timer.stop();
    });

    auto *heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(name);
    heading->addWidget(version);
    heading->addSpacing(10);
    heading->addWidget(notice);

    auto *top = new QHBoxLayout;
    top->addLayout(heading, 1);
    top->addWidget(badge, 0, Qt::AlignTop);

    auto *right = new QVBoxLayout;
    right->addLayout(top);
    right->addWidget(m_autoScroll, 0, Qt::AlignRight);
    right->addWidget(line);
    right->addWidget(m_notes, 1);
    right->addWidget(ok, 0, Qt::AlignRight);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(banner, 0, Qt::AlignTop);
    layout->addSpacing(6);
    layout->addLayout(right, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    loadNotes(installDirectory);
    ok->setFocus();
}

struct CUpdateInfoDialog::NotesFile {
    enum class State { Missing, TooLarge, Read };
    State state = State::Missing;
    QString fileName;
    rtf::Document notes;
};

// Touches no widget: it runs on the reader's thread for large notes.
CUpdateInfoDialog::NotesFile CUpdateInfoDialog::readNotesFile(const QString &path)
{
    NotesFile result;
    QFile file(path);
    result.fileName = file.fileName();
    if (!file.open(QIODevice::ReadOnly))
        return result;
    if (file.size() > kMaxNotesBytes) {
        result.state = NotesFile::State::TooLarge;
        return result;
    }
    result.notes = rtf::read(file.read(kMaxNotesBytes), kNotesLimits);
    result.state = NotesFile::State::Read;
    return result;
}

CUpdateInfoDialog::~CUpdateInfoDialog()
{
    // The reader holds nothing of the window, but must not outlive its
    // QThread; it is at most a few tens of milliseconds from its end.
    if (m_reader)
        m_reader->wait();
}

void CUpdateInfoDialog::loadNotes(const QString &installDirectory)
{
    const QString path = installDirectory + u'/' + kNotesFileName;
    const QFileInfo info(path);
    if (info.size() <= kReadHereBytes || info.size() > kMaxNotesBytes) {
        showNotes(readNotesFile(path));
        return;
    }
    // Fresh memory for megabytes of notes costs tens of milliseconds before
    // a byte is read, and the reader as much again: neither on the GUI thread.
    m_notes->setPlainText(kReadingNotes);
    auto file = std::make_shared<NotesFile>();
    m_reader = QThread::create([path, file] { *file = readNotesFile(path); });
    m_reader->setParent(this);
    m_reader->setObjectName(QStringLiteral("updateNotesReader"));
    connect(m_reader, &QThread::finished, this, [this, file] { showNotes(*file); });
    m_reader->start();
}

void CUpdateInfoDialog::showNotes(const NotesFile &file)
{
    switch (file.state) {
    case NotesFile::State::Missing:
        m_notes->setPlainText(kNoNotes);
        break;
    case NotesFile::State::TooLarge:
        m_notes->setPlainText(QStringLiteral("업데이트 정보 파일(%1)이 %2 MiB보다 커서 읽지 않았습니다.")
                                  .arg(file.fileName)
                                  .arg(kMaxNotesBytes / (1024 * 1024)));
        break;
    case NotesFile::State::Read:
        // Qt's wrap at word boundaries takes time with the square of the
        // length of a word wider than the box (20,000 characters without a
        // space: about 70 ms). Such a word is broken at the box's edge either
        // way; with one in the notes, every line breaks anywhere.
        m_notes->setWordWrapMode(longestWord(file.notes) > kLongestWrappedWord
                ? QTextOption::WrapAnywhere
                : QTextOption::WrapAtWordBoundaryOrAnywhere);
        fillDocument(*m_notes->document(), file.notes);
        if (file.notes.truncated) {
            // Where the shown notes stop, the reader is told why.
            QTextCursor cursor(m_notes->document());
            cursor.movePosition(QTextCursor::End);
            if (!file.notes.paragraphs.isEmpty())
                cursor.insertBlock(QTextBlockFormat());
            cursor.setBlockFormat(QTextBlockFormat());
            QTextCharFormat format;
            format.setFontItalic(true);
            cursor.insertText(kNotesCut, format);
        }
        // The box's caret was pushed along by the text put in before it;
        // the notes are read from the top.
        m_notes->moveCursor(QTextCursor::Start);
        break;
    }
    // Notes that came after the window showed replace the line counted
    // while they were read; auto scrolling starts again at their top.
    if (m_counted) {
        m_nScrollCount = 0;
        countLines();
    }
}

void CUpdateInfoDialog::fillDocument(QTextDocument &target, const rtf::Document &notes)
{
    target.clear();
    QTextCursor cursor(&target);
    // One edit: the layout runs once over the whole text, not after every
    // run put in.
    cursor.beginEditBlock();
    const QFont base = target.defaultFont();
    bool first = true;
    for (const rtf::Paragraph &paragraph : notes.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(alignmentOf(paragraph.alignment));
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        for (const rtf::Run &run : paragraph.runs) {
            QTextCharFormat format;
            format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(run.italic);
            format.setFontUnderline(run.underline);
            format.setFontPointSize(run.halfPoints > 0 ? run.halfPoints / 2.0 : base.pointSizeF());
            cursor.insertText(run.text, format);
        }
    }
    cursor.endEditBlock();
}

void CUpdateInfoDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The line count is the box's own, so it is taken once the box has its
    // width and the notes are laid out in it.
    if (!m_counted)
        countLines();
}

void CUpdateInfoDialog::countLines()
{
    m_counted = true;
    m_nLineCount = static_cast<int>(lineTops().size());
}

QList<int> CUpdateInfoDialog::lineTops() const
{
    QTextDocument *doc = m_notes->document();
    QAbstractTextDocumentLayout *layout = doc->documentLayout();
    QList<int> tops;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        // Asking for the block's rectangle lays it out.
        const QRectF rect = layout->blockBoundingRect(block);
        const QTextLayout *lines = block.layout();
        if (!lines)
            continue;
        for (int i = 0; i < lines->lineCount(); ++i)
            tops << qRound(rect.top() + lines->lineAt(i).y());
    }
    return tops;
}

int CUpdateInfoDialog::firstVisibleLine() const
{
    const QList<int> tops = lineTops();
    const int value = m_notes->verticalScrollBar()->value();
    int line = 0;
    for (int i = 1; i < tops.size(); ++i) {
        if (tops[i] <= value)
            line = i;
    }
    return line;
}

void CUpdateInfoDialog::scrollLines(int lines)
{
    const QList<int> tops = lineTops();
    if (tops.isEmpty())
        return;
    const int target = std::clamp(firstVisibleLine() + lines, 0, static_cast<int>(tops.size()) - 1);
    // The scroll bar stops at the end, as a rich-edit box's does: the last
    // lines stay in view.
    m_notes->verticalScrollBar()->setValue(target == 0 ? 0 : tops[target]);
}

void CUpdateInfoDialog::OnTimer(int nIDEvent)
{
    if (nIDEvent != kAutoScrollTimer)
        return;
    if (!m_counted)
        countLines();
    scrollLines(1);
    ++m_nScrollCount;
    if (m_nScrollCount == m_nLineCount - 5) {
        scrollLines(-m_nLineCount);
        m_nScrollCount = 0;
    }
}
