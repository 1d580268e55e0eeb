#include "RdapBootstrap.h"

#include "platform/Clock.h"
#include "verdict/RdapAnswer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

#include <algorithm>

namespace zandrel {

namespace {

constexpr qint64 MaxFileBytes = 4 << 20;
const QString BuiltIn = QStringLiteral(":/zandrel/rdap-dns.json");

bool isEntry(const QString &entry)
{
    if (entry.isEmpty() || entry.startsWith(u'.') || entry.contains(QStringLiteral("..")))
        return false;
    return std::all_of(entry.begin(), entry.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
    });
}

Result<RdapBootstrap> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error(file.errorString());
    return RdapBootstrap::parse(file.read(MaxFileBytes + 1));
}

} // namespace

Result<RdapBootstrap> RdapBootstrap::parse(const QByteArray &json)
{
    if (json.size() > MaxFileBytes)
        return Error(QStringLiteral("it is larger than %1 bytes").arg(MaxFileBytes));
    if (!jsonDepthWithin(json, 8))
        return Error(QStringLiteral("it nests too deep"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Error(error.errorString());
    const QJsonObject root = document.object();
    if (!root.value(u"services").isArray())
        return Error(QStringLiteral("it has no list of services"));

    RdapBootstrap bootstrap;
    bootstrap.m_publication = QDateTime::fromString(root.value(u"publication").toString(), Qt::ISODate);
    for (const QJsonValue &service : root.value(u"services").toArray()) {
        const QJsonArray parts = service.toArray();
        QString base;
        for (const QJsonValue &url : parts.at(1).toArray()) {
            const QString text = url.toString();
            if (!rdapDomainUrl(text, QStringLiteral("x")).isValid())
                continue;
            if (base.isEmpty()
                || (text.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive)
                    && !base.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive)))
                base = text;
        }
        if (base.isEmpty())
            continue;
        for (const QJsonValue &value : parts.at(0).toArray()) {
            QString entry = value.toString().toLower();
            if (entry.endsWith(u'.'))
                entry.chop(1);
            if (!isEntry(entry) || bootstrap.m_bases.contains(entry))
                continue;
            bootstrap.m_bases.insert(entry, base);
            bootstrap.m_longestEntry = std::max<int>(bootstrap.m_longestEntry, entry.count(u'.') + 1);
        }
    }
    if (bootstrap.m_bases.isEmpty())
        return Error(QStringLiteral("it names no usable service"));
    return bootstrap;
}

QString RdapBootstrap::baseFor(const QString &aceName) const
{
    QString name = aceName.toLower();
    if (name.endsWith(u'.'))
        name.chop(1);
    const QStringList labels = name.split(u'.');
    for (qsizetype n = std::min<qsizetype>(m_longestEntry, labels.size()); n > 0; --n) {
        const auto found = m_bases.constFind(labels.mid(labels.size() - n).join(u'.'));
        if (found != m_bases.constEnd())
            return *found;
    }
    return {};
}

RdapBootstrapCache::RdapBootstrapCache(QNetworkAccessManager &network, const Clock &clock,
                                       const QString &folder)
    : m_network(network)
    , m_clock(clock)
    , m_folder(folder)
{ }

RdapBootstrapCache::~RdapBootstrapCache()
{
    if (m_refresh)
        m_refresh->kill();
}

QString RdapBootstrapCache::failureStamp() const
{
    return QDir(m_folder).filePath(QStringLiteral("rdap-dns.failed"));
}

QString RdapBootstrapCache::cacheFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("rdap-dns.json"));
}

const RdapBootstrap &RdapBootstrapCache::bootstrap()
{
    if (!m_loaded)
        load();
    return m_bootstrap;
}

void RdapBootstrapCache::load()
{
    m_loaded = true;
    m_bootstrap = {};
    Result<RdapBootstrap> chosen = readFile(BuiltIn);
    if (!chosen)
        m_message
            = QStringLiteral("The RDAP bootstrap file compiled in does not parse: ") + chosen.error().text;
    if (QFileInfo::exists(cacheFile())) {
        const Result<RdapBootstrap> cached = readFile(cacheFile());
        if (!cached)
            m_message = QStringLiteral("The RDAP bootstrap file %1 does not parse: %2")
                            .arg(cacheFile(), cached.error().text);
        else if (!chosen || cached->publication() > chosen->publication())
            chosen = cached;
    }
    if (chosen)
        m_bootstrap = chosen.value();
}

// One fetch of the bootstrap file, within the size and time limits: a job.
class RdapBootstrapCache::Refresh : public Job
{
public:
    Refresh(RdapBootstrapCache &cache, const QNetworkRequest &request)
        : m_cache(cache)
        , m_request(request)
        , m_deadline(cache.m_clock, [this] { ended(true); })
    { }
    ~Refresh() override { doKill(); }

private:
    void doStart() override
    {
        m_reply = m_cache.m_network.get(m_request);
        QNetworkReply *reply = m_reply;
        connect(reply, &QNetworkReply::readyRead, this, [this] {
            m_body += m_reply->read(MaxFileBytes + 1 - m_body.size());
            if (m_body.size() > MaxFileBytes) {
                m_tooLarge = true;
                ended(false);
            }
        });
        connect(reply, &QNetworkReply::finished, this, [this] { ended(false); });
        m_deadline.start(m_cache.m_limits.totalMs);
    }
    void doKill() override
    {
        m_deadline.stop();
        if (QNetworkReply *reply = std::exchange(m_reply, nullptr)) {
            disconnect(reply, nullptr, this, nullptr);
            reply->abort();
            reply->deleteLater();
        }
    }
    void ended(bool timedOut)
    {
        QNetworkReply *reply = m_reply;
        if (!reply)
            return;
        const bool finished = reply->isFinished();
        if (!m_tooLarge && finished)
            m_body += reply->read(MaxFileBytes + 1 - m_body.size());
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString error = printableLine(reply->errorString());
        const QString url = reply->request().url().toDisplayString();
        doKill();
        QString why;
        if (m_tooLarge || m_body.size() > MaxFileBytes)
            why = QStringLiteral("it is larger than %1 bytes").arg(MaxFileBytes);
        else if (timedOut && !finished)
            why = QStringLiteral("no answer within %1 seconds").arg(m_cache.m_limits.totalMs / 1000.0);
        else if (status != 200)
            why = status == 0 ? error : httpStatusLine(status, {});
        else if (const Result<RdapBootstrap> parsed = RdapBootstrap::parse(m_body); !parsed)
            why = QStringLiteral("the file does not parse: ") + parsed.error().text;
        if (!why.isEmpty()) {
            m_cache.fail(url, why);
            setError(FirstOwnError, m_cache.m_message);
        } else {
            m_cache.store(m_body);
        }
        emitResult();
    }

    RdapBootstrapCache &m_cache;
    QNetworkRequest m_request;
    Timer m_deadline;
    QNetworkReply *m_reply = nullptr;
    QByteArray m_body;
    bool m_tooLarge = false;
};

Job *RdapBootstrapCache::refreshIfStale()
{
    if (m_refresh && !m_refresh->isFinished())
        return m_refresh;
    if (m_refreshTried)
        return nullptr;
    m_refreshTried = true;
    const QFileInfo cached(cacheFile());
    const QFileInfo failed(failureStamp());
    if ((cached.exists() && cached.lastModified().secsTo(m_clock.now()) < MaxAgeSeconds)
        || (failed.exists() && failed.lastModified().secsTo(m_clock.now()) < RetryAfterFailureSeconds))
        return nullptr;
    const QUrl url(m_sourceUrl, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty()) {
        m_message = QStringLiteral("The RDAP bootstrap address is not an http or https URL: ")
            + printableLine(m_sourceUrl);
        return nullptr;
    }
    QNetworkRequest request(url);
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    m_refresh = new Refresh(*this, request);
    m_refresh->start();
    return m_refresh;
}

void RdapBootstrapCache::store(const QByteArray &body)
{
    QDir().mkpath(m_folder);
    QSaveFile file(cacheFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
        m_message = QStringLiteral("Could not write %1: %2").arg(cacheFile(), file.errorString());
    } else {
        m_message.clear();
        QFile::remove(failureStamp());
        load();
    }
}

void RdapBootstrapCache::fail(const QString &url, const QString &why)
{
    m_message = QStringLiteral("Could not refresh the RDAP bootstrap file from %1: %2").arg(url, why);
    QDir().mkpath(m_folder);
    QFile stamp(failureStamp());
    if (stamp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        stamp.close();
}

} // namespace zandrel
