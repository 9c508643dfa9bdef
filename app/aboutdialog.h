#pragma once

#include <QDialog>

class CLinkStatic;

// "린드바트 정보": the program's pictures, name and version, the maker's web
// address and a live mail link.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char *kWebAddress = "https://quorel.example/";
    static constexpr const char *kMailAddress = "support@quorel.example";

    explicit CAboutDialog(QWidget *parent = nullptr);
    CLinkStatic *mailLink() const { return m_mailLink; }

private:
    CLinkStatic *m_mailLink;
};
