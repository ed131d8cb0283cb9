// SPDX-License-Identifier: GPL-3.0-or-later
// Installing a Vosk model from a mirror on 127.0.0.1 (PARLUNE_MODEL_MIRROR), checked against the
// catalogue's size and SHA-256. Whatever happens, the models folder holds the whole model or nothing.
#include "FakeVoskModel.h"
#include "platform/vosk/VoskRecognizer.h"
#include "speech/SpeechEngine.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace parlune;

namespace {

const QString archiveName = QStringLiteral("vosk-model-small-fr-0.22.zip");

// How the server answers a request for the archive. A wrong checksum is the test catalogue's.
enum class Serving { whole, wrongChecksum, cutHalfway, announcesOtherSize, holdHalfway, down };

// Serves `archive` at /models/<archiveName> on 127.0.0.1; anything else is not found.
void serve(QTcpServer& server, QByteArray archive, Serving serving)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, archive, serving] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, archive, serving] {
            if (!socket->readAll().startsWith("GET /models/" + archiveName.toUtf8() + " ")) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            const bool half = serving == Serving::cutHalfway || serving == Serving::holdHalfway;
            const qint64 announced = archive.size() + (serving == Serving::announcesOtherSize ? 1 : 0);
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(announced) + "\r\n\r\n");
            socket->write(half ? archive.left(archive.size() / 2) : archive);
            // A held transfer stays open until the client gives up.
            if (serving != Serving::holdHalfway)
                socket->disconnectFromHost();
        });
    });
}

} // namespace

class ModelInstallationTest : public QObject
{
    Q_OBJECT

    QByteArray m_archive;

private Q_SLOTS:
    void initTestCase()
    {
        QTemporaryDir model;
        writeFakeVoskModel(model.path(), {});
        // Incompressible padding, so that the archive arrives in many pieces.
        QFile padding(model.filePath("graph/Gr.fst"));
        QVERIFY(padding.open(QIODevice::WriteOnly));
        QByteArray noise(512 * 1024, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        padding.write(noise);
        padding.close();
        m_archive = zipped(model.path(), "vosk-model-small-fr-0.22");
    }

    void installation_data()
    {
        QTest::addColumn<Serving>("serving");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole archive") << Serving::whole << "";
        QTest::newRow("checksum mismatch")
            << Serving::wrongChecksum << "Français : le modèle téléchargé est endommagé.";
        QTest::newRow("server gone mid-download")
            << Serving::cutHalfway << "Français : le téléchargement du modèle a été interrompu.";
        QTest::newRow("another size announced")
            << Serving::announcesOtherSize << "Français : le modèle téléchargé est endommagé.";
        QTest::newRow("cancelled at 50 %")
            << Serving::holdHalfway << "Français : téléchargement du modèle annulé.";
        QTest::newRow("no network") << Serving::down
                                    << "Français : le modèle de reconnaissance n'a pas pu être téléchargé.";
    }

    void installation()
    {
        QFETCH(Serving, serving);
        QFETCH(QString, expected);
        const bool cancelHalfway = serving == Serving::holdHalfway;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        qputenv("PARLUNE_MODEL_MIRROR",
                QStringLiteral("http://127.0.0.1:%1/models/").arg(server.serverPort()).toUtf8());
        if (serving == Serving::down)
            server.close();
        else
            serve(server, m_archive, serving);

        QByteArray checksum = QCryptographicHash::hash(m_archive, QCryptographicHash::Sha256).toHex();
        if (serving == Serving::wrongChecksum)
            checksum.fill('0');
        const ModelSource source{"fr-FR",
                                 QUrl("https://alphacephei.com/vosk/models/" + archiveName),
                                 m_archive.size(),
                                 checksum,
                                 {}};
        QTemporaryDir models;
        SpeechEngine engine(std::make_shared<VoskRecognizer>(VoskLibrary::load(fakeVoskLibraryPath()).value(),
                                                             ModelCatalogue({source}), models.path()));
        double seen = 0;
        // The server holds the transfer once it has sent the first half.
        engine.setOnInstallation([&](Language, std::shared_ptr<InstallationProgress> progress) {
            progress->observe([&seen, cancelHalfway, size = m_archive.size(), progress = progress.get()] {
                seen = std::max(seen, progress->fractionCompleted());
                if (cancelHalfway && std::llround(progress->fractionCompleted() * size) >= size / 2)
                    progress->cancel();
            });
        });

        auto prepared = QCoro::waitFor(engine.prepare(Language::fr));
        QCOMPARE(prepared ? QString() : SpeechEngine::description(prepared.error()), expected);
        // The whole model, its top folder stripped, or nothing at all.
        QCOMPARE(QDir(models.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 expected.isEmpty() ? QStringList{"fr-FR"} : QStringList{});
        if (cancelHalfway)
            QVERIFY(seen >= 0.49 && seen <= 0.5);
        if (expected.isEmpty()) {
            QCOMPARE(seen, 1.0);
            QVERIFY(VoskRecognizer::isModelFolder(models.filePath("fr-FR")));
        }
    }
};

QTEST_GUILESS_MAIN(ModelInstallationTest)
#include "tst_model_installation.moc"
