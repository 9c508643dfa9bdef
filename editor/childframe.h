#pragma once

#include <QMdiSubWindow>

class CQuorelDoc;
class CQuorelView;

// One editor window: it owns its document and its one view. Its address is
// the key of the document's entry in the open-files list.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(CQuorelDoc *doc, QWidget *parent = nullptr);
    ~CChildFrame() override;

    CQuorelDoc *document() const { return m_pDoc; }
    CQuorelView *view() const { return m_pView; }

    // Closes without asking about changes (the caller has dealt with them).
    void closeWithoutAsking();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTitle();

    CQuorelDoc *m_pDoc;
    CQuorelView *m_pView;
    bool m_bSkipQuery = false;
};
