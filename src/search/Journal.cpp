#include "Journal.h"

#include "JournalLines.h"
#include "platform/AppInfo.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace zandrel {

namespace {

// Far above any real line (the first holds both word lists, each at most 100 MB), low enough to
// hold one.
constexpr qint64 MaxLineBytes = 512LL * 1024 * 1024;
// The finished line is short; the tail read to find it.
constexpr qint64 TailBytes = 4096;

const QString TypeKey = QStringLiteral("type");
const QString HeaderType = QStringLiteral("header");
const QString LookupType = QStringLiteral("lookup");
const QString FinishedType = QStringLiteral("finished");

QString utcText(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODate) : QString();
}

QDateTime utcFrom(const QJsonValue &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate).toUTC();
}

QJsonArray arrayOf(const QStringList &texts)
{
    return QJsonArray::fromStringList(texts);
}

// Strings of a JSON array; nothing when it holds anything else.
std::optional<QStringList> stringsOf(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue &item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        texts << item.toString();
    }
    return texts;
}

QByteArray lineOf(const QJsonObject &object, const VerdictDetails &details = {})
{
    return QJsonDocument(withDetails(object, details)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> objectOf(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<RunInputs> inputsOf(const QJsonObject &header)
{
    const auto prefixes = stringsOf(header[u"prefixes"]);
    const auto suffixes = stringsOf(header[u"suffixes"]);
    if (!prefixes || !suffixes || !header[u"comSuffix"].isBool() || !header[u"clearEachSearch"].isBool()
        || !header[u"queryType"].isDouble())
        return std::nullopt;
    RunInputs inputs;
    inputs.prefixes = *prefixes;
    inputs.suffixes = *suffixes;
    inputs.comSuffix = header[u"comSuffix"].toBool();
    inputs.clearEachSearch = header[u"clearEachSearch"].toBool();
    inputs.queryType = header[u"queryType"].toInt();
    inputs.removalText = header[u"removalText"].toString();
    inputs.server = header[u"server"].toString();
    // Journals written before the pace was kept have none: the run then takes the usual one.
    inputs.delayMs = header[u"delayMs"].toInt(-1);
    inputs.autoPace = header[u"autoPace"].toBool();
    inputs.startedAt = utcFrom(header[u"startedAt"]);
    // Journals of runs in .com alone, and of runs before more TLDs could be asked, have none.
    if (header.contains(u"tlds")) {
        const auto tlds = stringsOf(header[u"tlds"]);
        if (!tlds || tlds->isEmpty())
            return std::nullopt;
        inputs.tlds = *tlds;
    }
    inputs.dnsFirst = header[u"dnsFirst"].toBool(false);
    if (header.contains(u"routing")) {
        const QJsonObject routing = header[u"routing"].toObject();
        const std::optional<Protocol> protocol = parseProtocol(routing[u"protocol"].toString());
        if (!routing[u"servers"].isObject() || !protocol)
            return std::nullopt;
        ServerOverrides overrides;
        overrides.serverOption = routing[u"server"].toString();
        overrides.whoisServer = routing[u"whoisServer"].toString();
        overrides.protocol = *protocol;
        const QJsonObject servers = routing[u"servers"].toObject();
        for (auto it = servers.begin(); it != servers.end(); ++it)
            overrides.perTld.insert(it.key(), it.value().toString());
        inputs.routing = overrides;
        inputs.dnsServer = header[u"dnsServer"].toString();
    }
    return inputs;
}

std::optional<LookupRecord> recordOf(const QJsonObject &line, qint64 expectedIndex)
{
    const auto kind = verdictFromName(line[u"verdict"].toString());
    const auto available = stringsOf(line[u"addedAvailable"]);
    const auto links = stringsOf(line[u"addedLinks"]);
    if (line[u"index"].toInteger() != expectedIndex || !line[u"name"].isString() || !kind || !available
        || !links)
        return std::nullopt;
    LookupRecord record;
    record.details = detailsFrom(line); // none in journals from before the details
    record.index = expectedIndex;
    record.name = line[u"name"].toString();
    record.judged = line[u"judged"].toBool(true);
    record.verdict = Verdict::fromReasonText(*kind, line[u"reason"].toString());
    record.server = line[u"server"].toString();
    record.checkedAt = utcFrom(line[u"time"]);
    record.addedAvailable = *available;
    record.addedLinks = *links;
    return record;
}

// "run-20261206-224000.jsonl", then "…_2.jsonl" for a second run in the same second.
constexpr QLatin1StringView NamePrefix("run-");
constexpr QLatin1StringView NameSuffix(".jsonl");

QString journalName(const QDateTime &startedAt, int number)
{
    QString name = NamePrefix + startedAt.toString(u"yyyyMMdd-HHmmss");
    if (number > 1)
        name += u'_' + QString::number(number);
    return name + NameSuffix;
}

// Orders journal names by start time, then by number within the second.
std::pair<QString, int> startOrder(const QString &name)
{
    const QString base = name.chopped(NameSuffix.size());
    const qsizetype mark = base.indexOf(u'_');
    if (mark < 0)
        return {base, 1};
    return {base.left(mark), base.mid(mark + 1).toInt()};
}

// The start time a journal's name carries (UTC), for a journal that cannot be read.
QDateTime startTimeOf(const QString &name)
{
    QDateTime when = QDateTime::fromString(startOrder(name).first.mid(NamePrefix.size()), u"yyyyMMdd-HHmmss");
    when.setTimeSpec(Qt::UTC);
    return when;
}

// The finished time in the last line of a journal, read from its tail only.
QDateTime finishedTime(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(std::max<qint64>(0, file.size() - TailBytes));
    const QByteArray tail = file.readAll();
    if (!tail.endsWith('\n'))
        return {};
    const qsizetype start = tail.lastIndexOf('\n', tail.size() - 2) + 1;
    const auto line = objectOf(QByteArrayView(tail).sliced(start));
    if (!line || (*line)[TypeKey].toString() != FinishedType)
        return {};
    return utcFrom((*line)[u"time"]);
}

// A file's lines one at a time, each with its line feed (the last may have none), read in chunks:
// memory stays at one line however long the file.
class LineReader
{
public:
    enum class Got { Line, End, TooLong, Failed };

    explicit LineReader(QFile &file)
        : m_file(file)
    { }

    Got next(QByteArray &line)
    {
        for (;;) {
            const qsizetype end = m_buffer.indexOf('\n', std::max(m_start, m_scanned));
            if (end >= 0)
                return take(line, end + 1);
            m_scanned = m_buffer.size();
            if (m_buffer.size() - m_start > MaxLineBytes)
                return Got::TooLong;
            m_buffer.remove(0, m_start);
            m_scanned -= m_start;
            m_start = 0;
            const QByteArray more = m_file.read(ChunkBytes);
            if (more.isEmpty() && m_file.error() != QFileDevice::NoError)
                return Got::Failed;
            if (more.isEmpty())
                return m_buffer.isEmpty() ? Got::End : take(line, m_buffer.size());
            m_buffer += more;
        }
    }
    bool atEnd() const { return m_start == m_buffer.size() && m_file.atEnd(); }
    // Bytes up to the end of the last line handed out.
    qint64 position() const { return m_position; }

private:
    static constexpr qint64 ChunkBytes = 1 << 20;

    Got take(QByteArray &line, qsizetype end)
    {
        line = m_buffer.sliced(m_start, end - m_start);
        m_position += line.size();
        m_start = end;
        return Got::Line;
    }

    QFile &m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0;
    qsizetype m_scanned = 0;
    qint64 m_position = 0;
};

} // namespace

QByteArray recordLine(const LookupRecord &record)
{
    return lineOf({{TypeKey, LookupType},
                   {u"index"_s, record.index},
                   {u"name"_s, record.name},
                   {u"judged"_s, record.judged},
                   {u"verdict"_s, verdictName(record.verdict.kind)},
                   {u"reason"_s, record.verdict.reasonText()},
                   {u"server"_s, record.server},
                   {u"time"_s, utcText(record.checkedAt)},
                   {u"addedAvailable"_s, arrayOf(record.addedAvailable)},
                   {u"addedLinks"_s, arrayOf(record.addedLinks)}},
                  record.details);
}

Result<JournalContents> readJournal(const QString &path)
{
    JournalContents contents;
    Result<JournalContents> read = readJournal(
        path, [&contents](LookupRecord &&record) { contents.records.append(std::move(record)); });
    if (!read)
        return read;
    read->records = std::move(contents.records);
    return read;
}

Result<JournalContents> readJournal(const QString &path, const std::function<void(LookupRecord &&)> &onRecord)
{
    JournalContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error(QStringLiteral("cannot be read: %1").arg(file.errorString()));

    LineReader reader(file);
    QByteArray line;
    qint64 lineNumber = 0;
    bool haveHeader = false;
    for (;;) {
        const LineReader::Got got = reader.next(line);
        if (got == LineReader::Got::End)
            break;
        ++lineNumber;
        if (got == LineReader::Got::Failed)
            return Error(QStringLiteral("cannot be read: %1").arg(file.errorString()));
        if (got == LineReader::Got::TooLong)
            return Error(QStringLiteral("line %1 is too long").arg(lineNumber));
        const auto object = line.endsWith('\n') ? objectOf(QByteArrayView(line).chopped(1)) : std::nullopt;
        if (!object) {
            // The crash came while this line was written: it is not there.
            if (reader.atEnd())
                break;
            return Error(QStringLiteral("line %1 is damaged").arg(lineNumber));
        }
        const QString type = (*object)[TypeKey].toString();
        if (!haveHeader) {
            if (type != HeaderType)
                return Error(QStringLiteral("not a Zandrel journal"));
            const int version = (*object)[u"version"].toInt();
            if (version > JournalVersion)
                return Error(QStringLiteral("written by a newer Zandrel (format %1)").arg(version));
            const auto inputs = inputsOf(*object);
            if (version < 1 || !inputs)
                return Error(QStringLiteral("line 1 is damaged"));
            contents.inputs = *inputs;
            haveHeader = true;
        } else if (type == LookupType) {
            auto record = recordOf(*object, contents.recordCount + 1);
            if (!record)
                return Error(QStringLiteral("line %1 is damaged").arg(lineNumber));
            ++contents.recordCount;
            if (onRecord)
                onRecord(std::move(*record));
        } else if (type == FinishedType) {
            contents.finished = true;
            contents.finishedAt = utcFrom((*object)[u"time"]);
        }
        contents.wholeSize = reader.position();
    }
    if (!haveHeader)
        return Error(QStringLiteral("empty"));
    return contents;
}

QString journalProblem(const QString &path, const QString &problem)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + problem;
}

qint64 combinationCount(const RunInputs &inputs)
{
    const qint64 pairings = qint64(inputs.prefixes.size()) * inputs.suffixes.size();
    return inputs.comSuffix ? pairings * inputs.tlds.size() : pairings;
}

QByteArray headerLine(const RunInputs &inputs)
{
    QJsonObject header {{TypeKey, HeaderType},
                        {u"version"_s, JournalVersion},
                        {u"prefixes"_s, arrayOf(inputs.prefixes)},
                        {u"suffixes"_s, arrayOf(inputs.suffixes)},
                        {u"comSuffix"_s, inputs.comSuffix},
                        {u"clearEachSearch"_s, inputs.clearEachSearch},
                        {u"queryType"_s, inputs.queryType},
                        {u"removalText"_s, inputs.removalText},
                        {u"server"_s, inputs.server},
                        {u"delayMs"_s, inputs.delayMs},
                        {u"startedAt"_s, utcText(inputs.startedAt)}};
    if (inputs.tlds != RunInputs().tlds)
        header.insert(u"tlds"_s, arrayOf(inputs.tlds));
    if (inputs.autoPace)
        header.insert(u"autoPace"_s, true);
    if (inputs.dnsFirst)
        header.insert(u"dnsFirst"_s, true);
    if (inputs.routing) {
        QJsonObject servers;
        for (auto it = inputs.routing->perTld.cbegin(); it != inputs.routing->perTld.cend(); ++it)
            servers.insert(it.key(), it.value());
        header.insert(u"routing"_s,
                      QJsonObject {{u"server"_s, inputs.routing->serverOption},
                                   {u"whoisServer"_s, inputs.routing->whoisServer},
                                   {u"servers"_s, servers},
                                   {u"protocol"_s, protocolName(inputs.routing->protocol)}});
        if (inputs.dnsFirst)
            header.insert(u"dnsServer"_s, inputs.dnsServer);
    }
    return lineOf(header);
}

QByteArray finishedLine(const QDateTime &when)
{
    return lineOf({{TypeKey, FinishedType}, {u"time"_s, utcText(when)}});
}

JournalFolder::JournalFolder(const QString &folder, const Clock &clock)
    : m_folder(folder)
    , m_clock(clock)
{ }

QString JournalFolder::standardFolder()
{
    return AppInfo::dataFolder() + QStringLiteral("/runs");
}

Result<void> JournalFolder::start(JournalWriter &writer, RunInputs inputs) const
{
    inputs.startedAt = m_clock.nowUtc();
    const QDir folder(m_folder);
    for (int number = 1; number <= 100; ++number) {
        const QString path = folder.filePath(journalName(inputs.startedAt, number));
        const QFileInfo taken(path);
        if ((!taken.exists() && !taken.isSymLink()) || number == 100)
            return writer.create(path, inputs);
    }
    return Error(QStringLiteral("no journal name is free"));
}

QStringList JournalFolder::journals() const
{
    QStringList names = QDir(m_folder).entryList({NamePrefix + u'*' + NameSuffix}, QDir::Files);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return startOrder(b) < startOrder(a); });
    return names;
}

QString JournalFolder::lastJournal() const
{
    const QStringList names = journals();
    return names.isEmpty() ? QString() : QDir(m_folder).filePath(names.constFirst());
}

QList<UnfinishedRun> JournalFolder::unfinishedRuns() const
{
    QList<UnfinishedRun> runs;
    for (const QString &name : journals()) {
        const QString path = QDir(m_folder).filePath(name);
        if (finishedTime(path).isValid())
            continue;
        const Result<JournalContents> contents = readJournal(path, {});
        if (contents && contents->finished)
            continue;
        UnfinishedRun run {path, 0, 0, startTimeOf(name), journalInUse(path), QString()};
        if (contents) {
            run.done = contents->recordCount;
            run.total = combinationCount(contents->inputs);
            run.startedAt = contents->inputs.startedAt;
        } else {
            run.problem = contents.error().text;
        }
        runs.append(run);
    }
    return runs;
}

Result<ResumeChoice> JournalFolder::chooseResume(const QString &path) const
{
    ResumeChoice choice;
    choice.path = path;
    if (path.isEmpty()) {
        // The newest run not finished; an unreadable journal is passed over, as long as an older
        // run can be resumed, else its problem is the answer.
        QString problem;
        for (const UnfinishedRun &run : unfinishedRuns()) {
            if (!run.problem.isEmpty()) {
                if (problem.isEmpty())
                    problem = journalProblem(run.path, run.problem);
                continue;
            }
            Result<JournalContents> contents = readJournal(run.path, {});
            if (contents && !contents->finished) {
                choice.path = run.path;
                choice.contents = std::move(contents).value();
                break;
            }
        }
        if (choice.path.isEmpty() && !problem.isEmpty())
            return Error(QStringLiteral("the newest unfinished search cannot be resumed: ") + problem);
        if (choice.path.isEmpty())
            return Error(QStringLiteral("there is no unfinished search to resume"));
    } else {
        Result<JournalContents> contents = readJournal(path, {});
        if (!contents)
            return Error(journalProblem(path, contents.error().text));
        if (contents->finished)
            return Error(QStringLiteral("the search in %1 is finished").arg(path));
        choice.contents = std::move(contents).value();
    }
    if (journalInUse(choice.path))
        return Error(QStringLiteral("the search in %1 is still running").arg(choice.path));
    return choice;
}

int JournalFolder::removeFinished(int days) const
{
    const QDateTime limit = m_clock.nowUtc().addDays(-days);
    int removed = 0;
    for (const QString &name : journals()) {
        const QString path = QDir(m_folder).filePath(name);
        const QDateTime finished = finishedTime(path);
        if (finished.isValid() && finished < limit && QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace zandrel
