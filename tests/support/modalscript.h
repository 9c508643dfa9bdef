#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

// Answers the modal windows a command opens, in order, the way a user does:
// each step waits for the next modal window of the program and acts on it
// with real input. A step returns false when the window is not the one it
// waits for (it is then asked again). A watchdog rejects every modal window
// left after `timeoutMs`, so a window nobody can answer fails the test
// instead of hanging it.
class ModalScript {
public:
    using Step = std::function<bool(QWidget *modal)>;

    explicit ModalScript(int timeoutMs = 20000)
        : m_timeoutMs(timeoutMs)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(20);
        m_clock.start();
    }
    ~ModalScript() { m_poll.stop(); }

    void then(Step step) { m_steps.push_back(std::move(step)); }
    bool finished() const { return m_steps.empty(); }
    bool timedOut() const { return m_timedOut; }
    // The text of every message box the script answered, in order.
    QStringList boxTexts;

    // Steps for the usual windows.
    static Step typeFileName(const QString &name)
    {
        return [name](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (!dialog)
                return false;
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            auto *model = dialog->findChild<QFileSystemModel *>();
            if (!edit || !model)
                return false;
            // A user types once the folder is listed; typing before, the
            // listing's late selection would join the typed name.
            if (model->rowCount(model->index(dialog->directory().absolutePath())) == 0)
                return false;
            // Where a user types: the dialog active, its name field focused
            // (the dialog writes a name chosen in its list only into a field
            // without focus).
            dialog->activateWindow();
            edit->setFocus();
            if (!edit->hasFocus())
                return false;
            edit->selectAll();
            QTest::keyClicks(edit, name);
            if (edit->text() != name)
                return false;
            // The completer's list, when the folder's listing came in time,
            // would take the Return for itself.
            if (edit->completer() && edit->completer()->popup())
                edit->completer()->popup()->hide();
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible()) {
                auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                for (QAbstractButton *button : buttons ? buttons->buttons() : QList<QAbstractButton *>()) {
                    if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
                        QTest::mouseClick(button, Qt::LeftButton);
                        break;
                    }
                }
            }
            return true;
        };
    }
    // Clicks the message box's button that reads `label`.
    Step clickBoxButtonLabelled(const QString &label)
    {
        return [this, label](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == label) {
                    boxTexts << box->text();
                    QTest::mouseClick(button, Qt::LeftButton);
                    return true;
                }
            }
            return false;
        };
    }
    Step clickBoxButton(QMessageBox::StandardButton which)
    {
        return [this, which](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box || !box->button(which))
                return false;
            boxTexts << box->text();
            QTest::mouseClick(box->button(which), Qt::LeftButton);
            return true;
        };
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (m_clock.elapsed() > m_timeoutMs) {
            if (modal) {
                m_timedOut = true;
                // Hidden, not closed: a window whose close is refused must
                // still let the test end.
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                    dialog->setResult(QDialog::Rejected);
                modal->hide();
            }
            return;
        }
        // A step acts once on a window; the same window is left alone
        // until it goes or another comes over it.
        if (!modal || m_steps.empty() || modal == m_last)
            return;
        // Taken off before it acts: its click may open the next window, and
        // the next step must be the one to answer that.
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        const QPointer<QWidget> before = m_last;
        m_last = modal;
        if (!step(modal)) {
            m_steps.push_front(std::move(step));
            m_last = before;
        }
    }

    std::deque<Step> m_steps;
    QTimer m_poll;
    QElapsedTimer m_clock;
    int m_timeoutMs;
    bool m_timedOut = false;
    QPointer<QWidget> m_last;
};
