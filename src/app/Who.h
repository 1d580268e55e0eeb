#pragma once

#include "harvest/ShownText.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QKeyEvent;
class QComboBox;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;
class QTextEdit;

namespace zandrel {

class WhoController;
class WordCombo;

// A caption label that reports which mouse button was pressed on it.
class PressLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void pressed(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

// The main window: owns the controls and forwards their events to the procedures. Controls carry
// their names as object names.
class Who : public QMainWindow
{
    Q_OBJECT
public:
    explicit Who(WhoController &who, QWidget *parent = nullptr);

    // Twips per pixel of this screen, horizontally and vertically (15 at 96 dpi).
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // Sizes the window to its start-up place: 10, 10 pixels, outer size 620 by 460.
    void placeAtStart();

    QWidget *aboutWindow() const { return m_about; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildControls();
    void buildMenus();
    void buildProgress();
    void bindTexts();
    void bindCombo(QComboBox *combo, WordCombo &state);
    void Form_Resize();
    bool isMenuShortcut(const QKeyEvent &key) const;
    void mAbout_Click();
    // Asks first when the search is large.
    void SearchCombinations_Click();
    // Enter opens the current entry, Ctrl+C copies it; whether the key was taken.
    bool listKey(QListView &view, const QKeyEvent &key);
    void restoreOptions();
    // Puts the next slice of the shown text in tResponse; the rest follows on the next turns.
    void feedResponse();
    void saveOption(const QString &key, const QString &value);
    QRect pixels(int left, int top, int width, int height) const;

    WhoController &m_who;
    QLineEdit *SearchTerm = nullptr;
    QLineEdit *PrefixPath = nullptr;
    QLineEdit *SuffixPath = nullptr;
    QLineEdit *Delay = nullptr;
    QComboBox *Prefix = nullptr;
    QComboBox *Suffix = nullptr;
    QListView *Available = nullptr;
    QListView *LinkList = nullptr;
    QTextEdit *Nag = nullptr;
    QPlainTextEdit *tResponse = nullptr;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_largeSearch;
    QList<QAction *> m_menuActions;
    QList<QWidget *> m_tabOrder;
    bool m_syncingNag = false;
    ShownText m_shown; // what tResponse shows of the response text
    ShownFeed m_feed; // what of it tResponse holds, and what waits
    QTimer m_feedTimer;
};

} // namespace zandrel
