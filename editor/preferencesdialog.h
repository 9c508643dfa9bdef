#pragma once

#include "editor/editorlook.h"

#include <QDialog>

class QCheckBox;
class QFontComboBox;
class QSpinBox;

// "환경 설정": the editor's font, size, tab width and line numbers, and
// whether a save counts a zone's SOA serial on. It only collects them;
// whoever opens it applies and keeps what comes back.
class CPreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPreferencesDialog(const EditorLook &look, QWidget *parent = nullptr);

    // The look with the dialog's choices in it; the zoom is left as it was
    // unless the size changed, which starts the zoom afresh.
    EditorLook look() const;

    // Not part of the look: it changes what a save writes, not what a view shows.
    void setBumpSoaSerial(bool bump);
    bool bumpSoaSerial() const;

private:
    EditorLook m_initial;
    QFontComboBox *m_family = nullptr;
    QSpinBox *m_size = nullptr;
    QSpinBox *m_tabWidth = nullptr;
    QCheckBox *m_lineNumbers = nullptr;
    QCheckBox *m_bumpSoaSerial = nullptr;
};
