// SPDX-License-Identifier: GPL-3.0-or-later
// Installing models from a mirror on 127.0.0.1 (PARLUNE_MODEL_MIRROR), checked against the catalogue's
// sizes and SHA-256: a Vosk archive through the speech engine, and a model of several files as the
// accurate model comes, cut, resumed, damaged, short of room, cancelled, and wanted by two processes at
// once. Whatever happens, the model's folder holds the whole model or nothing.
#include "FakeClock.h"
#include "FakeVoskModel.h"
#include "platform/InstallationText.h"
#include "platform/models/ModelInstallation.h"
#include "platform/vosk/VoskRecognizer.h"
#include "speech/SpeechEngine.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace parlune;
using Step = InstallationProgress::Step;

namespace {

// Serves files at /models/<name> on 127.0.0.1: with or without ranges, the next answer cut at a byte
// (the connection closes) or held there until release(), or every answer an error status.
class ModelServer
{
public:
    struct Request
    {
        QString name;
        QByteArray range;
    };

    QMap<QString, QByteArray> files;
    bool ranges = true;
    qint64 cutAt = -1;
    qint64 holdAt = -1;
    int status = 0;
    std::vector<Request> requests;
    std::map<QString, qint64> bytesSent;

    ModelServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
        qputenv("PARLUNE_MODEL_MIRROR",
                QStringLiteral("http://127.0.0.1:%1/models/").arg(m_server.serverPort()).toUtf8());
    }
    void close() { m_server.close(); }
    void release()
    {
        for (auto& [socket, rest] : std::exchange(m_held, {})) {
            socket->write(rest);
            socket->disconnectFromHost();
        }
    }

private:
    void answer(QTcpSocket* socket)
    {
        // A request's head may come in several pieces.
        const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = head.split('\n');
        const QString name =
            QString::fromLatin1(lines.value(0).split(' ').value(1)).section(QLatin1Char('/'), 2);
        QByteArray range;
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("range:"))
                range = line.mid(6).trimmed();
        }
        requests.push_back({name, range});
        if (status || !files.contains(name)) {
            socket->write("HTTP/1.1 " + QByteArray::number(status ? status : 404) +
                          " No\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const QByteArray content = files[name];
        const qint64 from = ranges && range.startsWith("bytes=") ? range.mid(6).chopped(1).toLongLong() : 0;
        const QByteArray size = QByteArray::number(content.size());
        socket->write(
            (from > 0 ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(from) +
                            '-' + QByteArray::number(content.size() - 1) + '/' + size + "\r\n"
                      : QByteArray("HTTP/1.1 200 OK\r\n")) +
            "Connection: close\r\nContent-Length: " + QByteArray::number(content.size() - from) + "\r\n\r\n");
        const bool hold = holdAt > from;
        const qint64 end = hold           ? std::exchange(holdAt, -1)
                           : cutAt > from ? std::exchange(cutAt, -1)
                                          : content.size();
        socket->write(content.mid(from, end - from));
        bytesSent[name] += end - from;
        if (hold) {
            m_held.emplace_back(socket, content.mid(end));
            bytesSent[name] += content.size() - end;
            return;
        }
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    std::vector<std::pair<QPointer<QTcpSocket>, QByteArray>> m_held;
};

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, 0);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A model of three files, the way the accurate one comes; the same bytes in every process.
const std::vector<std::pair<QString, QByteArray>>& threeFiles()
{
    static const std::vector<std::pair<QString, QByteArray>> files{{"encoder.int8.onnx", noise(4'000'000, 1)},
                                                                   {"decoder.int8.onnx", noise(300'000, 2)},
                                                                   {"tokens.txt", noise(1'000, 3)}};
    return files;
}

ModelPackage threeFilePackage(const QString& destination)
{
    ModelPackage package{QStringLiteral("Modèle précis"),
                         {},
                         ModelPackage::Layout::files,
                         destination,
                         {},
                         {{QStringLiteral("NOTICE.txt"), "CC BY 4.0\n"}}};
    for (const auto& [name, content] : threeFiles())
        package.files.append(
            {name, QUrl("https://huggingface.co/m/resolve/abc/" + name), content.size(), sha256(content)});
    return package;
}

// Unlimited room.
std::optional<qint64> plentyOfRoom(const QString&)
{
    return std::nullopt;
}

qint64 sizeOf(const QString& path)
{
    return QFileInfo(path).isFile() ? QFileInfo(path).size() : -1;
}

// Files larger than `bytes` cannot be written while it lives: the system refuses the write, as a full
// disk does.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_before);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_before); }

private:
    rlimit m_before{};
};

enum class Serving { whole, wrongChecksum, otherSize, unavailable, down, notAnArchive };

} // namespace

class ModelInstallationTest : public QObject
{
    Q_OBJECT

    QByteArray m_archive;
    std::shared_ptr<QNetworkAccessManager> m_network = std::make_shared<QNetworkAccessManager>();
    QTemporaryDir m_dir;
    FakeClock m_clock;

    QString destination() const { return m_dir.filePath("models/parakeet"); }
    QString partial(const QString& name) const { return m_dir.filePath("models/.parakeet.partial/" + name); }
    std::unique_ptr<ModelServer> threeFileServer()
    {
        auto server = std::make_unique<ModelServer>();
        for (const auto& [name, content] : threeFiles())
            server->files[name] = content;
        return server;
    }
    QString install(ModelPackage package,
                    std::function<std::optional<qint64>(const QString&)> freeSpace = plentyOfRoom)
    {
        ModelInstallation installation(m_network, std::move(package), {&m_clock, std::move(freeSpace)});
        const std::optional<RecognitionError> failed = QCoro::waitFor(installation.downloadAndInstall());
        return failed ? failed->description : QString();
    }
    void verifyInstalled()
    {
        for (const auto& [name, content] : threeFiles()) {
            QFile installed(QDir(destination()).filePath(name));
            QVERIFY(installed.open(QIODevice::ReadOnly));
            QVERIFY(installed.readAll() == content);
        }
        QVERIFY(QFileInfo(QDir(destination()).filePath("NOTICE.txt")).isFile());
        QVERIFY(!QFileInfo::exists(partial({})));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QTemporaryDir model;
        writeFakeVoskModel(model.path(), {});
        m_archive = zipped(model.path(), "vosk-model-small-fr-0.22");
    }

    void init() { QDir(m_dir.filePath("models")).removeRecursively(); }

    // The Vosk archive, through the speech engine as a preparation gets it: installed, or a message
    // that says why, and only a checked archive kept for the next attempt.
    void voskArchive_data()
    {
        QTest::addColumn<Serving>("serving");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("archiveKept");
        QTest::newRow("installed") << Serving::whole << "" << false;
        QTest::newRow("checksum mismatch")
            << Serving::wrongChecksum
            << "Français : le modèle téléchargé est endommagé (somme de contrôle incorrecte)." << false;
        QTest::newRow("another size")
            << Serving::otherSize << "Français : le serveur n'envoie pas le fichier attendu." << false;
        QTest::newRow("server unavailable")
            << Serving::unavailable << "Français : le serveur a répondu 503 (serveur indisponible)." << false;
        QTest::newRow("nothing listening")
            << Serving::down << "Français : le serveur 127.0.0.1 refuse la connexion." << false;
        QTest::newRow("not an archive")
            << Serving::notAnArchive
            << "Français : l'archive du modèle est illisible, elle n'a pas pu être décompressée." << true;
    }

    void voskArchive()
    {
        QFETCH(Serving, serving);
        QFETCH(QString, expected);
        QFETCH(bool, archiveKept);
        const QString name = QStringLiteral("vosk-model-small-fr-0.22.zip");
        const QByteArray archive = serving == Serving::notAnArchive ? noise(4096, 9) : m_archive;
        ModelServer server;
        server.files[name] = archive;
        server.status = serving == Serving::unavailable ? 503 : 0;
        if (serving == Serving::down)
            server.close();
        const ModelSource source{"fr-FR",
                                 QUrl("https://alphacephei.com/vosk/models/" + name),
                                 archive.size() + (serving == Serving::otherSize ? 1 : 0),
                                 serving == Serving::wrongChecksum ? QByteArray(64, '0') : sha256(archive),
                                 {}};
        const QString models = m_dir.filePath("models");
        SpeechEngine engine(std::make_shared<VoskRecognizer>(VoskLibrary::load(fakeVoskLibraryPath()).value(),
                                                             ModelCatalogue({source}), models, nullptr,
                                                             m_clock));
        std::shared_ptr<InstallationProgress> progress;
        engine.setOnInstallation(
            [&](Language, std::shared_ptr<InstallationProgress> installation) { progress = installation; });

        auto prepared = QCoro::waitFor(engine.prepare(Language::fr));
        QCOMPARE(prepared ? QString() : SpeechEngine::description(prepared.error()), expected);
        QCOMPARE(QDir(models).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 expected.isEmpty() ? QStringList{"fr-FR"} : QStringList{});
        QCOMPARE(sizeOf(models + "/.fr-FR.partial/" + name), archiveKept ? archive.size() : -1);
        // The progress ends with the loading, and carries the failure's text.
        QVERIFY(progress && progress->isFinished());
        QCOMPARE(progress->failure().value_or(QString()), expected);
        if (expected.isEmpty())
            QVERIFY(VoskRecognizer::isModelFolder(models + "/fr-FR"));
    }

    // A download cut halfway resumes in a new installation (the program started again): the bytes
    // already there are checked and kept, and only the rest is fetched; a server that ignores ranges
    // sends the whole file again.
    void cutDownloadResumes_data()
    {
        QTest::addColumn<bool>("ranges");
        QTest::newRow("server with ranges") << true;
        QTest::newRow("server without ranges") << false;
    }

    void cutDownloadResumes()
    {
        QFETCH(bool, ranges);
        auto server = threeFileServer();
        server->ranges = ranges;
        server->cutAt = 1'500'000;
        QCOMPARE(install(threeFilePackage(destination())),
                 "Modèle précis : le téléchargement a été interrompu ; il reprendra où il s'est arrêté.");
        QCOMPARE(sizeOf(partial("encoder.int8.onnx")), 1'500'000);
        QVERIFY(!QFileInfo::exists(destination()));

        server->requests.clear();
        server->bytesSent.clear();
        ModelInstallation again(m_network, threeFilePackage(destination()), {&m_clock, plentyOfRoom});
        std::vector<Step> steps;
        again.progress()->observe([&] {
            if (steps.empty() || steps.back() != again.progress()->step())
                steps.push_back(again.progress()->step());
        });
        QVERIFY(!QCoro::waitFor(again.downloadAndInstall()));
        verifyInstalled();
        QCOMPARE(server->requests.front().range, QByteArray("bytes=1500000-"));
        QCOMPARE(server->bytesSent["encoder.int8.onnx"], ranges ? 2'500'000 : 4'000'000);
        QVERIFY(steps == (std::vector{Step::verifying, Step::downloading, Step::installing, Step::loading}));
    }

    // One file with a wrong checksum: the model is not installed, that file is dropped, the files that
    // were right are kept and not fetched again.
    void damagedFileIsFetchedAgainAlone()
    {
        auto server = threeFileServer();
        ModelPackage package = threeFilePackage(destination());
        package.files[1].sha256 = QByteArray(64, 'f');
        QCOMPARE(install(package), "Modèle précis : le fichier decoder.int8.onnx téléchargé est endommagé "
                                   "(somme de contrôle incorrecte).");
        QVERIFY(!QFileInfo::exists(destination()));
        QCOMPARE(sizeOf(partial("encoder.int8.onnx")), 4'000'000);
        QCOMPARE(sizeOf(partial("decoder.int8.onnx")), -1);

        server->bytesSent.clear();
        QCOMPARE(install(threeFilePackage(destination())), QString());
        verifyInstalled();
        QCOMPARE(server->bytesSent,
                 (std::map<QString, qint64>{{"decoder.int8.onnx", 300'000}, {"tokens.txt", 1'000}}));
    }

    // Too little room is found before any byte is fetched; a disk that fills during the download keeps
    // what was written for the next attempt (which resumes as a cut download does).
    void diskFull()
    {
        auto server = threeFileServer();
        QCOMPARE(install(threeFilePackage(destination()),
                         [](const QString&) { return std::optional<qint64>(1000); }),
                 "Modèle précis : il faut 4,3\u00a0Mo libres sur le disque, il n'en reste que 1\u00a0ko.");
        QVERIFY(server->requests.empty());

        {
            const FileSizeLimit limit(1'000'000);
            QCOMPARE(install(threeFilePackage(destination())),
                     "Modèle précis : le disque est plein, le modèle n'a pas pu être enregistré.");
        }
        QCOMPARE(sizeOf(partial("encoder.int8.onnx")), 1'000'000);
        QVERIFY(!QFileInfo::exists(destination()));
    }

    // A transfer that stalls: its speed and time left while bytes arrive, then neither once nothing
    // has come for a while; cancelling stops it at once and keeps the bytes for next time.
    void stalledDownloadShowsItThenCancels()
    {
        auto server = threeFileServer();
        server->holdAt = 2'000'000;
        ModelInstallation installation(m_network, threeFilePackage(destination()), {&m_clock, plentyOfRoom});
        const std::shared_ptr<InstallationProgress> progress = installation.progress();
        auto running = installation.downloadAndInstall();
        QTRY_COMPARE(sizeOf(partial("encoder.int8.onnx")), 2'000'000);
        const QString model = QStringLiteral("modèle précis");
        m_clock.advance(Seconds(2));
        // 2 MB in 2 s; 2.3 MB left.
        QCOMPARE(InstallationText::describe(*progress, model),
                 "Téléchargement du modèle précis… 46\u00a0% — 1\u00a0Mo/\u2060s, encore 3\u00a0s");
        m_clock.advance(Seconds(6));
        QCOMPARE(InstallationText::describe(*progress, model), "Téléchargement du modèle précis… 46\u00a0%");

        progress->cancel();
        const std::optional<RecognitionError> failed = QCoro::waitFor(running);
        QCOMPARE(failed ? failed->description : QString(),
                 "Modèle précis : téléchargement du modèle annulé.");
        QCOMPARE(progress->failure(), failed->description);
        QCOMPARE(sizeOf(partial("encoder.int8.onnx")), 2'000'000);
        server->release();
    }

    // Two Parlune processes after the same model: the second waits for the first, shows how far it
    // has come, removes none of its bytes and then uses the model it installed.
    void secondProcessWaitsForTheFirst()
    {
        auto server = threeFileServer();
        server->holdAt = 1'000'000;
        QProcess first;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARLUNE_TEST_INSTALL_INTO", destination());
        first.setProcessEnvironment(environment);
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(QCoreApplication::applicationFilePath());
        QTRY_COMPARE_WITH_TIMEOUT(sizeOf(partial("encoder.int8.onnx")), 1'000'000, 20'000);

        ModelInstallation second(m_network, threeFilePackage(destination()), {&m_clock, plentyOfRoom});
        auto waiting = second.downloadAndInstall();
        QCOMPARE(second.progress()->step(), Step::waiting);
        QCOMPARE(second.progress()->completedBytes(), 1'000'000);
        m_clock.advance(Seconds(1));
        QCOMPARE(sizeOf(partial("encoder.int8.onnx")), 1'000'000);

        server->release();
        QTRY_COMPARE_WITH_TIMEOUT(first.state(), QProcess::NotRunning, 20'000);
        QCOMPARE(first.exitCode(), 0);
        m_clock.advance(Seconds(1));
        QVERIFY(!QCoro::waitFor(waiting));
        verifyInstalled();
        QCOMPARE(server->bytesSent, (std::map<QString, qint64>{{"encoder.int8.onnx", 4'000'000},
                                                               {"decoder.int8.onnx", 300'000},
                                                               {"tokens.txt", 1'000}}));
    }
};

// Run again with PARLUNE_TEST_INSTALL_INTO set, the test is the other process: it installs the model
// there from the mirror and exits.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString destination = qEnvironmentVariable("PARLUNE_TEST_INSTALL_INTO");
    if (!destination.isEmpty()) {
        // Its clock never moves: the download's speed is of no interest here.
        FakeClock clock;
        ModelInstallation installation(std::make_shared<QNetworkAccessManager>(),
                                       threeFilePackage(destination), {&clock, plentyOfRoom});
        const std::optional<RecognitionError> failed = QCoro::waitFor(installation.downloadAndInstall());
        if (failed)
            qWarning("%s", qPrintable(failed->description));
        return failed ? 1 : 0;
    }
    ModelInstallationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_model_installation.moc"
