// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace parlune {

// How far the installation of a model has come, and the user's way to call it off. It runs from the
// first byte to the loaded model: an installation that succeeded leaves it at `loading`, and whoever
// loads the model finishes it, with the loading's failure if there is one. Main thread only.
class InstallationProgress
{
public:
    enum class Step {
        // Another Parlune is downloading the same model: this one waits and then uses its result.
        waiting,
        downloading,
        // The bytes kept from an earlier attempt are checked before the rest is fetched.
        verifying,
        // Unpacking or moving the files into place.
        installing,
        loading,
    };

    Step step() const { return m_step; }
    // From 0 to 1: the share of the download's bytes on disk, those kept from an earlier attempt
    // included.
    double fractionCompleted() const { return m_fraction; }
    // The download's bytes; the total is 0 while unknown.
    qint64 completedBytes() const { return m_completedBytes; }
    qint64 totalBytes() const { return m_totalBytes; }
    // Measured over the last few seconds of the transfer; none until then.
    std::optional<double> bytesPerSecond() const { return m_bytesPerSecond; }
    // At the current speed; none while the speed is unknown or nothing is arriving.
    std::optional<double> secondsRemaining() const;
    bool isCancelled() const { return m_cancelled; }
    // Set once it has ended, whatever its outcome.
    bool isFinished() const { return m_finished; }
    // Why it failed, in the user's words, once it has finished with a failure.
    const std::optional<QString>& failure() const { return m_failure; }
    // The user can stop it until the model is installed.
    bool canCancel() const { return !m_finished && !m_cancelled && m_step != Step::loading; }

    // Asks the installation to stop. It ends with a failure that says so.
    void cancel();
    // Called after every change.
    void observe(std::function<void()> observer) { m_observers.push_back(std::move(observer)); }

    // For the installation, and for whoever loads the model.
    void setStep(Step step);
    // A fraction without byte counts.
    void setFractionCompleted(double fraction);
    // Bytes on disk out of the total, and the speed they arrive at: one change for all three.
    void setTransfer(qint64 completedBytes, qint64 totalBytes, std::optional<double> bytesPerSecond);
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }
    void finish(std::optional<QString> failure = std::nullopt);

private:
    void notify();

    Step m_step = Step::downloading;
    double m_fraction = 0;
    qint64 m_completedBytes = 0;
    qint64 m_totalBytes = 0;
    std::optional<double> m_bytesPerSecond;
    bool m_cancelled = false;
    bool m_finished = false;
    std::optional<QString> m_failure;
    std::function<void()> m_onCancel;
    std::vector<std::function<void()>> m_observers;
};

} // namespace parlune
