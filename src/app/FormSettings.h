#pragma once

#include "Services.h"

#include <QObject>

namespace zandrel {

struct RunOptions;
class WhoState;

// Where the default word lists live: beside the program, where that folder can be written; else
// (installed in /usr/bin) in `dataFolder`, made for them, as the reports are.
QString defaultListFolder(const QString &programFolder, const QString &dataFolder);

// The form's texts kept between runs (search term, removal text, word-list paths), and the pause
// between lookups the delay box sets.
class FormSettings : public QObject
{
    Q_OBJECT
public:
    FormSettings(const Services &services, WhoState &state, RunOptions &options, QObject *parent = nullptr);

    // Start-up: the program's place is registered, then the texts are read back.
    void load();
    // The pause between lookups at one server, from "Internic Delay:" (3 s until it is edited).
    int pauseMs() const;
    // The delay box was set (remembered, or typed again with the same value): its value is the
    // pause from now on, as after an edit.
    void useDelayBox() { Delay_Change(); }
    bool delayInvalid() const { return m_delayInvalid; }

signals:
    void delayValidityChanged(bool invalid);

private:
    void SearchTerm_Change();
    void PrefixPath_Change();
    void SuffixPath_Change();
    void Nag_Change();
    void Delay_Change();

    Services m_services;
    WhoState &m_state;
    RunOptions &m_options;
    bool m_delayInvalid = false;
};

} // namespace zandrel
