#include "WhoController.h"

#include "combine/CombinationDriver.h"
#include "combine/WordList.h"
#include "harvest/Harvest.h"
#include "platform/Clipboard.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"
#include "report/Report.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zandrel {

QString defaultEditorCommand()
{
#ifdef Q_OS_WIN
    return QStringLiteral("notepad.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

WhoController::WhoController(const Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_lookup(m_IPPort1, services.yield)
{
    const QString &title = m_services.app.title;

    // The server: --server first, then the "WhoisServer" setting, then the registry's own.
    QString server = m_services.serverOverride;
    if (server.isEmpty())
        server = m_services.settings.value(title, keys::Settings, keys::WhoisServer);
    m_lookup.setServer(parseServerAddress(server).value_or(defaultWhoisServer()));

    connect(&m_state.SearchTerm, &TextBox::changed, this, &WhoController::SearchTerm_Change);
    connect(&m_state.PrefixPath, &TextBox::changed, this, &WhoController::PrefixPath_Change);
    connect(&m_state.SuffixPath, &TextBox::changed, this, &WhoController::SuffixPath_Change);
    connect(&m_state.Nag, &TextBox::changed, this, &WhoController::Nag_Change);
    connect(&m_state.Delay, &TextBox::changed, this, &WhoController::Delay_Change);
    connect(&m_state.Prefix, &WordCombo::editChanged, this, &WhoController::Prefix_Change);
    connect(&m_state.Suffix, &WordCombo::editChanged, this, &WhoController::Prefix_Change);

    connect(&m_lookup, &WhoisLookup::responseText, &m_state.tResponse, &ResponseBox::append);
    connect(&m_lookup, &WhoisLookup::lookupEnded, this, &WhoController::IPPort1_Ended);

    // The pause timer ticks for the whole run, 3000 ms until "Internic Delay:" is edited.
    connect(&m_delayTimer, &QTimer::timeout, this, &WhoController::DelayTimer_Timer);
    m_delayTimer.start(3000);
}

WhoController::~WhoController() = default;

void WhoController::Form_Load()
{
    SettingsStore &settings = m_services.settings;
    const AppInfo &app = m_services.app;
    settings.setValue(keys::Keltrow, keys::Application, keys::Location, app.location());
    m_state.PrefixPath.setText(settings.value(app.description, keys::Settings, keys::PrefixPath,
                                              app.folder + QStringLiteral("/prefix.txt")));
    m_state.SuffixPath.setText(settings.value(app.description, keys::Settings, keys::SuffixPath,
                                              app.folder + QStringLiteral("/suffix.txt")));
    m_state.Nag.setText(settings.value(app.title, keys::Settings, keys::Nag));
    m_state.SearchTerm.setText(settings.value(app.title, keys::Settings, keys::SearchTerm));
    OpenPrefix();
    Opensuffix();
    m_state.EditorCommand
        = settings.value(keys::Keltrow, keys::Application, keys::KelEdit, defaultEditorCommand());
}

void WhoController::SearchTerm_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::SearchTerm,
                                 m_state.SearchTerm.text());
}

void WhoController::PrefixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::PrefixPath,
                                 m_state.PrefixPath.text());
}

void WhoController::SuffixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::SuffixPath,
                                 m_state.SuffixPath.text());
}

void WhoController::Nag_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::Nag, m_state.Nag.text());
}

// Both combo boxes compose the term the same way.
void WhoController::Prefix_Change()
{
    m_state.SearchTerm.setText(m_state.Prefix.editText() + m_state.Suffix.editText());
}

void WhoController::Delay_Change()
{
    const std::optional<int> interval = parseDelayMs(m_state.Delay.text());
    if (interval)
        m_delayTimer.setInterval(*interval);
    if (m_delayInvalid != !interval) {
        m_delayInvalid = !interval;
        emit delayValidityChanged(m_delayInvalid);
    }
}

void WhoController::bLookUp_Click()
{
    if (m_searchRunning) {
        emit notice(QStringLiteral("A combination search is running: press Stop first."));
        return;
    }
    if (m_state.ClearEachSearch)
        m_state.tResponse.setText(QString());
    SearchCurrent();
}

bool WhoController::SearchCurrent()
{
    if (!m_state.KeepWebList)
        m_state.LinkList.clear();
    return m_lookup.SearchCurrent(
        buildQueryLine(m_state.QueryType, m_state.SearchTerm.text(), m_state.ComSuffix));
}

void WhoController::SearchType_Click(int index)
{
    m_state.QueryType = index;
}

void WhoController::cbStopRunning_Click()
{
    m_state.StopRequested = true;
}

void WhoController::DelayTimer_Timer()
{
    if (m_state.DelayPending)
        m_state.DelayPending = false;
}

void WhoController::IPPort1_Ended()
{
    createavailablelist();
    createweblist();
    m_state.tResponse.scrollToStart();
}

void WhoController::createavailablelist()
{
    m_state.tResponse.tail().scanAvailable(m_state.tResponse.text(), m_state.Available);
}

void WhoController::createweblist()
{
    m_state.tResponse.tail().scanLinks(m_state.tResponse.text(), m_state.LinkList);
    m_state.LookupPending = false;
}

void WhoController::loadList(WordCombo &combo, const QString &path)
{
    combo.clear();
    QStringList entries;
    loadWordList(path, entries);
    combo.setEntries(entries);
}

void WhoController::OpenPrefix()
{
    loadList(m_state.Prefix, m_state.PrefixPath.text());
}

void WhoController::Opensuffix()
{
    loadList(m_state.Suffix, m_state.SuffixPath.text());
}

void WhoController::editList(const QString &path)
{
    QStringList words = splitCommandLine(m_state.EditorCommand);
    if (words.isEmpty()) {
        emit notice(QStringLiteral("No editor is set."));
        return;
    }
    const QString program = words.takeFirst();
    // An absolute path never starts with "-", so the editor cannot take it for an option.
    if (!path.isEmpty())
        words << QFileInfo(path).absoluteFilePath();
    if (!m_services.launcher.start(program, words))
        emit notice(QStringLiteral("Could not start the editor \"%1\".").arg(program));
}

void WhoController::EditPrefix()
{
    editList(m_state.PrefixPath.text());
}

void WhoController::EditSuffix()
{
    editList(m_state.SuffixPath.text());
}

void WhoController::SearchCombinations_Click()
{
    if (m_searchRunning) {
        emit notice(QStringLiteral("A combination search is running already."));
        return;
    }
    CombinationDriver(*this).run();
}

QString WhoController::reportFallbackFolder() const
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("zandrel"));
}

void WhoController::SaveResults(const QString &baseName)
{
    ReportWriter writer(m_services.yield, [this](const QString &text) { m_state.caption.setText(text); });
    ReportInput input;
    input.links = &m_state.LinkList;
    input.available = m_state.Available.entries();
    input.prefixes = m_state.Prefix.entries();
    input.suffixes = m_state.Suffix.entries();
    input.comSuffix = m_state.ComSuffix;
    const ReportResult result
        = writer.SaveResults(baseName, input, m_services.app.folder, reportFallbackFolder());
    if (!result.ok) {
        emit notice(QStringLiteral("The report was not written: ") + result.error);
        return;
    }
    if (result.usedFallback)
        emit notice(QStringLiteral("The program's folder cannot be written; the report is in ")
                    + result.folder);
    openTarget(result.htmlPath);
}

void WhoController::openTarget(const QString &target)
{
    if (!m_services.launcher.open(target))
        emit notice(QStringLiteral("Could not open ") + target);
}

void WhoController::LinkList_Click(int row)
{
    if (row < 0 || row >= m_state.LinkList.count())
        return;
    const QString address = QStringLiteral("http://") + m_state.LinkList.at(row);
    openTarget(address);
    m_services.clipboard.setText(address);
}

void WhoController::Available_Click(int row)
{
    Q_UNUSED(row);
    openTarget(QString::fromUtf16(RegistrarHomePage));
}

void WhoController::mDirectory_Click()
{
    openTarget(m_services.app.folder);
}

void WhoController::mClearall_Click()
{
    m_state.Available.clear();
    m_state.Prefix.clear();
    m_state.Suffix.clear();
    m_state.LinkList.clear();
    m_state.tResponse.setText(QString());
}

void WhoController::mExit_Click()
{
    m_services.yield.requestClose();
    emit exitRequested();
}

void WhoController::mRefresh_Click()
{
    OpenPrefix();
    Opensuffix();
}

void WhoController::mClearResponse_Click()
{
    m_state.tResponse.setText(QString());
}

void WhoController::mAvailable_Click()
{
    // Asked for by hand, so the whole text is read again.
    zandrel::createavailablelist(m_state.tResponse.text(), m_state.Available);
}

void WhoController::mClearLinkList_Click()
{
    m_state.LinkList.clear();
}

void WhoController::mGoKeltrow_Click()
{
    openTarget(KeltrowHomePage);
}

void WhoController::Label1_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditPrefix();
    else
        OpenPrefix();
}

void WhoController::Label2_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditSuffix();
    else
        Opensuffix();
}

} // namespace zandrel
