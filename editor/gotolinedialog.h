#pragma once

#include <QDialog>
#include <QString>

#include <tl/expected.hpp>

class QLabel;
class QLineEdit;

// A place in the text as a user names it: line and column, both from 1.
struct LineTarget {
    int line = 1;
    int column = 1;
};

// Reads "줄" or "줄:열" against a text of `lineCount` lines. A line outside
// the text, a column below 1 or anything that is not a number is refused
// with a Korean message; a column past the line's end is left for the
// caller to clamp, since the line's length is the view's to know.
tl::expected<LineTarget, QString> parseLineTarget(const QString &text, int lineCount);

// "줄 이동": asks for a line, or line:column, and stays open with the reason
// shown until what is typed names a place in the text.
class GoToLineDialog : public QDialog {
    Q_OBJECT
public:
    GoToLineDialog(int lineCount, int currentLine, QWidget *parent = nullptr);

    LineTarget target() const { return m_target; }

    void accept() override;

private:
    int m_lineCount;
    LineTarget m_target;
    QLineEdit *m_edit = nullptr;
    QLabel *m_error = nullptr;
};
