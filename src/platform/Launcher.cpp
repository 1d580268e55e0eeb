#include "Launcher.h"

#include <QProcess>
#include <QStandardPaths>

namespace zandrel {

QString openerProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral("explorer.exe");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("open");
#else
    return QStringLiteral("xdg-open");
#endif
}

QString missingProgram(const QString &program)
{
    if (program.isEmpty() || !QStandardPaths::findExecutable(program).isEmpty())
        return {};
    const QString missing = QStringLiteral("\"%1\" is not installed").arg(program);
    // The desktop's opener is the one a bare system lacks; its Debian package brings it.
    if (program == QLatin1StringView("xdg-open"))
        return missing + QStringLiteral(" (apt install xdg-utils)");
    return missing;
}

bool ProcessLauncher::open(const QString &target)
{
    return start(openerProgram(), {target});
}

bool ProcessLauncher::start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

QStringList splitCommandLine(const QString &command)
{
    QStringList words;
    QString word;
    bool inWord = false;
    enum class Quote { None, Single, Double } quote = Quote::None;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command.at(i);
        if (quote == Quote::Single) {
            if (c == u'\'')
                quote = Quote::None;
            else
                word += c;
            continue;
        }
        if (quote == Quote::Double) {
            if (c == u'"') {
                quote = Quote::None;
            } else if (c == u'\\' && i + 1 < command.size()
                       && QStringView(u"\"\\$`").contains(command.at(i + 1))) {
                word += command.at(++i);
            } else {
                word += c;
            }
            continue;
        }
        if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == u'\'')
            quote = Quote::Single;
        else if (c == u'"')
            quote = Quote::Double;
        else if (c == u'\\' && i + 1 < command.size())
            word += command.at(++i);
        else
            word += c;
    }
    if (inWord)
        words << word;
    return words;
}

} // namespace zandrel
