// SPDX-License-Identifier: GPL-3.0-or-later
// Installing a model from the catalogue's archive, served by a small HTTP server on 127.0.0.1 that the
// test runs itself. The archive is made at test time from Debian's English model.
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "speech/SpeechEngine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

// Serves one file to every GET, whole or cut off halfway by a server that goes away.
class ArchiveServer : public QObject
{
public:
    enum class Delivery { whole, cutHalfway };

    explicit ArchiveServer(QByteArray archive)
        : m_archive(std::move(archive))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/en-US.tar.gz").arg(m_server.serverPort()));
    }
    void setDelivery(Delivery delivery) { m_delivery = delivery; }

private:
    void serve(QTcpSocket* socket)
    {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->readAll());
            if (!request->contains("\r\n\r\n"))
                return;
            const QByteArray body =
                m_delivery == Delivery::whole ? m_archive : m_archive.left(m_archive.size() / 2);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/gzip\r\nContent-Length: " +
                          QByteArray::number(m_archive.size()) + "\r\nConnection: close\r\n\r\n");
            socket->write(body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QByteArray m_archive;
    Delivery m_delivery = Delivery::whole;
};

} // namespace

class ModelInstallationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        const QString archivePath = m_work.filePath(QStringLiteral("en-US.tar.gz"));
        QProcess tar;
        tar.start(QStringLiteral("tar"),
                  {QStringLiteral("-czf"), archivePath, QStringLiteral("-C"),
                   QStringLiteral("/usr/share/pocketsphinx/model"), QStringLiteral("en-us")});
        QVERIFY(tar.waitForFinished(120'000));
        QCOMPARE(tar.exitCode(), 0);
        QFile archive(archivePath);
        QVERIFY(archive.open(QIODevice::ReadOnly));
        m_archive = archive.readAll();
        m_sha256 = QCryptographicHash::hash(m_archive, QCryptographicHash::Sha256).toHex();
    }

    void installation_data()
    {
        QTest::addColumn<bool>("cutHalfway");
        QTest::addColumn<bool>("rightChecksum");
        QTest::addColumn<QString>("expected");

        QTest::newRow("whole archive") << false << true << QString();
        QTest::newRow("checksum mismatch")
            << false << false
            << QStringLiteral("Le modèle de reconnaissance téléchargé pour en-US est endommagé.");
        QTest::newRow("server gone mid-download")
            << true << true
            << QStringLiteral("Le téléchargement du modèle de reconnaissance pour en-US a été interrompu.");
    }

    void installation()
    {
        QFETCH(bool, cutHalfway);
        QFETCH(bool, rightChecksum);
        QFETCH(QString, expected);

        ArchiveServer server(m_archive);
        server.setDelivery(cutHalfway ? ArchiveServer::Delivery::cutHalfway : ArchiveServer::Delivery::whole);
        QTemporaryDir models;
        const QByteArray checksum =
            rightChecksum ? m_sha256
                          : QCryptographicHash::hash("another archive", QCryptographicHash::Sha256).toHex();
        // No system folder: the model can only come from the archive.
        auto recognizer = std::make_shared<PocketsphinxRecognizer>(
            ModelCatalogue({ModelSource{QStringLiteral("en-US"), server.url(), checksum, {}}}),
            models.path());
        SpeechEngine engine(recognizer);

        auto prepared = QCoro::waitFor(engine.prepare(Language::en));
        if (expected.isEmpty()) {
            QVERIFY2(prepared, prepared ? "" : qPrintable(SpeechEngine::description(prepared.error())));
            QVERIFY(ModelFiles::find(models.filePath(QStringLiteral("en-US"))));
            QCOMPARE(recognizer->loadedDecoders(QStringLiteral("en-US")), 1);
        } else {
            QVERIFY(!prepared);
            QCOMPARE(SpeechEngine::description(prepared.error()), expected);
        }
        // Whatever happened, nothing is left half-installed: the installed model or nothing at all.
        const QStringList left =
            QDir(models.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(left, expected.isEmpty() ? QStringList{QStringLiteral("en-US")} : QStringList{});
    }

    // Without a model on disk and without an archive to fetch, the language is not available.
    void noArchiveMeansUnavailable()
    {
        QTemporaryDir models;
        auto recognizer = std::make_shared<PocketsphinxRecognizer>(
            ModelCatalogue({ModelSource{QStringLiteral("es-ES"), {}, {}, {}}}), models.path());
        SpeechEngine engine(recognizer);
        auto prepared = QCoro::waitFor(engine.prepare(Language::es));
        QVERIFY(!prepared);
        QCOMPARE(SpeechEngine::description(prepared.error()),
                 QStringLiteral("Español n'est pas disponible sur ce Mac."));
    }

private:
    QTemporaryDir m_work;
    QByteArray m_archive;
    QByteArray m_sha256;
};

QTEST_GUILESS_MAIN(ModelInstallationTest)
#include "tst_modelinstallation.moc"
