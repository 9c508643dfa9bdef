#pragma once

#include <QList>
#include <QString>

// One line the library refused while converting a whole text: where, which
// label, and why, in Korean as the library words it.
struct ConversionFault {
    int line = 0; // counted from 1
    int column = 0; // counted from 1, in characters; 0 when unknown
    QString label; // the refused label or name, as the text spells it
    QString reason; // Korean, ready to show

    // "63번째 줄 1열: <reason>"; the column is left out when unknown.
    QString text() const;
};

using ConversionFaults = QList<ConversionFault>;
