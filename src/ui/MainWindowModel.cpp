// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainWindowModel.h"

#include "app/AppCoordinator.h"
#include "platform/DesktopKeybinding.h"
#include "platform/Pasteboard.h"
#include "ui/OnboardingModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QVariantMap>

#include <algorithm>

namespace parlune {

namespace {

// The transcripts the window lists.
constexpr qsizetype recentCount = 3;

} // namespace

MainWindowModel::MainWindowModel(AppCoordinator& coordinator, ViewServices services, QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_services(std::move(services))
    , m_micGranted(m_services.microphoneAuthorized())
    , m_recognition(new RecognitionModel(coordinator, m_services.machineResources(), this))
{
    for (auto signal : {&AppCoordinator::statusChanged, &AppCoordinator::isRecordingChanged,
                        &AppCoordinator::shortcutChanged, &AppCoordinator::lastLatencyChanged,
                        &AppCoordinator::accessibilityGrantedChanged, &AppCoordinator::shortcutLabelChanged,
                        &AppCoordinator::modelDownloadChanged})
        connect(&m_coordinator, signal, this, &MainWindowModel::textsChanged);
    connect(this, &MainWindowModel::micGrantedChanged, this, &MainWindowModel::textsChanged);
    connect(&m_coordinator, &AppCoordinator::languageChanged, this, &MainWindowModel::languageIndexChanged);
    connect(&m_coordinator, &AppCoordinator::historyChanged, this, &MainWindowModel::recentChanged);
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive)
                        refreshMicrophone();
                });
    }
}

MainWindowModel::~MainWindowModel() = default;

QString MainWindowModel::title() const
{
    if (m_coordinator.status().kind() == RecordingStatus::Idle) {
        // The language's model is still on its way: nothing can be dictated in it yet.
        if (m_coordinator.modelDownloadActive())
            return QCoreApplication::translate("AppCoordinator", "Préparation : %1…")
                .arg(displayName(m_coordinator.language()));
        return showsPermissions() ? tr("Encore une étape") : tr("Prêt");
    }
    return m_coordinator.status().label();
}

QString MainWindowModel::subtitle() const
{
    const QString shortcut = m_coordinator.shortcutLabel();
    if (shortcut.isEmpty())
        return offersKeybinding()
                   ? tr("Pas encore de raccourci.\nCréez-le dans GNOME ci-dessous.")
                   : tr("Pas encore de raccourci.\nDémarrez les dictées depuis l'icône de Parlune.");
    return tr("Maintenez ") + shortcut + tr(" et parlez.\nTapez ") + shortcut +
           tr(" une fois pour les mains libres.");
}

QString MainWindowModel::keycapLabel() const
{
    const QString shortcut = m_coordinator.shortcutLabel();
    return shortcut.isEmpty() ? tr("Aucun raccourci") : shortcut;
}

bool MainWindowModel::offersKeybinding(const AppCoordinator& coordinator, const ViewServices& services)
{
    return services.keybinding && services.keybinding->isAvailable() &&
           services.keybinding->keys().isEmpty() && coordinator.shortcutLabel().isEmpty();
}

QString MainWindowModel::shortcutDetail() const
{
    if (!m_keybindingError.isEmpty())
        return m_keybindingError;
    if (offersKeybinding()) {
        const QString keys = m_services.keybinding->proposedKeys();
        return keys.isEmpty() ? tr("GNOME ne prête pas de raccourci aux applications, mais Parlune peut "
                                   "ajouter le sien à vos raccourcis.")
                              : tr("GNOME ne prête pas de raccourci aux applications, mais Parlune peut "
                                   "ajouter %1 à vos raccourcis.")
                                    .arg(keys);
    }
    const QString problem = m_coordinator.shortcutProblem();
    return problem.isEmpty() ? tr("Le bureau prépare le raccourci") : problem;
}

bool MainWindowModel::hasKeybinding() const
{
    return m_services.keybinding && !m_services.keybinding->keys().isEmpty();
}

void MainWindowModel::createKeybinding()
{
    if (!m_services.keybinding)
        return;
    m_keybindingError = m_services.keybinding->create().value_or(QString());
    Q_EMIT textsChanged();
}

void MainWindowModel::removeKeybinding()
{
    if (!m_services.keybinding)
        return;
    m_keybindingError.clear();
    m_services.keybinding->remove();
    Q_EMIT textsChanged();
}

QString MainWindowModel::latencyText() const
{
    const auto latency = m_coordinator.lastLatency();
    if (!latency || m_coordinator.isRecording())
        return {};
    return latencyNumber(*latency) + QStringLiteral(" s");
}

bool MainWindowModel::showsPermissions() const
{
    return !m_micGranted || !m_coordinator.accessibilityGranted() || !m_coordinator.shortcutReady() ||
           warnsAboutFn();
}

bool MainWindowModel::warnsAboutFn() const
{
    return m_coordinator.shortcut().isFnAlone() && !m_services.fnKeyIsFree();
}

QString MainWindowModel::useDefaultShortcutText()
{
    return tr("Utiliser %1").arg(KeyCombo::defaultCombo().displayString());
}

void MainWindowModel::useDefaultShortcut()
{
    m_coordinator.setShortcut(KeyCombo::defaultCombo());
}

int MainWindowModel::languageIndex() const
{
    return int(std::find(allLanguages.begin(), allLanguages.end(), m_coordinator.language()) -
               allLanguages.begin());
}

void MainWindowModel::setLanguageIndex(int index)
{
    if (index >= 0 && index < int(allLanguages.size()))
        m_coordinator.setLanguage(allLanguages[std::size_t(index)]);
}

QStringList MainWindowModel::languageCodes() const
{
    QStringList codes;
    for (Language language : allLanguages)
        codes << rawValue(language).toUpper();
    return codes;
}

QStringList MainWindowModel::languageNames() const
{
    QStringList names;
    for (Language language : allLanguages)
        names << displayName(language);
    return names;
}

QVariantList MainWindowModel::recent() const
{
    QVariantList rows;
    const QList<TranscriptEntry>& history = m_coordinator.history();
    for (qsizetype i = 0; i < std::min(recentCount, history.size()); ++i) {
        const TranscriptEntry& entry = history.at(i);
        rows << QVariantMap{{QStringLiteral("id"), entry.idString()},
                            {QStringLiteral("text"), entry.text},
                            {QStringLiteral("time"), timeText(entry.dateTime())}};
    }
    return rows;
}

QString MainWindowModel::latencyNumber(double seconds)
{
    return QLocale().toString(seconds, 'f', 2);
}

QString MainWindowModel::timeText(const QDateTime& date)
{
    // Some locales' short format still shows seconds (the C locale's does): hours and minutes only.
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]s+")));
    return QLocale().toString(date.toLocalTime().time(), format);
}

void MainWindowModel::refreshMicrophone()
{
    setMicGranted(m_services.microphoneAuthorized());
}

void MainWindowModel::setMicGranted(bool granted)
{
    if (granted == m_micGranted)
        return;
    m_micGranted = granted;
    Q_EMIT micGrantedChanged();
}

void MainWindowModel::requestMicrophone()
{
    askMicrophone(this);
}

QCoro::Task<> MainWindowModel::askMicrophone(QPointer<MainWindowModel> self)
{
    const bool granted = co_await self->m_services.requestMicrophone();
    if (self)
        self->setMicGranted(granted);
}

void MainWindowModel::requestAccessibility()
{
    m_services.requestAccessibility();
}

void MainWindowModel::openShortcutSettings()
{
    m_services.openShortcutSettings();
}

void MainWindowModel::copy(const QString& text)
{
    if (!m_services.pasteboard) {
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(text);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    m_services.pasteboard->clearContents();
    m_services.pasteboard->writeItems({PasteboardItem{{
        {QStringLiteral("text/plain"), utf8},
        {QStringLiteral("text/plain;charset=utf-8"), utf8},
    }}});
}

void MainWindowModel::clearHistory()
{
    m_coordinator.clearHistory();
}

OnboardingModel* MainWindowModel::makeOnboarding(QObject* owner)
{
    return new OnboardingModel(m_coordinator, m_services, owner);
}

} // namespace parlune
