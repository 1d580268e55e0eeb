#include "ControlBinding.h"

#include "WhoState.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <memory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zandrel {

namespace {

// A document of more characters than this leaves much memory behind when it is emptied.
constexpr int LargeDocument = 100'000;

// The allocator keeps the memory a large document freed for itself; hand it back to the system.
void giveMemoryBack()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The removal-text box keeps CR LF pairs; the text widget shows plain line feeds.
QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString fromDisplay(const QString &shown)
{
    QString text = shown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace

void followText(QLineEdit *edit, TextBox &box, QObject *context)
{
    edit->setText(box.text());
    QObject::connect(edit, &QLineEdit::textEdited, context,
                     [&box](const QString &text) { box.setText(text); });
    QObject::connect(&box, &TextBox::changed, edit, [edit](const QString &text) {
        if (edit->text() != text)
            edit->setText(text);
    });
}

void bindCombo(QComboBox *combo, WordCombo &words)
{
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // The whole list is set in one step; its drop-down measures one row, not 50,000.
    combo->setModel(&words.model());
    if (auto *popup = qobject_cast<QListView *>(combo->view()))
        popup->setUniformItemSizes(true);
    auto show = [combo, &words] {
        const QSignalBlocker blocker(combo);
        if (combo->currentIndex() != -1 && combo->currentText() != words.editText())
            combo->setCurrentIndex(-1);
        if (combo->currentText() != words.editText())
            combo->setEditText(words.editText());
    };
    show();
    // The combo box picks an entry of its own when its list fills; the edit text stays the state's.
    QObject::connect(&words.model(), &QAbstractItemModel::modelReset, combo, show);
    QObject::connect(&words.model(), &QAbstractItemModel::rowsInserted, combo, show);
    QObject::connect(&words, &WordCombo::editChanged, combo, show);
    QObject::connect(&words, &WordCombo::editReset, combo, show);
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, &words, &WordCombo::setEditText);
    QObject::connect(combo, &QComboBox::activated, &words,
                     [combo, &words](int index) { words.pick(combo->itemText(index)); });
}

void bindRemovalText(QTextEdit *edit, TextBox &box, QObject *context)
{
    // Set while the box takes the state's text, so that the change is not written back.
    auto syncing = std::make_shared<bool>(false);
    edit->setPlainText(forDisplay(box.text()));
    QObject::connect(edit, &QTextEdit::textChanged, context, [edit, &box, syncing] {
        if (!*syncing)
            box.setText(fromDisplay(edit->toPlainText()));
    });
    QObject::connect(&box, &TextBox::changed, context, [edit, syncing](const QString &text) {
        const QString shown = forDisplay(text);
        if (edit->toPlainText() == shown)
            return;
        *syncing = true;
        edit->setPlainText(shown);
        *syncing = false;
    });
}

// The box shows the text as ShownText makes it, so that a hostile answer of bare line feeds makes
// a few lines, not a block per line; a long text goes in a slice at a time, the window answering
// between slices.
ResponseView::ResponseView(QPlainTextEdit *edit, ResponseBox &text)
    : QObject(edit)
    , m_edit(edit)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &ResponseView::feed);
    m_feed.reset(m_shown.reset(text.text()));
    feed();
    connect(&text, &ResponseBox::textReset, edit, [this](const QString &all) {
        const bool large = m_edit->document()->characterCount() > LargeDocument;
        m_edit->clear();
        if (large)
            giveMemoryBack();
        m_feed.reset(m_shown.reset(all));
        feed();
    });
    connect(&text, &ResponseBox::appended, edit, [this](const QString &piece) {
        m_feed.append(m_shown.append(piece));
        feed();
    });
    connect(&text, &ResponseBox::tailReplaced, edit, [this, &text](const QString &, const QString &added) {
        const QString &all = text.text();
        const qsizetype cut = m_feed.replaceTail(m_shown.replaceTail(all, all.size() - added.size()));
        QTextCursor cursor(m_edit->document());
        cursor.movePosition(QTextCursor::End);
        if (cut < cursor.position()) {
            cursor.setPosition(int(cut), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        feed();
    });
    connect(&text, &ResponseBox::scrolledToStart, edit, [this] { m_edit->moveCursor(QTextCursor::Start); });
}

void ResponseView::feed()
{
    const QString slice = m_feed.take();
    if (!slice.isEmpty()) {
        QTextCursor cursor(m_edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(slice);
    }
    if (m_feed.waiting())
        m_timer.start();
}

} // namespace zandrel
