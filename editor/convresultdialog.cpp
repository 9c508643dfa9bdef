#include "convresultdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

CConvResultDialog::CConvResultDialog(
    const QString &input, namecodec::Encoding from, namecodec::Encoding to, QWidget *parent)
    : QDialog(parent)
    , m_result(convertSelection(input, from, to))
{
    setObjectName(QStringLiteral("dialog%1").arg(ids::dialog::kConvResult));
    setWindowTitle(QStringLiteral("변환 결과"));

    m_display = new QPlainTextEdit(this);
    m_display->setObjectName(QStringLiteral("control%1").arg(ids::control::convResult::kResultEdit));
    m_display->setReadOnly(true);
    m_display->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_display->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_display->setPlainText(m_result.display);
    m_display->setMinimumSize(
        m_display->fontMetrics().averageCharWidth() * 60, m_display->fontMetrics().lineSpacing() * 5);

    m_applyBox = new QCheckBox(QStringLiteral("문서에 적용"), this);
    m_applyBox->setObjectName(QStringLiteral("control%1").arg(ids::control::convResult::kApplyCheck));
    // Nothing was converted: writing the empty output back would wipe the
    // selection.
    m_applyBox->setEnabled(m_result.applicable);

    auto *ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("control%1").arg(ids::control::kOk));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CConvResultDialog::confirm);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_applyBox);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_display, 1);
    layout->addLayout(buttons);
    ok->setFocus();
}

void CConvResultDialog::confirm()
{
    m_apply = m_applyBox->isEnabled() && m_applyBox->isChecked();
    accept();
}

namespace {

enum WarningRole { LineRole = Qt::UserRole, ColumnRole, AceRole };

} // namespace

QString CConvResultDialog::warningsName()
{
    return QStringLiteral("conversionWarnings");
}

CConvResultDialog::CConvResultDialog(const ConversionWarnings &warnings, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(warningsName());
    setWindowTitle(QStringLiteral("변환 결과"));
    setModal(false);

    QString told = QStringLiteral("변환하였습니다. 규칙 안의 한글 호스트 %1곳은 바뀌지 않았습니다.\n")
                       .arg(warnings.total());
    if (warnings.omitted > 0)
        told += QStringLiteral("목록에는 앞의 %1곳만 있습니다.\n").arg(warnings.size());
    told += QStringLiteral("두 번 누르면 그 줄로 갑니다. \"복사\"는 ACE 형태를 복사합니다.");
    auto *summary = new QLabel(told, this);
    summary->setObjectName(QStringLiteral("warningSummary"));
    m_warnings = makeWarningList(warnings);

    auto *copy = new QPushButton(QStringLiteral("복사"), this);
    copy->setObjectName(QStringLiteral("copyAceButton"));
    connect(copy, &QPushButton::clicked, this, &CConvResultDialog::copyAce);
    auto *ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("control%1").arg(ids::control::kOk));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // A host that cannot be written in ACE has nothing to copy.
    auto updateCopy = [this, copy] { copy->setEnabled(!selectedAce().isEmpty()); };
    connect(m_warnings, &QTreeWidget::currentItemChanged, this, updateCopy);
    updateCopy();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_warnings, 1);
    layout->addLayout(buttons);
    m_warnings->setFocus();
}

QTreeWidget *CConvResultDialog::makeWarningList(const ConversionWarnings &warnings)
{
    auto *list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("warningList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("경고"), QStringLiteral("ACE 형태")});
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const ConversionWarning &warning : warnings) {
        auto *item = new QTreeWidgetItem(list,
            {warning.text(), warning.ace.isEmpty() ? QStringLiteral("(ACE로 바꿀 수 없음)") : warning.ace});
        item->setData(0, LineRole, warning.line);
        item->setData(0, ColumnRole, warning.column);
        item->setData(0, AceRole, warning.ace);
    }
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    list->setMinimumWidth(std::min(list->columnWidth(0) + list->columnWidth(1) + 40, 900));
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    connect(list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        emit lineRequested(item->data(0, LineRole).toInt(), item->data(0, ColumnRole).toInt());
    });

    auto *copy = new QAction(QStringLiteral("복사"), list);
    copy->setObjectName(QStringLiteral("copyAceAction"));
    connect(copy, &QAction::triggered, this, &CConvResultDialog::copyAce);
    list->addAction(copy);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The view's own Ctrl+C would copy the cell under the caret, the Korean
    // message included; the ACE form is what the user pastes into a rule.
    list->installEventFilter(this);
    return list;
}

bool CConvResultDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_warnings && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        copyAce();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString CConvResultDialog::selectedAce() const
{
    const QTreeWidgetItem *item = m_warnings ? m_warnings->currentItem() : nullptr;
    return item ? item->data(0, AceRole).toString() : QString();
}

void CConvResultDialog::copyAce()
{
    const QString ace = selectedAce();
    if (!ace.isEmpty())
        QGuiApplication::clipboard()->setText(ace);
}
