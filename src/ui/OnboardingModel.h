// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ViewServices.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace parlune {

class AppCoordinator;

// The first-run walkthrough: which pages this run shows, the page on screen, and every text and action
// of it. The view draws it; pages only move forward.
class OnboardingModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(parlune::OnboardingModel::Step step READ step NOTIFY stepChanged)
    Q_PROPERTY(int stepIndex READ stepIndex NOTIFY stepChanged)
    Q_PROPERTY(int stepCount READ stepCount NOTIFY stepsChanged)
    Q_PROPERTY(bool micGranted READ micGranted NOTIFY micGrantedChanged)
    Q_PROPERTY(bool fnFree READ fnFree NOTIFY fnFreeChanged)
    Q_PROPERTY(QString practiceText READ practiceText WRITE setPracticeText NOTIFY practiceTextChanged)
    // Everything below follows the page, the coordinator and the fields above.
    Q_PROPERTY(QString title READ title NOTIFY contentChanged)
    Q_PROPERTY(QString text READ text NOTIFY contentChanged)
    Q_PROPERTY(bool visualDone READ visualDone NOTIFY contentChanged)
    Q_PROPERTY(QString visualSymbol READ visualSymbol NOTIFY contentChanged)
    Q_PROPERTY(QString primaryTitle READ primaryTitle NOTIFY contentChanged)
    Q_PROPERTY(parlune::OnboardingModel::Secondary secondary READ secondary NOTIFY contentChanged)
    Q_PROPERTY(QString secondaryTitle READ secondaryTitle NOTIFY contentChanged)
    Q_PROPERTY(QString practiceTitle READ practiceTitle NOTIFY contentChanged)
    Q_PROPERTY(QString practiceInstruction READ practiceInstruction NOTIFY contentChanged)

public:
    // The pages, Recognition (fast or accurate) right after Language. Where the desktop binds the
    // shortcut (Wayland), Shortcut, the desktop's shortcut, comes after Microphone, Accessibility is the
    // desktop lending its keyboard for the paste, and there is no fn page.
    enum Step { Welcome, Microphone, Accessibility, FnKey, Language, Practice, Done, Shortcut, Recognition };
    Q_ENUM(Step)
    // What sits under the main button.
    enum Secondary { Nothing, Later, ShortcutRecorder, SkipPractice };
    Q_ENUM(Secondary)

    // How often the permissions are read again while the walkthrough is shown.
    static constexpr double pollInterval = 1.0;

    OnboardingModel(AppCoordinator& coordinator, ViewServices services, QObject* parent = nullptr);
    ~OnboardingModel() override;

    Step step() const { return m_step; }
    const QList<Step>& steps() const { return m_steps; }
    int stepIndex() const { return int(m_steps.indexOf(m_step)); }
    int stepCount() const { return int(m_steps.size()); }
    bool micGranted() const { return m_micGranted; }
    bool fnFree() const { return m_fnFree; }
    const QString& practiceText() const { return m_practiceText; }
    void setPracticeText(const QString& text);

    QString title() const { return titleFor(m_step); }
    QString text() const { return textFor(m_step); }
    // The status icon of the permission pages: its symbol, and whether it shows the green check.
    QString visualSymbol() const { return visualSymbolFor(m_step); }
    bool visualDone() const { return visualDoneFor(m_step); }
    // The same for any page: a page moving out keeps its own texts while the next one moves in.
    Q_INVOKABLE QString titleFor(parlune::OnboardingModel::Step step) const;
    Q_INVOKABLE QString textFor(parlune::OnboardingModel::Step step) const;
    Q_INVOKABLE QString visualSymbolFor(parlune::OnboardingModel::Step step) const;
    Q_INVOKABLE bool visualDoneFor(parlune::OnboardingModel::Step step) const;
    QString primaryTitle() const;
    Secondary secondary() const;
    QString secondaryTitle() const;
    QString practiceTitle() const;
    // Empty while a dictation runs: the view shows the level meter instead.
    QString practiceInstruction() const;

    // When the view is shown: decides the pages of this run once, and starts the poll.
    Q_INVOKABLE void start();
    // At each tick of the poll.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void next();
    Q_INVOKABLE void primaryAction();

Q_SIGNALS:
    void stepChanged();
    void stepsChanged();
    void micGrantedChanged();
    void fnFreeChanged();
    void practiceTextChanged();
    void contentChanged();
    // The practice page has arrived: its field takes the keyboard focus.
    void practiceFocusRequested();

private:
    static QCoro::Task<> poll(QPointer<OnboardingModel> self, Clock& clock);
    static QCoro::Task<> askMicrophone(QPointer<OnboardingModel> self);
    void setStep(Step step);
    void setMicGranted(bool granted);
    void setFnFree(bool free);
    QString shortcutLabel() const;
    bool offersAccessibilitySettings() const;
    bool offersShortcutSettings() const;
    bool offersKeybinding() const;
    // The shortcut that works is the desktop keybinding the program added.
    bool worksThroughKeybinding() const;
    QString shortcutText() const;

    AppCoordinator& m_coordinator;
    ViewServices m_services;
    Step m_step = Welcome;
    QList<Step> m_steps{Welcome, Microphone, Accessibility, FnKey, Language, Recognition, Practice, Done};
    bool m_micGranted;
    bool m_fnFree;
    QString m_practiceText;
    bool m_started = false;
    // Why the last attempt to add the desktop keybinding failed, until the next attempt.
    QString m_keybindingError;
};

} // namespace parlune
