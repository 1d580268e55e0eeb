#include "Who.h"

#include "AboutBox.h"
#include "ControlBinding.h"
#include "DesignFonts.h"
#include "Layout.h"
#include "MessageBar.h"
#include "SearchScopeMenu.h"
#include "StatusFields.h"
#include "WhoController.h"
#include "WindowInput.h"
#include "WindowSettings.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace zandrel {

void PressLabel::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->button());
    QLabel::mousePressEvent(event);
}

// Closing the widgets takes the focus from the delay box, which must then reach nothing of this
// window: it is half gone.
Who::~Who()
{
    disconnect(Delay, &QLineEdit::editingFinished, nullptr, nullptr);
}

Who::Who(WhoController &who, QWidget *parent)
    : QMainWindow(parent)
    , m_who(who)
{
    setObjectName(QStringLiteral("Who"));
    setWindowTitle(m_who.state().caption.text());
    if (restoreWindowOptions(m_who.state(), m_who.services().settings, m_who.services().app.title))
        m_who.formSettings().useDelayBox();
    buildControls();
    buildMenus();
    // No smaller than keeps every control whole and the response box readable.
    const QRect smallest = pixels(0, 0, design::MinimumWidth, design::MinimumHeight);
    setMinimumSize(smallest.size());
    bindTexts();
    connect(&m_who.state().caption, &TextBox::changed, this, &QWidget::setWindowTitle);
    connect(&m_who, &WhoController::notice, this,
            [this](const QString &text) { statusBar()->showMessage(text, 15000); });
    connect(&m_who, &WhoController::alert, m_messages, &MessageBar::showAlert);
    addStatusFields(*statusBar(), m_who);
    // The place is kept once the user has stopped moving or sizing the window: a kill loses none.
    m_geometrySaver = std::make_unique<Timer>(m_who.services().clock, [this] {
        zandrel::saveGeometry(m_who.services().settings, m_who.services().app.title, saveGeometry());
    });
}

double Who::twipsPerPixelX() const
{
    const QScreen *s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double Who::twipsPerPixelY() const
{
    const QScreen *s = screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QRect Who::pixels(int left, int top, int width, int height) const
{
    const double x = twipsPerPixelX();
    const double y = twipsPerPixelY();
    return QRect(int(std::lround(left / x)), int(std::lround(top / y)), int(std::lround(width / x)),
                 int(std::lround(height / y)));
}

void Who::buildControls()
{
    WhoState &state = m_who.state();
    // The message bar above the controls and the results; the controls keep their design places.
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_messages = new MessageBar(m_who, central);
    column->addWidget(m_messages);
    auto *client = new QWidget(central);
    client->setObjectName(QStringLiteral("client"));
    column->addWidget(client, 1);
    m_client = client;
    setCentralWidget(central);

    auto place = [this, client](QWidget *widget, const char *name, TwipRect r, const QFont &font) {
        widget->setParent(client);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(pixels(r.left, r.top, r.width, r.height));
        widget->setFont(font);
        // Where the face runs wider than the one the design was drawn in, a caption takes a smaller
        // size rather than run into the box beside it.
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget)
            || qobject_cast<QRadioButton *>(widget)) {
            QFont fitted = font;
            while (widget->sizeHint().width() > widget->width() && fitted.pointSizeF() > 5.0) {
                fitted.setPointSizeF(fitted.pointSizeF() - 0.25);
                widget->setFont(fitted);
            }
        }
        return widget;
    };
    auto label = [&](const char *name, const QString &caption, TwipRect r) {
        auto *l = new QLabel(caption);
        place(l, name, r, controlFont());
        return l;
    };

    label("Label3", QStringLiteral("Domain:"), {75, 75, 540, 255});
    SearchTerm = new QLineEdit;
    place(SearchTerm, "SearchTerm", {675, 45, 1875, 315}, controlFont());

    auto button = [&](const char *name, const QString &caption, TwipRect r, void (WhoController::*click)()) {
        auto *b = new QPushButton(caption);
        place(b, name, r, controlFont());
        connect(b, &QPushButton::clicked, &m_who, click);
    };
    button("bLookUp", QStringLiteral("&Search"), {2580, 45, 840, 315}, &WhoController::bLookUp_Click);
    auto *searchCombinations = new QPushButton(QStringLiteral("Search &Combinations"));
    place(searchCombinations, "SearchCombinations", {675, 360, 1890, 315}, controlFont());
    connect(searchCombinations, &QPushButton::clicked, this, &Who::SearchCombinations_Click);
    button("cbStopRunning", QStringLiteral("S&top"), {2580, 360, 840, 300},
           &WhoController::cbStopRunning_Click);

    auto *label1 = new PressLabel(QStringLiteral("Prefix:"));
    place(label1, "Label1", {3645, 90, 540, 255}, controlFont());
    connect(label1, &PressLabel::pressed, &m_who.wordLists(), &WordLists::Label1_MouseDown);
    Prefix = new QComboBox;
    place(Prefix, "Prefix", {4110, 30, 1935, 315}, controlFont());
    PrefixPath = new QLineEdit;
    place(PrefixPath, "PrefixPath", {6090, 30, 3015, 315}, controlFont());

    auto *label2 = new PressLabel(QStringLiteral("Suffix:"));
    place(label2, "Label2", {3645, 420, 480, 255}, controlFont());
    connect(label2, &PressLabel::pressed, &m_who.wordLists(), &WordLists::Label2_MouseDown);
    Suffix = new QComboBox;
    place(Suffix, "Suffix", {4110, 360, 1935, 315}, controlFont());
    SuffixPath = new QLineEdit;
    place(SuffixPath, "SuffixPath", {6075, 360, 3030, 315}, controlFont());

    auto *domainSearch = new QRadioButton(QStringLiteral("Domain Search"));
    place(domainSearch, "SearchType0", {660, 720, 1455, 255}, controlFont());
    auto *whois = new QRadioButton(QStringLiteral("Whois"));
    place(whois, "SearchType1", {2220, 720, 1515, 255}, controlFont());
    auto *searchType = new QButtonGroup(this);
    searchType->addButton(domainSearch, 0);
    searchType->addButton(whois, 1);
    (state.QueryType == 0 ? domainSearch : whois)->setChecked(true);
    connect(searchType, &QButtonGroup::idClicked, &m_who, &WhoController::SearchType_Click);
    connect(searchType, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            saveOption(windowKeys::QueryType, QString::number(id));
    });

    auto *comSuffix = new QCheckBox(QStringLiteral("&Always Suffix '.com'"));
    place(comSuffix, "ComSuffix", {4140, 720, 1995, 240}, controlFont());
    comSuffix->setChecked(state.ComSuffix);
    connect(comSuffix, &QCheckBox::toggled, this, [this, &state](bool on) {
        state.ComSuffix = on;
        saveOption(windowKeys::ComSuffix, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(&m_who, &WhoController::optionsRestored, this, [&state, searchType, comSuffix] {
        searchType->button(state.QueryType)->setChecked(true);
        comSuffix->setChecked(state.ComSuffix);
    });

    label("Label4", QStringLiteral("Internic Delay:"), {6750, 750, 1020, 255});
    Delay = new QLineEdit;
    place(Delay, "Delay", {7785, 705, 600, 285}, controlFont());

    // A left click (or a double click's first) or Enter opens an entry; arrows only move the selection.
    auto list
        = [this, &place](const char *name, UniqueList &model, TwipRect r, void (LinkOpener::*click)(int)) {
              auto *view = new QListView;
              place(view, name, r, listFont());
              view->setModel(&model);
              view->setUniformItemSizes(true);
              view->viewport()->installEventFilter(this);
              LinkOpener *opener = &m_who.opener();
              connect(view, &QAbstractItemView::clicked, opener,
                      [opener, click](const QModelIndex &index) { (opener->*click)(index.row()); });
              return view;
          };
    label("Label5", QStringLiteral("Available Domains:"), {60, 1020, 1620, 255});
    Available = list("Available", state.Available, design::Available, &LinkOpener::Available_Click);
    label("Label6", QStringLiteral("Existing Domains:"), {2520, 1020, 1620, 255});
    LinkList = list("LinkList", state.LinkList, design::LinkList, &LinkOpener::LinkList_Click);

    label("Label7", QStringLiteral("Text To Remove From Results:"), {4620, 1020, 2400, 255});
    Nag = new QTextEdit;
    place(Nag, "Nag", design::Nag, listFont());
    Nag->setAcceptRichText(false);
    // Tab moves on, as in every other box; a tab is never part of the text to remove.
    Nag->setTabChangesFocus(true);

    label("Label8", QStringLiteral("Search Results:"), {4680, 2640, 1620, 255});
    // A plain-text box lays out only the lines in view: a million short lines never hold the window.
    tResponse = new QPlainTextEdit;
    place(tResponse, "tResponse", design::tResponse, listFont());
    tResponse->setReadOnly(true);
    tResponse->setUndoRedoEnabled(false);
    tResponse->setLineWrapMode(QPlainTextEdit::NoWrap);
    tResponse->setTabChangesFocus(true);
    // Reached by Tab, read and copied with the keys.
    tResponse->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *clearEach = new QCheckBox(QStringLiteral("&Clear Before Search"));
    place(clearEach, "ClearEachSearch", {6600, 2640, 1755, 240}, controlFont());
    clearEach->setChecked(state.ClearEachSearch);
    connect(clearEach, &QCheckBox::toggled, this, [&state](bool on) { state.ClearEachSearch = on; });
    connect(&m_who, &WhoController::optionsRestored, clearEach,
            [&state, clearEach] { clearEach->setChecked(state.ClearEachSearch); });

    bindCombo(Prefix, state.Prefix);
    bindCombo(Suffix, state.Suffix);

    // Tab runs through the boxes as they stand, row by row, to the removal text, the check box
    // above the response box, the response box, and round again (see focusNextPrevChild).
    m_tabOrder = {SearchTerm,
                  client->findChild<QWidget *>(QStringLiteral("bLookUp")),
                  searchCombinations,
                  client->findChild<QWidget *>(QStringLiteral("cbStopRunning")),
                  Prefix,
                  PrefixPath,
                  Suffix,
                  SuffixPath,
                  domainSearch,
                  whois,
                  comSuffix,
                  Delay,
                  Available,
                  LinkList,
                  Nag,
                  clearEach,
                  tResponse};

    // Escape stops a running search, as Stop does.
    auto *stop = new QAction(this);
    stop->setObjectName(QStringLiteral("StopKey"));
    stop->setShortcut(Qt::Key_Escape);
    stop->setShortcutContext(Qt::WindowShortcut);
    addAction(stop);
    connect(stop, &QAction::triggered, this, [this] {
        if (m_who.searchRunning() || m_who.state().LookupPending)
            m_who.cbStopRunning_Click();
    });

    // Enter in the Domain box searches, as in any search box.
    connect(SearchTerm, &QLineEdit::returnPressed, &m_who, &WhoController::bLookUp_Click);
    // The lists end at the client area's bottom whatever changes its height (the status bar too).
    client->installEventFilter(this);
    // Menu shortcuts reach the menus whichever box has the focus.
    for (QWidget *child : client->findChildren<QWidget *>())
        child->installEventFilter(this);
}

void Who::bindTexts()
{
    WhoState &state = m_who.state();
    followText(SearchTerm, state.SearchTerm, this);
    followText(PrefixPath, state.PrefixPath, this);
    followText(SuffixPath, state.SuffixPath, this);
    for (QLineEdit *path : {PrefixPath, SuffixPath}) {
        path->setToolTip(path->text());
        connect(path, &QLineEdit::textChanged, path, &QWidget::setToolTip);
    }
    followText(Delay, state.Delay, this);
    // The same value typed again is an edit too: the box then sets the pause.
    connect(Delay, &QLineEdit::editingFinished, this, [this] { m_who.formSettings().useDelayBox(); });
    // Saved once the procedures have judged it: only a delay they take is kept.
    connect(&state.Delay, &TextBox::changed, this, [this](const QString &text) {
        if (!m_who.formSettings().delayInvalid())
            saveOption(windowKeys::Delay, text);
    });
    connect(&m_who.formSettings(), &FormSettings::delayValidityChanged, Delay, [this](bool invalid) {
        Delay->setStyleSheet(invalid ? QStringLiteral("background: #ffb0b0;") : QString());
        Delay->setToolTip(invalid ? QStringLiteral("Whole seconds from 1 to 65") : QString());
        if (invalid)
            statusBar()->showMessage(QStringLiteral("Internic Delay: enter whole seconds from 1 to 65."),
                                     15000);
    });

    bindRemovalText(Nag, state.Nag, this);
    new ResponseView(tResponse, state.tResponse);
}

void Who::buildMenus()
{
    auto item
        = [this](QMenu *menu, const char *name, const QString &caption, const QKeySequence &key, auto slot) {
              QAction *action = menu->addAction(caption);
              action->setObjectName(QString::fromLatin1(name));
              action->setShortcut(key);
              action->setShortcutContext(Qt::WindowShortcut);
              m_menuActions << action;
              connect(action, &QAction::triggered, this, slot);
              return action;
          };
    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    WhoController *who = &m_who;
    WordLists *lists = &m_who.wordLists();
    LinkOpener *opener = &m_who.opener();
    ResultLists *resultLists = &m_who.lists();

    QMenu *file = menu("mFile", QStringLiteral("&File"));
    item(file, "mDirectory", QStringLiteral("Explore &Directory"), Qt::Key_F6,
         [opener] { opener->mDirectory_Click(); });
    file->addSeparator()->setObjectName(QStringLiteral("mdash1123"));
    QAction *clearAll = item(file, "mClearall", QStringLiteral("Clear &All"), Qt::Key_F12,
                             [resultLists] { resultLists->mClearall_Click(); });
    QAction *resume = item(file, "mResumeSearch", QStringLiteral("Resume Search"), QKeySequence(),
                           [who] { who->mResumeSearch_Click(); });
    QAction *writeReport = item(file, "mWriteReport", QStringLiteral("Write Report Now"), QKeySequence(),
                                [who] { who->mWriteReport_Click(); });
    const auto refresh = [who, resume, writeReport, clearAll] {
        clearAll->setEnabled(!who->searchRunning());
        clearAll->setStatusTip(who->searchRunning() ? QStringLiteral(
                                   "Clear All waits until the search has ended: Stop it first.")
                                                    : QString());
        resume->setEnabled(who->canResume());
        writeReport->setEnabled(who->report().hasResults());
    };
    refresh();
    connect(who, &WhoController::runStateChanged, this, refresh);
    connect(who, &WhoController::progressChanged, this, refresh);
    for (QAbstractItemModel *list : {static_cast<QAbstractItemModel *>(&who->state().Available),
                                     static_cast<QAbstractItemModel *>(&who->state().LinkList)}) {
        connect(list, &QAbstractItemModel::rowsInserted, this, refresh);
        connect(list, &QAbstractItemModel::modelReset, this, refresh);
    }
    file->addSeparator()->setObjectName(QStringLiteral("mdash127371"));
    item(file, "mExit", QStringLiteral("E&xit"), QKeySequence(), [this] { mExit_Click(); });

    QMenu *view = menu("mView", QStringLiteral("&View"));
    item(view, "mRefresh", QStringLiteral("&Refresh"), Qt::Key_F5, [lists] { lists->mRefresh_Click(); });

    QMenu *results = menu("mResponse", QStringLiteral("&Results"));
    item(results, "mClearResponse", QStringLiteral("&Clear"), QKeySequence(Qt::CTRL | Qt::Key_K),
         [who] { who->mClearResponse_Click(); });
    item(results, "mAvailable", QStringLiteral("Create Available List"), QKeySequence(Qt::CTRL | Qt::Key_W),
         [resultLists] { resultLists->mAvailable_Click(); })
        ->setEnabled(false);
    item(results, "mSearchUnanswered", QStringLiteral("Search Unanswered Again"), QKeySequence(),
         [who] { who->mSearchUnanswered_Click(); });
    addSearchScopeItems(results, m_who.scope(), this);

    QMenu *existing = menu("mLinkList", QStringLiteral("&Existing"));
    item(existing, "mClearLinkList", QStringLiteral("&Clear"), QKeySequence(Qt::CTRL | Qt::Key_L),
         [resultLists] { resultLists->mClearLinkList_Click(); });

    QMenu *prefix = menu("mPrefix", QStringLiteral("&Prefix"));
    item(prefix, "mOpenPrefixList", QStringLiteral("Open Prefix List"), QKeySequence(Qt::CTRL | Qt::Key_P),
         [lists] { lists->OpenPrefix(); });
    item(prefix, "mEditPrefixList", QStringLiteral("Edit Prefix List"), Qt::Key_F3,
         [lists] { lists->EditPrefix(); });

    QMenu *suffix = menu("mSuffix", QStringLiteral("&Suffix"));
    item(suffix, "mOpenSuffixList", QStringLiteral("Open Suffix List"), QKeySequence(Qt::CTRL | Qt::Key_S),
         [lists] { lists->Opensuffix(); });
    item(suffix, "mEditSuffixList", QStringLiteral("Edit Suffix List"), Qt::Key_F2,
         [lists] { lists->EditSuffix(); });

    QMenu *help = menu("mHelp", QStringLiteral("&Help"));
    item(help, "mAbout", QStringLiteral("About"), Qt::Key_F1, [this] { mAbout_Click(); });
    item(help, "mGoKeltrow", QStringLiteral("Go To Keltrow"), QKeySequence(Qt::CTRL | Qt::Key_E),
         [opener] { opener->mGoKeltrow_Click(); });
}

// The focus chain Qt builds puts the combo boxes' edit fields at its end, where Shift+Tab finds
// them: the window walks its own order instead.
bool Who::focusNextPrevChild(bool next)
{
    QWidget *from = focusWidget();
    QWidget *to = nextInTabOrder(m_tabOrder, from, next);
    if (!to)
        return QMainWindow::focusNextPrevChild(next);
    if (to != from)
        to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void Who::SearchCombinations_Click()
{
    const QString question = m_who.scope().largeSearchQuestion(m_who.formSettings().pauseMs());
    if (question.isEmpty()) {
        m_who.SearchCombinations_Click();
        return;
    }
    if (m_largeSearch)
        return;
    // Asked without a nested event loop: the search starts when the answer comes.
    auto *box = new QMessageBox(QMessageBox::Question, m_who.services().app.title, question,
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("LargeSearch"));
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The search starts once the box is gone.
    connect(box, &QMessageBox::finished, &m_who, [this](int answer) {
        if (answer == QMessageBox::Yes)
            QMetaObject::invokeMethod(&m_who, &WhoController::SearchCombinations_Click, Qt::QueuedConnection);
    });
    m_largeSearch = box;
    box->open();
}

void Who::saveOption(const QString &key, const QString &value)
{
    saveWindowOption(m_who.services().settings, m_who.services().app.title, key, value);
}

// Closing the window ends the program (see closeEvent).
void Who::mExit_Click()
{
    close();
}

void Who::mAbout_Click()
{
    if (!m_about)
        m_about = makeAboutBox(m_who.services().app, this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void Who::placeAtStart()
{
    const QByteArray saved = savedGeometry(m_who.services().settings, m_who.services().app.title);
    if (!saved.isEmpty() && restoreGeometry(saved))
        return;
    // Outer size: the frame is known only once the window is shown, so correct for it then.
    resize(620, 460);
    move(10, 10);
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        resize(620 - frame.width(), 460 - frame.height());
        move(10, 10);
    });
}

void Who::Form_Resize()
{
    const QWidget *client = m_client;
    const double x = twipsPerPixelX();
    const double y = twipsPerPixelY();
    const QRect outer = frameGeometry();
    const std::optional<FollowingSizes> sizes
        = zandrel::Form_Resize(outer.width() * x, outer.height() * y, client->height() * y, isMinimized());
    if (!sizes)
        return;
    tResponse->resize(int(std::lround(sizes->tResponseWidth / x)),
                      int(std::lround(sizes->tResponseHeight / y)));
    Nag->resize(int(std::lround(sizes->NagWidth / x)), Nag->height());
    LinkList->resize(LinkList->width(), int(std::lround(sizes->LinkListHeight / y)));
    Available->resize(Available->width(), int(std::lround(sizes->AvailableHeight / y)));
}

bool Who::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // A box that claims the key for editing (Ctrl+E, Ctrl+K on X11) would keep it from the
        // menu: refuse the claim, so the shortcut runs.
        if (isMenuShortcut(m_menuActions, *static_cast<QKeyEvent *>(event))) {
            event->ignore();
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (watched == Available || watched == LinkList) {
            const auto click
                = watched == Available ? &LinkOpener::Available_Click : &LinkOpener::LinkList_Click;
            LinkOpener &opener = m_who.opener();
            const auto open = [&opener, click](int row) {
                (opener.*click)(row);
            };
            const auto &key = *static_cast<QKeyEvent *>(event);
            if (listKey(*static_cast<QListView *>(watched), key, open, m_who.services().clipboard))
                return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton
            && (watched == Available->viewport() || watched == LinkList->viewport()))
            return true;
        break;
    case QEvent::Resize:
        if (watched == m_client)
            Form_Resize();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Who::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
    geometryChanged();
}

void Who::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    geometryChanged();
}

void Who::geometryChanged()
{
    if (m_geometrySaver && isVisible())
        m_geometrySaver->start(GeometrySettleMs);
}

void Who::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Who::closeEvent(QCloseEvent *event)
{
    zandrel::saveGeometry(m_who.services().settings, m_who.services().app.title, saveGeometry());
    // Every setting is on disk already; a running search ends at once.
    m_who.closing();
    if (m_about)
        m_about->close();
    event->accept();
    QCoreApplication::quit();
}

} // namespace zandrel
