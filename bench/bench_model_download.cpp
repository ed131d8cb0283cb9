// SPDX-License-Identifier: GPL-3.0-or-later
// What a model's installation costs besides the network: the SHA-256 of the bytes (checked as they
// arrive, and again for the bytes an interrupted download left), and a whole installation from a server
// on 127.0.0.1, where the network costs next to nothing.
#include "QtBenchmarkMain.h"
#include "platform/models/ModelInstallation.h"

#include <QCoroTask>
#include <QCryptographicHash>
#include <QDir>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, 0);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Serves `content` whole to every request, as a mirror on this computer would.
class LocalMirror
{
public:
    explicit LocalMirror(QByteArray content)
        : m_content(std::move(content))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                              QByteArray::number(m_content.size()) + "\r\n\r\n");
                socket->write(m_content);
                socket->disconnectFromHost();
            });
        });
        qputenv("PARLUNE_MODEL_MIRROR",
                QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()).toUtf8());
    }

private:
    QByteArray m_content;
    QTcpServer m_server;
};

ModelPackage onePackage(const QByteArray& content, const QString& destination)
{
    const QByteArray sha256 = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    return ModelPackage{QStringLiteral("Modèle précis"),
                        {{QStringLiteral("encoder.int8.onnx"), QUrl("https://example.org/encoder.int8.onnx"),
                          content.size(), sha256}},
                        ModelPackage::Layout::files,
                        destination,
                        {},
                        {}};
}

// SHA-256 in the pieces a download brings (64 kB).
void BM_Sha256(benchmark::State& state)
{
    const QByteArray block = noise(64 * 1024);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (auto _ : state)
        hash.addData(block);
    benchmark::DoNotOptimize(hash.result());
    state.SetBytesProcessed(state.iterations() * block.size());
}
BENCHMARK(BM_Sha256);

// A whole installation of a file of `range(0)` MB: the lock, the transfer (hashed and written as it
// arrives, on the main thread), the move into place. With `range(1)`, the file is already there in full
// from an interrupted attempt: only its check remains (on a thread of its own).
void BM_LocalInstallation(benchmark::State& state)
{
    const QByteArray content = noise(state.range(0) * 1'000'000);
    const bool alreadyThere = state.range(1) != 0;
    LocalMirror mirror(content);
    auto network = std::make_shared<QNetworkAccessManager>();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        const QString destination = folder.filePath(QStringLiteral("model"));
        if (alreadyThere) {
            QDir(folder.path()).mkpath(QStringLiteral(".model.partial"));
            QFile partial(folder.filePath(QStringLiteral(".model.partial/encoder.int8.onnx")));
            partial.open(QIODevice::WriteOnly);
            partial.write(content);
        }
        ModelInstallation installation(network, onePackage(content, destination));
        state.ResumeTiming();
        const std::optional<RecognitionError> failed = QCoro::waitFor(installation.downloadAndInstall());
        if (failed)
            state.SkipWithError(failed->description.toUtf8().constData());
    }
    state.SetBytesProcessed(state.iterations() * content.size());
}
BENCHMARK(BM_LocalInstallation)->Args({64, 0})->Args({64, 1})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)
