#pragma once

#include <QString>

class QSettings;
class SetupShell;

// The installation directory as the setup finisher finds it: the value must
// fit a buffer of 2,000 bytes with its terminator, and name an existing
// folder. `problem` says in Korean why it is unusable.
struct FinisherDirectory {
    QString path;
    QString problem; // empty when `path` can be used

    bool usable() const { return problem.isEmpty(); }
};

// Where the installation directory is looked for when Quorel's profile has
// none, as on a package installation that no per-user installer ran for:
// the machine-wide values, then Corvale's own folder if Quorel is there.
struct FinisherFallbacks {
    const QSettings *machine = nullptr;
    QString ownFolder;
};

// What "완료" does, without a window: find the installation directory, make
// it the current directory, start Quorel first and open the ReadMe second.
class SetupFinisher {
public:
    static constexpr int kPathBufferBytes = 2000;

    SetupFinisher(const QSettings &quorelProfile, SetupShell &shell, FinisherFallbacks fallbacks = {});

    FinisherDirectory installDirectory() const;

    // Returns true when everything asked for was started. Nothing at all is
    // started when the installation directory is unusable; the user is told
    // why in each case of failure.
    bool finish(bool runProgram, bool readMe);

    static QString programName() { return QStringLiteral("Quorel"); }
    static QString readMeName() { return QStringLiteral("readme.txt"); }

private:
    const QSettings &m_profile;
    SetupShell &m_shell;
    FinisherFallbacks m_fallbacks;
};
