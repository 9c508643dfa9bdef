#pragma once

#include <QDialog>
#include <QList>
#include <QTimer>

#include "rtf/rtfreader.h"

class QCheckBox;
class QThread;
class QTextBrowser;
class QTextDocument;

// Dialog 144, "린드바트 정보": the program's name, version and notice, and
// the update notes of the installation ("updateinfo.rtf") in a read-only
// box that can scroll itself a line a second ("Auto Scrolling").
class CUpdateInfoDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kAutoScrollTimer = 1;
    static constexpr int kAutoScrollMilliseconds = 1000;
    // Notes larger than this are not read: update notes are a few pages.
    static constexpr qint64 kMaxNotesBytes = 8 * 1024 * 1024;
    // What of the notes is shown: a few pages are far below this, and a
    // file of a million paragraphs is read and laid out no further.
    static constexpr rtf::Limits kNotesLimits {2000, 20000, 5000, 500};
    // Notes with a word longer than this wrap anywhere, not at words.
    static constexpr qsizetype kLongestWrappedWord = 1000;
    // Notes up to this size are read before the window shows, in a few
    // milliseconds at most; larger ones off the GUI thread, while the box
    // shows kReadingNotes.
    static constexpr qint64 kReadHereBytes = 512 * 1024;
    static const QString kNotesFileName;
    static const QString kNoNotes;
    // The last line of notes that went on past kNotesLimits.
    static const QString kNotesCut;
    static const QString kReadingNotes;
    static const QString kNotice;

    explicit CUpdateInfoDialog(const QString &installDirectory, QWidget *parent = nullptr);
    ~CUpdateInfoDialog() override;

    // One tick of the timer `nIDEvent`; only timer 1 scrolls.
    void OnTimer(int nIDEvent);

    int scrollCounter() const { return m_nScrollCount; }
    int lineCount() const { return m_nLineCount; }
    // The laid-out line at the top of the box, counted from 0.
    int firstVisibleLine() const;
    QTextBrowser *notes() const { return m_notes; }
    QCheckBox *autoScrollBox() const { return m_autoScroll; }
    const QTimer &autoScrollTimer() const { return m_timer; }

    // Puts what the reader found into `target`, with its formatting.
    static void fillDocument(QTextDocument &target, const rtf::Document &notes);

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct NotesFile;
    static NotesFile readNotesFile(const QString &path);

    void loadNotes(const QString &installDirectory);
    void showNotes(const NotesFile &file);
    void countLines();
    QList<int> lineTops() const;
    void scrollLines(int lines);

    QTextBrowser *m_notes;
    QCheckBox *m_autoScroll;
    QTimer m_timer;
    QThread *m_reader = nullptr; // reads large notes; waited for only when the window is destroyed
    int m_nScrollCount = 0;
    int m_nLineCount = 0;
    bool m_counted = false;
};
