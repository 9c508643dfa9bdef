#pragma once

#include "document/conversionfault.h"
#include "document/conversionwarning.h"

#include <QString>

// What opening, making or saving a document came to. The document has no
// windows: it tells, and the window shows. A failure carries its reason,
// ready to show, and the line to blame where there is one; a success may
// carry a notice the user must still read (a file that opened as a
// read-only copy).
struct DocumentOutcome {
    enum class Status {
        Done,
        Failed,
        Cancelled, // the user said no to a question: nothing to tell
    };

    Status status = Status::Done;
    QString message; // Korean, ready to show; empty when there is nothing to tell
    int line = 0; // counted from 1; 0 when no line is to blame
    // Every line a conversion refused, with its reason; empty otherwise.
    ConversionFaults faults;
    // What a successful conversion left for the user to mend by hand.
    ConversionWarnings warnings;

    static DocumentOutcome done(const QString &notice = QString(), int line = 0)
    {
        return {Status::Done, notice, line, {}, {}};
    }
    static DocumentOutcome failed(const QString &reason = QString(), int line = 0)
    {
        return {Status::Failed, reason, line, {}, {}};
    }
    static DocumentOutcome cancelled() { return {Status::Cancelled, QString(), 0, {}, {}}; }

    bool ok() const { return status == Status::Done; }
    explicit operator bool() const { return ok(); }
};
