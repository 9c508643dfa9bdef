#pragma once

#include <QDialog>

class QCheckBox;
class SetupFinisher;

// Dialog 102, "린드바트": the last window of the installation. "완료" hands
// the two choices to the finisher; Esc closes without starting anything.
class CCorvaleDlg : public QDialog {
    Q_OBJECT
public:
    static const QString kNotice;

    explicit CCorvaleDlg(SetupFinisher &finisher, QWidget *parent = nullptr);

    int m_bRunProgram = 1; // box 1001
    int m_bReadMe = 0; // box 1000

public slots:
    void accept() override; // "완료" and Enter

private:
    SetupFinisher &m_finisher;
    QCheckBox *m_runProgram;
    QCheckBox *m_readMe;
};
