#include "platform/commandline.h"

#include <QSet>

#include <cstdio>

namespace {

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

// The options QGuiApplication and QApplication take out of argv themselves,
// spelt with one dash or two; the first group is followed by a value.
const QSet<QString> kQtOptionsWithValue {QStringLiteral("platform"), QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"), QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"),
    QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"), QStringLiteral("session"),
    QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("name"),
    QStringLiteral("style"), QStringLiteral("stylesheet")};
const QSet<QString> kQtSwitches {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
    QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync")};

QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QStringLiteral("--")) {
            kept << arguments.mid(i);
            break;
        }
        if (i == 0 || !arg.startsWith(u'-') || arg.size() == 1) {
            kept << arg;
            continue;
        }
        const QString name = arg.mid(arg.startsWith(QStringLiteral("--")) ? 2 : 1).section(u'=', 0, 0);
        if (kQtSwitches.contains(name) || (kQtOptionsWithValue.contains(name) && arg.contains(u'=')))
            continue;
        if (kQtOptionsWithValue.contains(name)) {
            ++i; // and its value
            continue;
        }
        kept << arg;
    }
    return kept;
}

void write(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

ProgramCommandLine::ProgramCommandLine(QString program, QString version, QString purpose)
    : m_program(std::move(program))
    , m_version(std::move(version))
    , m_purpose(std::move(purpose))
{
    m_parser.addOption(QCommandLineOption(QStringList {QStringLiteral("h"), kHelp}));
    m_parser.addOption(QCommandLineOption(kVersion));
}

void ProgramCommandLine::addSwitch(const QString &name, const QString &description)
{
    m_parser.addOption(QCommandLineOption(name));
    m_switches.append({name, description});
}

void ProgramCommandLine::acceptFile(const QString &valueName, const QString &description)
{
    m_fileName = valueName;
    m_fileDescription = description;
}

QString ProgramCommandLine::usage() const
{
    QString text = QStringLiteral("사용법: %1 [옵션]").arg(m_program);
    if (!m_fileName.isEmpty())
        text += QStringLiteral(" [%1]").arg(m_fileName);
    text += u'\n' + m_purpose + QStringLiteral("\n\n");
    if (!m_fileName.isEmpty())
        text += QStringLiteral("  %1  %2\n\n").arg(m_fileName.leftJustified(14), m_fileDescription);
    text += QStringLiteral("옵션:\n");
    text += QStringLiteral("  -h, --help        이 도움말을 보여 주고 끝냅니다.\n");
    text += QStringLiteral("      --version     버전을 보여 주고 끝냅니다.\n");
    for (const auto &[name, description] : m_switches)
        text += QStringLiteral("      --%1  %2\n").arg(name.leftJustified(10), description);
    return text;
}

std::optional<int> ProgramCommandLine::read(const QStringList &arguments)
{
    if (!m_parser.parse(withoutQtOptions(arguments))) {
        // The parser's own words are English; ours name the option instead.
        const QStringList unknown = m_parser.unknownOptionNames();
        const QString what = unknown.isEmpty()
            ? m_parser.errorText()
            : QStringLiteral("알 수 없는 옵션 '%1%2'입니다.")
                  .arg(unknown.front().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"),
                      unknown.front());
        write(stderr, QStringLiteral("%1: %2\n\n%3").arg(m_program, what, usage()));
        return kUsageError;
    }
    if (m_parser.isSet(kHelp)) {
        write(stdout, usage());
        return 0;
    }
    if (m_parser.isSet(kVersion)) {
        write(stdout, QStringLiteral("%1 %2\n").arg(m_program, m_version));
        return 0;
    }
    if (m_fileName.isEmpty() && !m_parser.positionalArguments().isEmpty()) {
        write(stderr,
            QStringLiteral("%1: 인수를 받지 않습니다: %2\n\n%3")
                .arg(m_program, m_parser.positionalArguments().front(), usage()));
        return kUsageError;
    }
    return std::nullopt;
}

bool ProgramCommandLine::isSet(const QString &name) const
{
    return m_parser.isSet(name);
}

QStringList ProgramCommandLine::files() const
{
    return m_parser.positionalArguments();
}

QStringList ProgramCommandLine::arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}
