#include "Launcher.h"

#include <QProcess>

namespace zandrel {

bool ProcessLauncher::open(const QString &target)
{
#ifdef Q_OS_WIN
    return start(QStringLiteral("explorer.exe"), {target});
#elif defined(Q_OS_MACOS)
    return start(QStringLiteral("open"), {target});
#else
    return start(QStringLiteral("xdg-open"), {target});
#endif
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
