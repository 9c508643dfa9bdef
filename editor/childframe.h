#pragma once

#include <QMdiSubWindow>

#include <memory>

class CQuorelDoc;
class CQuorelView;

// One editor window: the sole owner of its document and of its one view.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Takes `doc` over.
    explicit CChildFrame(std::unique_ptr<CQuorelDoc> doc, QWidget *parent = nullptr);
    ~CChildFrame() override;

    CQuorelDoc *document() const { return m_doc.get(); }
    CQuorelView *view() const { return m_view; }

    // Closes without asking about changes (the caller has dealt with them).
    void closeWithoutAsking();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTitle();

    std::unique_ptr<CQuorelDoc> m_doc;
    CQuorelView *m_view;
    bool m_skipQuery = false;
};
