// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server and the update feed, for real, on the private desktop.
#include "SessionChild.h"
#include "platform/appcast/AppcastUpdateController.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "system/MediaController.h"
#include "system/Sounds.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

QString pactl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool sinkMuted(const QString& sink)
{
    return pactl({QStringLiteral("get-sink-mute"), sink}) == QLatin1String("Mute: yes");
}

void setSinkMuted(const QString& sink, bool muted)
{
    pactl({QStringLiteral("set-sink-mute"), sink, muted ? QStringLiteral("1") : QStringLiteral("0")});
}

const QString speakers = QStringLiteral("parlune_speakers");
const QString otherSink = QStringLiteral("parlune_voice");

// An HTTP server on 127.0.0.1 that answers every request with the same feed.
class FeedServer
{
public:
    explicit FeedServer(QByteArray feed)
        : m_feed(std::move(feed))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n"
                              "Content-Length: " +
                              QByteArray::number(m_feed.size()) + "\r\n\r\n" + m_feed);
                socket->disconnectFromHost();
            });
        });
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort()));
    }

private:
    QByteArray m_feed;
    QTcpServer m_server;
};

} // namespace

class ServicesSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PulseLink> link;
    std::unique_ptr<PulseOutputMixer> mixer;
    std::unique_ptr<WorkerQueue> queue;
    std::unique_ptr<MediaController> media;

    void dictate(const std::function<void()>& during)
    {
        media->muteForRecording(0s);
        QTRY_VERIFY(sinkMuted(speakers));
        during();
        bool restored = false;
        media->restore([&] { restored = true; });
        QTRY_VERIFY(restored);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PARLUNE_SESSION_DIR"), "run inside scripts/session");
        link = std::make_unique<PulseLink>();
        mixer = std::make_unique<PulseOutputMixer>(*link);
        queue = std::make_unique<WorkerQueue>(MediaController::queueLabel);
        media = std::make_unique<MediaController>(*mixer, *queue);
    }

    void init()
    {
        pactl({QStringLiteral("set-default-sink"), speakers});
        setSinkMuted(speakers, false);
        setSinkMuted(otherSink, false);
    }

    void outputIsMutedDuringTheDictationAndPlaysAgainAfter()
    {
        dictate([] {});
        QVERIFY(!sinkMuted(speakers));
    }

    void outputMutedBeforeStaysMuted()
    {
        setSinkMuted(speakers, true);
        dictate([] {});
        QVERIFY(sinkMuted(speakers));
    }

    void theMutedOutputIsRestoredAfterTheDefaultChanged()
    {
        dictate([] { pactl({QStringLiteral("set-default-sink"), otherSink}); });
        QVERIFY(!sinkMuted(speakers));
        QVERIFY(!sinkMuted(otherSink));
    }

    void cueSoundPlaysOnTheDefaultOutput()
    {
        QVERIFY([&] {
            PulseLink::Lock lock(*link);
            return link->waitReady(2000ms);
        }());
        PulseSound sound(*link, Sounds::startSamples());
        Sounds::play(sound);
        QTRY_VERIFY(pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")})
                        .contains(QLatin1String("float32le 1ch 48000Hz")));
        // Played again at once: the first play is cut off, never two at a time.
        Sounds::play(sound);
        QTest::qWait(100);
        QCOMPARE(pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")})
                     .count(QLatin1String("float32le 1ch 48000Hz")),
                 1);
        sound.stop();
        QTRY_VERIFY(!pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")})
                         .contains(QLatin1String("float32le 1ch 48000Hz")));
    }

    void updaterReadsTheFeed_data()
    {
        QTest::addColumn<QString>("ourVersion");
        QTest::addColumn<QString>("found");
        QTest::newRow("older than the feed") << "0.1.0"
                                             << "0.2.0";
        QTest::newRow("up to date") << "0.2.0"
                                    << "";
    }

    void updaterReadsTheFeed()
    {
        QFETCH(QString, ourVersion);
        QFETCH(QString, found);
        FeedServer server("<?xml version='1.0'?><rss version='2.0' "
                          "xmlns:sparkle='http://www.andymatuschak.org/xml-namespaces/sparkle'><channel>"
                          "<item><title>Parlune 0.2</title><link>https://example.org/parlune/0.2</link>"
                          "<enclosure url='https://example.org/parlune-0.2.tar.gz' sparkle:version='0.2.0'/>"
                          "</item></channel></rss>");
        AppcastUpdateController controller(server.url(), ourVersion);
        QSignalSpy updates(&controller, &UpdateController::updateFound);
        QSignalSpy none(&controller, &UpdateController::noUpdateFound);
        controller.checkForUpdates();
        QTRY_COMPARE(updates.size() + none.size(), 1);
        if (found.isEmpty()) {
            QCOMPARE(none.size(), 1);
            QCOMPARE(none.front().front().toBool(), true);
        } else {
            QCOMPARE(updates.front().front().value<AvailableUpdate>().version, found);
            QCOMPARE(updates.front().at(1).toBool(), true);
        }
    }
};

QTEST_GUILESS_MAIN(ServicesSessionTest)
#include "tst_services_session.moc"
