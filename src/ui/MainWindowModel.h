// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppCoordinator.h"
#include "ui/OnboardingModel.h"
#include "ui/RecognitionModel.h"
#include "ui/ViewServices.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace parlune {

// What the main window shows beside the coordinator's own fields: the hero's texts, whether the
// permissions panel is needed, the three newest transcripts, and the actions of its buttons.
class MainWindowModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(parlune::AppCoordinator* coordinator READ coordinator CONSTANT)
    Q_PROPERTY(bool micGranted READ micGranted NOTIFY micGrantedChanged)
    Q_PROPERTY(QString title READ title NOTIFY textsChanged)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY textsChanged)
    // "0,42 s" after a dictation, empty before the first one and while recording.
    Q_PROPERTY(QString latencyText READ latencyText NOTIFY textsChanged)
    // The panel of what is still missing: a permission, or a shortcut that can be held.
    Q_PROPERTY(bool showsPermissions READ showsPermissions NOTIFY textsChanged)
    Q_PROPERTY(bool canRequestAccessibility READ canRequestAccessibility NOTIFY textsChanged)
    // The desktop's shortcut settings can be opened (where the desktop binds the shortcut).
    Q_PROPERTY(bool canOpenShortcutSettings READ canOpenShortcutSettings NOTIFY textsChanged)
    // What the hero's keycap shows: the shortcut, or that there is none.
    Q_PROPERTY(QString keycapLabel READ keycapLabel NOTIFY textsChanged)
    // The desktop will bind no shortcut but can run the program at the keys of a keybinding of its own:
    // the "Raccourci" row offers to add it.
    Q_PROPERTY(bool offersKeybinding READ offersKeybinding NOTIFY textsChanged)
    // The "Raccourci" row's explanation, while the shortcut does not work.
    Q_PROPERTY(QString shortcutDetail READ shortcutDetail NOTIFY textsChanged)
    // The program's keybinding is there: the settings say how it behaves and offer to remove it.
    Q_PROPERTY(bool hasKeybinding READ hasKeybinding NOTIFY textsChanged)
    // The shortcut is fn alone, which programs cannot see here: a warning and a one-click change.
    Q_PROPERTY(bool warnsAboutFn READ warnsAboutFn NOTIFY textsChanged)
    Q_PROPERTY(QString useDefaultShortcutTitle READ useDefaultShortcutTitle CONSTANT)
    // The language as the position of its segment: French, Spanish, English.
    Q_PROPERTY(int languageIndex READ languageIndex WRITE setLanguageIndex NOTIFY languageIndexChanged)
    // The segments: "FR", "ES", "EN" in the settings, the full names in the walkthrough.
    Q_PROPERTY(QStringList languageCodes READ languageCodes CONSTANT)
    Q_PROPERTY(QStringList languageNames READ languageNames CONSTANT)
    // The choice between fast and accurate recognition.
    Q_PROPERTY(parlune::RecognitionModel* recognition READ recognition CONSTANT)
    // The three newest transcripts, newest first, each {id, text, time}.
    Q_PROPERTY(QVariantList recent READ recent NOTIFY recentChanged)

public:
    MainWindowModel(AppCoordinator& coordinator, ViewServices services, QObject* parent = nullptr);
    ~MainWindowModel() override;

    AppCoordinator* coordinator() const { return &m_coordinator; }
    bool micGranted() const { return m_micGranted; }
    QString title() const;
    QString subtitle() const;
    QString latencyText() const;
    bool showsPermissions() const;
    bool canRequestAccessibility() const { return m_services.canRequestAccessibility(); }
    bool canOpenShortcutSettings() const { return m_services.canOpenShortcutSettings(); }
    QString keycapLabel() const;
    bool offersKeybinding() const { return offersKeybinding(m_coordinator, m_services); }
    QString shortcutDetail() const;
    bool hasKeybinding() const;
    bool warnsAboutFn() const;
    QString useDefaultShortcutTitle() const { return useDefaultShortcutText(); }
    int languageIndex() const;
    void setLanguageIndex(int index);
    QStringList languageCodes() const;
    QStringList languageNames() const;
    QVariantList recent() const;
    RecognitionModel* recognition() const { return m_recognition; }

    // Seconds with exactly two decimals in the user's locale: "0,42" in French.
    static QString latencyNumber(double seconds);
    // The button that swaps a shortcut nobody can hold for the default: "Utiliser Ctrl droite".
    static QString useDefaultShortcutText();
    // Whether to offer the desktop keybinding: the desktop has said it binds no shortcut, and the program
    // has no keybinding there yet.
    static bool offersKeybinding(const AppCoordinator& coordinator, const ViewServices& services);
    // Hours and minutes in the user's locale: "14:05", or "2:05 PM" where the clock has twelve hours.
    static QString timeText(const QDateTime& date);

    // Reads the microphone authorisation again: when shown and whenever the program becomes active.
    Q_INVOKABLE void refreshMicrophone();
    Q_INVOKABLE void requestMicrophone();
    Q_INVOKABLE void requestAccessibility();
    Q_INVOKABLE void useDefaultShortcut();
    // Where the desktop binds the shortcut: its settings, to change it.
    Q_INVOKABLE void openShortcutSettings();
    // "Créer le raccourci dans GNOME" and "Retirer le raccourci".
    Q_INVOKABLE void createKeybinding();
    Q_INVOKABLE void removeKeybinding();
    // A click on a transcript: the clipboard holds its text alone.
    Q_INVOKABLE void copy(const QString& text);
    Q_INVOKABLE void clearHistory();
    // A fresh walkthrough for the view that shows it, which owns it.
    Q_INVOKABLE parlune::OnboardingModel* makeOnboarding(QObject* owner);

Q_SIGNALS:
    void micGrantedChanged();
    void textsChanged();
    void languageIndexChanged();
    void recentChanged();

private:
    static QCoro::Task<> askMicrophone(QPointer<MainWindowModel> self);
    void setMicGranted(bool granted);

    AppCoordinator& m_coordinator;
    ViewServices m_services;
    bool m_micGranted;
    // Why the last attempt to add the keybinding failed, until the next attempt.
    QString m_keybindingError;
    RecognitionModel* m_recognition;
};

} // namespace parlune
