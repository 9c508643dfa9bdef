#pragma once

class QCoreApplication;
class QTranslator;

// Installs Qt's own Korean translation (qtbase_ko.qm from Qt's translations
// folder) on `app`, so the standard dialogs and buttons Qt draws (Yes, No,
// Cancel, the file and print dialogs) speak Korean like the rest of the
// program. The translator is owned by `app`. Returns it, or nullptr when the
// translation is not installed: the program then runs with Qt's English.
QTranslator *installQtTranslation(QCoreApplication &app);
