#pragma once

#include "harvest/ShownText.h"

#include <QObject>
#include <QTimer>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTextEdit;

namespace zandrel {

class ResponseBox;
class TextBox;
class WordCombo;

// Keeps a line edit and a state text box equal, whichever of them changes.
void followText(QLineEdit *edit, TextBox &box, QObject *context);

// Shows a word list in an editable combo box; the edit text stays the state's.
void bindCombo(QComboBox *combo, WordCombo &words);

// Keeps the removal-text box and its state equal; the state keeps CR LF, the box line feeds.
void bindRemovalText(QTextEdit *edit, TextBox &box, QObject *context);

// Shows the response text in a plain-text box as ShownText makes it, a slice at a time.
class ResponseView : public QObject
{
    Q_OBJECT
public:
    ResponseView(QPlainTextEdit *edit, ResponseBox &text);

private:
    // Puts the next slice in the box; the rest follows on the next turns.
    void feed();

    QPlainTextEdit *m_edit;
    ShownText m_shown; // what the box shows of the response text
    ShownFeed m_feed; // what of it the box holds, and what waits
    QTimer m_timer;
};

} // namespace zandrel
