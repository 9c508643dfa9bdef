#include "ftp/ftpserverlistdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ftp/dialogbutton.h"
#include "ftp/ftpprompter.h"
#include "ftp/textinputdialog.h"
#include "platform/quorelids.h"

CFtpServerListDialog::CFtpServerListDialog(
    const QString &iniPath, FtpPrompter &prompter, const QString &appName, QWidget *parent)
    : QDialog(parent)
    , m_list(iniPath)
    , m_prompter(prompter)
    , m_appName(appName)
    , m_names(new QComboBox(this))
    , m_address(new QLineEdit(this))
    , m_user(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_port(new QLineEdit(this))
    , m_passive(new QCheckBox(QStringLiteral("PASSVIE 모드"), this))
    , m_protocol(new QComboBox(this))
{
    namespace c = ids::control::ftpServerList;
    setObjectName(QStringLiteral("ftpServerListDialog"));
    setProperty("controlId", ids::dialog::kFtpServerList);
    setWindowTitle(QStringLiteral("사용자 FTP 서버 목록"));

    const std::pair<QWidget *, std::pair<const char *, int>> named[] = {
        {m_names, {"serverCombo", c::kServerCombo}},
        {m_address, {"addressEdit", c::kAddressEdit}},
        {m_user, {"userEdit", c::kUserEdit}},
        {m_password, {"passwordEdit", c::kPasswordEdit}},
        {m_port, {"portEdit", c::kPortEdit}},
        {m_passive, {"passiveCheck", c::kPassiveCheck}},
    };
    for (const auto &[widget, id] : named) {
        widget->setObjectName(QString::fromLatin1(id.first));
        widget->setProperty("controlId", id.second);
    }
    m_names->setMinimumWidth(220);
    m_protocol->setObjectName(QStringLiteral("protocolCombo"));
    // Plain FTP sends the password in clear; TLS keeps it, and the files, private.
    m_protocol->addItem(QStringLiteral("FTP"), static_cast<int>(FtpServerEntry::Protocol::Ftp));
    m_protocol->addItem(QStringLiteral("FTP over TLS (explicit, AUTH TLS)"),
        static_cast<int>(FtpServerEntry::Protocol::Ftps));
    m_protocol->addItem(QStringLiteral("SFTP"), static_cast<int>(FtpServerEntry::Protocol::Sftp));
    m_password->setEchoMode(QLineEdit::Password);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), m_port));
    m_port->setMaximumWidth(90);
    limitEditBytes(m_address, 256);
    limitEditBytes(m_user, 128);
    limitEditBytes(m_password, 128);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("등록된 리스트"), m_names);
    form->addRow(QStringLiteral("FTP 서버 주소"), m_address);
    form->addRow(QStringLiteral("사용자"), m_user);
    form->addRow(QStringLiteral("비밀번호"), m_password);
    form->addRow(QStringLiteral("포트"), m_port);
    form->addRow(QString(), m_passive);
    form->addRow(QStringLiteral("프로토콜"), m_protocol);

    QPushButton *newButton = ftpButton(QStringLiteral("새 FTP"), "newButton", c::kNewButton, this);
    QPushButton *saveButton = ftpButton(QStringLiteral("저장"), "saveButton", c::kSaveButton, this);
    QPushButton *deleteButton = ftpButton(QStringLiteral("삭제"), "deleteButton", c::kDeleteButton, this);
    auto *side = new QVBoxLayout;
    side->addWidget(newButton);
    side->addWidget(saveButton);
    side->addWidget(deleteButton);
    side->addStretch();

    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addSpacing(12);
    top->addLayout(side);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFtpServerListDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The dialog's status line: what a save did to the list file.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("serverListStatus"));
    m_status->setWordWrap(true);
    m_status->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    connect(newButton, &QPushButton::clicked, this, &CFtpServerListDialog::OnNew);
    connect(saveButton, &QPushButton::clicked, this, &CFtpServerListDialog::OnSave);
    connect(deleteButton, &QPushButton::clicked, this, &CFtpServerListDialog::OnDelete);
    connect(m_names, &QComboBox::currentIndexChanged, this, [this] { loadSelected(); });
    connect(m_protocol, &QComboBox::currentIndexChanged, this, [this] { onProtocolChanged(); });

    initialize();
}

void CFtpServerListDialog::initialize()
{
    if (!m_list.exists()) {
        if (!m_list.create())
            m_prompter.message(
                QStringLiteral("FTP 서버 목록 파일을 만들 수 없습니다.\n%1").arg(m_list.path()), m_appName,
                FtpPrompter::Icon::Error);
        // A new list: nothing to show yet.
        m_port->setText(QStringLiteral("0"));
        return;
    }
    reloadNames();
}

void CFtpServerListDialog::reloadNames()
{
    const QSignalBlocker block(m_names);
    m_names->clear();
    m_names->addItems(m_list.names());
    if (m_names->count() > 0) {
        m_names->setCurrentIndex(0);
        loadSelected();
    } else {
        m_entry = FtpServerList::defaultEntry();
        showEntry(m_entry);
    }
}

void CFtpServerListDialog::loadSelected()
{
    const int index = m_names->currentIndex();
    if (index < 0)
        return;
    m_selectedIndex = index;
    m_entry = m_list.read(m_names->itemText(index));
    showEntry(m_entry);
}

void CFtpServerListDialog::showEntry(const FtpServerEntry &entry)
{
    m_address->setText(entry.address);
    m_user->setText(entry.user);
    m_password->setText(entry.password);
    m_port->setText(QString::number(entry.port));
    m_passive->setChecked(entry.passive != 0);
    const int index = m_protocol->findData(static_cast<int>(entry.protocol));
    {
        // The entry's own port stands: no default follows this choice.
        const QSignalBlocker block(m_protocol);
        m_protocol->setCurrentIndex(index < 0 ? 0 : index);
    }
    m_protocolShown = static_cast<FtpServerEntry::Protocol>(m_protocol->currentData().toInt());
    // Passive mode is FTP's; SFTP has one connection only.
    m_passive->setEnabled(m_protocolShown != FtpServerEntry::Protocol::Sftp);
}

void CFtpServerListDialog::onProtocolChanged()
{
    FtpServerEntry before;
    before.protocol = m_protocolShown;
    FtpServerEntry after;
    after.protocol = static_cast<FtpServerEntry::Protocol>(m_protocol->currentData().toInt());
    m_protocolShown = after.protocol;
    m_passive->setEnabled(after.protocol != FtpServerEntry::Protocol::Sftp);
    // A port the user typed stays; the default of the protocol left (or
    // nothing) becomes the default of the one chosen.
    const QString port = m_port->text().trimmed();
    if (port.isEmpty() || port == QLatin1String("0") || port.toInt() == before.defaultPort())
        m_port->setText(QString::number(after.defaultPort()));
}

bool CFtpServerListDialog::takeValues()
{
    m_entry.address = m_address->text();
    m_entry.user = m_user->text();
    m_entry.password = m_password->text();
    m_entry.passive = m_passive->isChecked() ? 1 : 0;
    m_entry.protocol = static_cast<FtpServerEntry::Protocol>(m_protocol->currentData().toInt());
    bool ok = false;
    const int port = m_port->text().toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        m_prompter.message(QStringLiteral("0에서 65535 사이의 정수를 입력하십시오."), m_appName,
            FtpPrompter::Icon::Information);
        m_port->setFocus();
        m_port->selectAll();
        return false;
    }
    m_entry.port = port;
    return true;
}

void CFtpServerListDialog::save()
{
    if (m_names->currentIndex() < 0)
        return;
    if (m_entry.address.isEmpty()) {
        m_prompter.message(QStringLiteral("주소는 꼭 넣어주세요\n저정하지 않습니다."), m_appName,
            FtpPrompter::Icon::Information);
        return;
    }
    const bool saved = m_list.save(m_names->currentText(), m_entry);
    m_status->setText(m_list.lastNote());
    m_status->setVisible(!m_list.lastNote().isEmpty());
    if (!saved)
        m_prompter.message(QStringLiteral("서버 목록을 저장하지 못했습니다.\n%1").arg(m_list.lastNote()),
            m_appName, FtpPrompter::Icon::Error);
    showEntry(m_entry);
}

void CFtpServerListDialog::OnSave()
{
    takeValues();
    save();
}

void CFtpServerListDialog::OnNew()
{
    const std::optional<QString> name
        = m_prompter.askText(QStringLiteral("새로 추가할   FTP 이름을 입력하세요."), QString(), QString());
    if (!name)
        return;
    takeValues();
    if (name->isEmpty())
        return;
    for (int i = 0; i < m_names->count(); ++i) {
        if (m_names->itemText(i).compare(*name, Qt::CaseInsensitive) == 0) {
            m_prompter.message(QStringLiteral("입력하신 서버명이 등록되어있습니다."), m_appName,
                FtpPrompter::Icon::Information);
            return;
        }
    }
    {
        const QSignalBlocker block(m_names);
        m_names->insertItem(0, *name);
        m_names->setCurrentIndex(0);
    }
    m_selectedIndex = 0;
    m_entry = FtpServerList::defaultEntry();
    showEntry(m_entry);
    save();
}

void CFtpServerListDialog::OnDelete()
{
    const int index = m_names->currentIndex();
    if (index >= 0) {
        if (m_prompter.okCancel(
                QStringLiteral("선택된 항목이 삭제됩니다. 계속하시겠습니까 ?"), QStringLiteral("삭제"))) {
            m_list.remove(m_names->itemText(index));
            reloadNames();
        }
    }
    showEntry(m_entry);
}

void CFtpServerListDialog::accept()
{
    m_selectedIndex = m_names->currentIndex();
    // A refused port keeps the dialog open, so the user can mend it.
    if (!takeValues())
        return;
    save();
    QDialog::accept();
}
