// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QTest>

#include <memory>

namespace parlune {

// A program started by a test on the private desktop, read line by line. Waiting keeps the event loop
// running, so our clipboard stays served meanwhile.
class SessionChild
{
public:
    explicit SessionChild(const QString& program, const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
    }

    ~SessionChild()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // The next line beginning with `prefix` (the prefix removed); empty when none came in time.
    std::optional<QByteArray> waitForLine(const QByteArray& prefix, int milliseconds = 10000)
    {
        std::optional<QByteArray> found;
        (void)QTest::qWaitFor(
            [&] {
                while (m_process.canReadLine()) {
                    const QByteArray line = m_process.readLine().chopped(1);
                    if (line.startsWith(prefix)) {
                        found = line.mid(prefix.size());
                        return true;
                    }
                }
                return m_process.state() == QProcess::NotRunning && !m_process.canReadLine();
            },
            milliseconds);
        return found;
    }

    // Every line until `last` (excluded).
    QList<QByteArray> linesUntil(const QByteArray& last, int milliseconds = 10000)
    {
        QList<QByteArray> lines;
        (void)QTest::qWaitFor(
            [&] {
                while (m_process.canReadLine()) {
                    const QByteArray line = m_process.readLine().chopped(1);
                    if (line == last)
                        return true;
                    lines << line;
                }
                return m_process.state() == QProcess::NotRunning && !m_process.canReadLine();
            },
            milliseconds);
        return lines;
    }

    void write(const QByteArray& line) { m_process.write(line + '\n'); }
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
};

} // namespace parlune
