#include "WhoState.h"

namespace zandrel {

WordCombo::WordCombo(QObject *parent)
    : QObject(parent)
{ }

QString WordCombo::at(int row) const
{
    return row >= 0 && row < count() ? m_entries.index(row).data().toString() : QString();
}

void WordCombo::setEntries(const QStringList &entries)
{
    m_entries.setStringList(entries);
}

void WordCombo::append(const QString &entry)
{
    const int row = count();
    m_entries.insertRows(row, 1);
    m_entries.setData(m_entries.index(row), entry);
}

void WordCombo::setEditText(const QString &text)
{
    if (text == m_edit)
        return;
    m_edit = text;
    emit editChanged(m_edit);
}

void WordCombo::pick(const QString &text)
{
    m_edit = text;
}

void WordCombo::clear()
{
    m_entries.setStringList({});
    m_edit.clear();
    emit editReset(m_edit);
}

void ResponseBox::setText(const QString &text)
{
    m_text = text;
    m_tail.reset();
    emit textReset(m_text);
}

void ResponseBox::append(const QString &piece)
{
    m_text += piece;
    emit appended(piece);
}

void ResponseBox::removeAll(const QString &stext)
{
    TailEdit edit = m_tail.clean(m_text, stext);
    if (edit.keep == m_text.size() && edit.tail.isEmpty())
        return;
    if (edit.keep > 0 && m_text.at(edit.keep - 1) == u'\r') {
        --edit.keep;
        edit.tail.prepend(u'\r');
    }
    const QString removed = m_text.sliced(edit.keep);
    m_text.truncate(edit.keep);
    m_text += edit.tail;
    emit tailReplaced(removed, edit.tail);
}

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

WhoState::WhoState(QObject *parent)
    : QObject(parent)
{
    Nag2 = QStringLiteral("To single out one record, look it up with \"!xxx\", where xxx is the") + CrLf
        + QStringLiteral("handle, shown in parenthesis following the name, which comes first.") + CrLf;
    Nag3 = QStringLiteral("Connected.  Waiting for data...") + CrLf;
    Nag4 = QStringLiteral("Aborting search 50 records found .....") + CrLf;
    Nag5 = QStringLiteral("Access to Network Solutions' WHOIS information is provided to assist") + CrLf
        + QStringLiteral("persons in determining the contents of a domain name registration") + CrLf
        + QStringLiteral("record in the Network Solutions registry database. ") + CrLf
        + QStringLiteral("By submitting this query, you agree to abide by this policy.") + CrLf;
    Nag6 = QStringLiteral("Compilation, repackaging, dissemination, or other use of the WHOIS database")
        + CrLf + QStringLiteral("in its entirety, or of a substantial portion thereof, is not allowed") + CrLf
        + QStringLiteral("without Network Solutions' prior written permission.") + CrLf
        + QStringLiteral("All rights reserved.") + CrLf;
    Nag7 = Nag5 + Nag6;
}

} // namespace zandrel
