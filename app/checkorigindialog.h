#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks which zone a zone file holds, for its checker: prefilled with the
// name the file itself suggests. OK stays off while the field is empty.
class CheckOriginDialog : public QDialog {
    Q_OBJECT
public:
    CheckOriginDialog(const QString &fileName, const QString &guess, QWidget *parent = nullptr);

    QString origin() const;

private:
    QLineEdit *m_edit;
    QPushButton *m_ok = nullptr;
};
