#pragma once

#include <QDialog>

#include "ftp/ftpserverentry.h"
#include "ftp/ftpserverlist.h"

class FtpPrompter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Dialog 134, "사용자 FTP 서버 목록": adds, edits, saves and deletes the
// servers of the server list file.
class CFtpServerListDialog : public QDialog {
    Q_OBJECT
public:
    CFtpServerListDialog(
        const QString &iniPath, FtpPrompter &prompter, const QString &appName, QWidget *parent = nullptr);

    // The list entry selected when the dialog closed; -1 for none.
    int selectedIndex() const { return m_selectedIndex; }
    const FtpServerEntry &entry() const { return m_entry; }

    void OnNew();
    void OnSave();
    void OnDelete();
    void accept() override;

private:
    void initialize();
    void reloadNames();
    void loadSelected();
    void showEntry(const FtpServerEntry &entry);
    // Takes the controls' values into the entry; false when the port is no
    // number from 0 to 65535 (told, and the previous port kept).
    bool takeValues();
    void save();
    void onProtocolChanged();

    FtpServerList m_list;
    FtpPrompter &m_prompter;
    QString m_appName;
    FtpServerEntry m_entry;
    int m_selectedIndex = -1;
    QComboBox *m_names;
    QLineEdit *m_address;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLineEdit *m_port;
    QCheckBox *m_passive;
    QComboBox *m_protocol;
    QLabel *m_status = nullptr;
    FtpServerEntry::Protocol m_protocolShown = FtpServerEntry::Protocol::Ftp;
};
