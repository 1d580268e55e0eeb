#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>

#include <memory>

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

class MessageBar;
class Timer;
class WhoController;

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
    ~Who() override;

    // Twips per pixel of this screen, horizontally and vertically (15 at 96 dpi).
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // Sizes the window to its start-up place: 10, 10 pixels, outer size 620 by 460.
    void placeAtStart();

    QWidget *aboutWindow() const { return m_about; }

    // How long the window must stay still before its place is saved.
    static constexpr int GeometrySettleMs = 500;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildControls();
    void buildMenus();
    void bindTexts();
    void Form_Resize();
    void geometryChanged();
    void mAbout_Click();
    void mExit_Click();
    // Asks first when the search is large.
    void SearchCombinations_Click();
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
    QWidget *m_client = nullptr; // the controls, in their design places
    MessageBar *m_messages = nullptr;
    std::unique_ptr<Timer> m_geometrySaver;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_largeSearch;
    QList<QAction *> m_menuActions;
    QList<QWidget *> m_tabOrder;
};

} // namespace zandrel
