#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// A program's command line, read before anything needs a screen: --help and
// --version are answered on standard output, and a mistake gets the usage on
// standard error and exit status 2, so a script or a terminal without a
// display always hears back. Qt's own options (-platform, -style, ...) are
// left for the application object and never count as mistakes.
class ProgramCommandLine {
public:
    static constexpr int kUsageError = 2;

    // `program` and `version` make the version line ("Quorel 0.98b");
    // `purpose` is one Korean line under the usage.
    ProgramCommandLine(QString program, QString version, QString purpose);

    void addSwitch(const QString &name, const QString &description);
    // The program takes one file (more are ignored); without this call any
    // argument that is not an option is a mistake.
    void acceptFile(const QString &valueName, const QString &description);

    // Reads `arguments` (the program's name first). Returns the exit status
    // when the command line has been answered and the program should end.
    std::optional<int> read(const QStringList &arguments);

    bool isSet(const QString &name) const;
    QStringList files() const;
    QString usage() const;

    static QStringList arguments(int argc, char **argv);

private:
    QString m_program;
    QString m_version;
    QString m_purpose;
    QString m_fileName;
    QString m_fileDescription;
    QList<QPair<QString, QString>> m_switches;
    QCommandLineParser m_parser;
};
