#include "SearchScope.h"

#include "WhoState.h"
#include "platform/SettingsStore.h"
#include "search/PaceState.h"
#include "search/Preferences.h"
#include "search/Progress.h"
#include "search/RunPlan.h"
#include "search/SearchSession.h"

namespace zandrel {

QString alwaysSuffixCaption(const QStringList &tlds, qsizetype named)
{
    if (tlds == QStringList {QStringLiteral("com")})
        return QStringLiteral("&Always Suffix '.com'");
    // Past those named the box would outgrow its place: the rest are counted.
    named = std::max<qsizetype>(1, named);
    QStringList shown;
    for (const QString &tld : tlds.first(std::min<qsizetype>(tlds.size(), named)))
        shown << u'.' + tld;
    if (tlds.size() > named)
        shown << QStringLiteral("+%1").arg(tlds.size() - named);
    return QStringLiteral("&Always Suffix '%1'").arg(shown.join(u' '));
}

SearchScope::SearchScope(const Services &services, WhoState &state, SearchSession &session, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_state(state)
    , m_session(session)
{ }

void SearchScope::load()
{
    const SettingsStore &settings = m_services.settings;
    const QString &title = m_services.app.title;
    m_state.Tlds = tldsSetting(settings, title);
    m_session.request().dnsFirst = settings.value(title, keys::Settings, keys::DnsFirst) == u"1";
    m_session.request().dnsSettings = dnsSettingsFrom(settings, title, QString());
    m_session.request().autoPace = settings.value(title, keys::Settings, keys::AutoPace) == u"1";
    m_session.request().paceStateFile = m_services.stateFolder.isEmpty()
        ? PaceState::standardPath()
        : m_services.stateFolder + QStringLiteral("/paces.tsv");
    if (const Result<void> added = addOperators(m_session.paces(), settings, title, QString()); !added)
        emit notice(added.error().text);
    emit tldsChanged();
}

bool SearchScope::setTlds(const QString &text)
{
    const std::optional<QStringList> tlds = parseTlds(text);
    if (!tlds) {
        emit notice(QStringLiteral("'%1' is not a list of TLDs such as com, net, io.").arg(text));
        return false;
    }
    m_state.Tlds = *tlds;
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::Tlds, tlds->join(u','));
    emit tldsChanged();
    return true;
}

const QStringList &SearchScope::tlds() const
{
    return m_state.Tlds;
}

void SearchScope::restoreTlds(const QStringList &tlds)
{
    m_state.Tlds = tlds;
    emit tldsChanged();
}

void SearchScope::mAskDnsFirst_Click(bool on)
{
    m_session.request().dnsFirst = on;
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::DnsFirst,
                                 on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool SearchScope::dnsFirst() const
{
    return m_session.request().dnsFirst;
}

void SearchScope::mAutomaticPace_Click(bool on)
{
    m_session.request().autoPace = on;
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::AutoPace,
                                 on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool SearchScope::automaticPace() const
{
    return m_session.request().autoPace;
}

RunInputs SearchScope::combinationInputs() const
{
    const auto words = [](const WordCombo &combo) {
        return combo.count() == 0 ? QStringList {combo.editText()} : combo.entries();
    };
    RunInputs inputs;
    inputs.prefixes = words(m_state.Prefix);
    inputs.suffixes = words(m_state.Suffix);
    inputs.comSuffix = m_state.ComSuffix;
    inputs.tlds = m_state.Tlds;
    inputs.clearEachSearch = m_state.ClearEachSearch;
    inputs.queryType = m_state.QueryType;
    inputs.removalText = m_state.Nag.text();
    const ServerOverrides &overrides = m_session.router().settings().overrides;
    inputs.server = overrides.serverOption.isEmpty() ? overrides.whoisServer : overrides.serverOption;
    return inputs;
}

qint64 SearchScope::namesToAsk() const
{
    return combinationCount(combinationInputs());
}

QString SearchScope::largeSearchQuestion(int pauseMs) const
{
    const qint64 names = namesToAsk();
    if (!automaticPace() || names <= LargeSearch)
        return zandrel::largeSearchQuestion(names, pauseMs);
    return zandrel::largeSearchQuestion(planRun(combinationGroups(combinationInputs()), m_session.router(),
                                                m_session.paces(), true, pauseMs,
                                                m_session.router().settings().overrides));
}

} // namespace zandrel
