#pragma once

#include "harvest/ResponseTail.h"
#include "harvest/UniqueList.h"

#include <QObject>
#include <QStringListModel>

namespace zandrel {

// A text of the window. Setting it from code raises its change like a typed change, and only
// when the text really changes, so the change procedures run the same way whoever made it.
class TextBox : public QObject
{
    Q_OBJECT
public:
    explicit TextBox(const QString &text = {}, QObject *parent = nullptr)
        : QObject(parent)
        , m_text(text)
    { }
    const QString &text() const { return m_text; }
    void setText(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        emit changed(m_text);
    }

signals:
    void changed(const QString &text);

private:
    QString m_text;
};

// A combo box: a word list with an edit text. Only a change of the edit text (typed, or set by
// the program) raises `editChanged`; emptying the box or picking from the list does not.
class WordCombo : public QObject
{
    Q_OBJECT
public:
    explicit WordCombo(QObject *parent = nullptr);

    QStringListModel &model() { return m_entries; }
    int count() const { return int(m_entries.rowCount()); }
    // The entry at `row`, or an empty text past either end.
    QString at(int row) const;
    QStringList entries() const { return m_entries.stringList(); }
    void setEntries(const QStringList &entries);
    void append(const QString &entry);

    const QString &editText() const { return m_edit; }
    void setEditText(const QString &text);
    // A pick from the drop-down list: the edit text follows without a change event.
    void pick(const QString &text);
    // Removes every entry and the edit text, without a change event.
    void clear();

signals:
    void editChanged(const QString &text);
    // The edit text was replaced without a change event; the view follows.
    void editReset(const QString &text);

private:
    QStringListModel m_entries;
    QString m_edit;
};

// A rich text box that shows a growing text. Line breaks are kept as CR LF pairs.
class ResponseBox : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    const QString &text() const { return m_text; }
    void setText(const QString &text);
    void append(const QString &piece);
    // replaceit(text(), stext, QString()), reading only what is new since the last time.
    void removeAll(const QString &stext);
    void scrollToStart() { emit scrolledToStart(); }
    // What of the text the scans have read already.
    ResponseTail &tail() { return m_tail; }

signals:
    void textReset(const QString &text);
    void appended(const QString &piece);
    // The end of the text, never cut inside a CR LF pair, was replaced.
    void tailReplaced(const QString &removed, const QString &added);
    void scrolledToStart();

private:
    QString m_text;
    ResponseTail m_tail;
};

// Everything the window shows and the procedures share, as plain objects: the window binds its
// widgets to these and tests drive them directly.
class WhoState : public QObject
{
    Q_OBJECT
public:
    explicit WhoState(QObject *parent = nullptr);

    TextBox SearchTerm;
    TextBox PrefixPath {QStringLiteral("c:\\prefix.txt")};
    TextBox SuffixPath {QStringLiteral("c:\\suffix.txt")};
    TextBox Nag;
    TextBox Delay {QStringLiteral("1")};
    TextBox caption {QStringLiteral("Zandrel")};

    WordCombo Prefix;
    WordCombo Suffix;

    ResponseBox tResponse;
    UniqueList Available {UniqueList::Key::Exact};
    UniqueList LinkList {UniqueList::Key::WithoutQuotes};

    // Check boxes. Summary, KeepWebList and KeepSearchResults are never shown and stay checked.
    bool ComSuffix = true;
    bool ClearEachSearch = true;
    bool Summary = true;
    bool KeepWebList = true;
    bool KeepSearchResults = true;

    int QueryType = 0;
    QString EditorCommand;
    // The TLDs "Always Suffix" appends ("[Settings] Tlds"), in the order they are asked.
    QStringList Tlds {QStringLiteral("com")};

    // Shared flags of the lookup and the combination search.
    bool LookupPending = false;
    bool StopRequested = false;
    bool DelayPending = false;

    // Samples of the boilerplate the registry sends; kept with the window, read by nothing.
    QString Nag2;
    QString Nag3;
    QString Nag4;
    QString Nag5;
    QString Nag6;
    QString Nag7;
};

} // namespace zandrel
