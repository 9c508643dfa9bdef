#pragma once

#include <QObject>
#include <QPointer>

#include <optional>

#include "app/checkrunner.h"

class CMainFrame;
class CQuorelDoc;
class CheckResultPane;
class Prompter;
class QuorelSettings;

// "검사" (F7): the active document's text, as a save would write it, checked
// by its server's own checker; the findings go to the "검사 결과" pane at
// the bottom of the main window, whose rows lead to their lines. The
// document itself is never saved or touched.
class CheckCommand : public QObject {
    Q_OBJECT
public:
    CheckCommand(CMainFrame &frame, QuorelSettings &settings, Prompter &prompter, QObject *parent = nullptr);

    // The pane, made by the first check; nullptr before.
    CheckResultPane *pane() const { return m_pane; }
    CheckRunner &runner() { return m_runner; }

    void OnCheckDocument();
    // Shows a report as a finished check does (the screenshots use it too).
    void showReport(const QString &documentName, const CheckReport &report);

private:
    // The zone name for a zone file: remembered for its path, else asked.
    // Empty when the user cancels.
    QString zoneOrigin(const CQuorelDoc &doc, const QString &text);
    void onFinished(const CheckReport &report);
    void goToLine(int line);
    CheckResultPane *ensurePane();

    CMainFrame &m_frame;
    QuorelSettings &m_settings;
    Prompter &m_prompter;
    CheckRunner m_runner;
    CheckResultPane *m_pane = nullptr;
    QPointer<CQuorelDoc> m_checked;
    QString m_checkedName;
};

// Which checker suits a document holding `bytes`; none for general text.
std::optional<CheckKind> checkKindOf(const CQuorelDoc &doc, const QByteArray &bytes);
