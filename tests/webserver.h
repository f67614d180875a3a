// Canned HTTPS and HTTP servers on 127.0.0.1 for the update tests.
#pragma once

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Wine's crypt32 lacks CertFindChainInStore, which Qt 6.4's Schannel backend needs to serve
// TLS: under Wine these servers cannot start, on Windows itself they can.
inline bool underWine() {
#ifdef Q_OS_WIN
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}
#define SKIP_UNDER_WINE()                                                                          \
    if (underWine())                                                                               \
    QSKIP("Wine's crypt32 cannot give Qt's Schannel backend a server certificate")

const QString VERSION_PATH = QStringLiteral("/upgrade/pedal/version.json");
const QString IMAGE_PATH = QStringLiteral("/upgrade/pedal/px7-0316.bin");
// The server's version.json; the default time is a minute after the test device's build.
inline QByteArray versionJson(const QString& md5, const QJsonValue& time = "Mar 4 2023,09:16") {
    return QJsonDocument(QJsonObject{{"version", time}, {"name", "px7-0316.bin"}, {"md5", md5}})
        .toJson();
}

// A whole answer; the status may carry more header lines. The client closes the connection.
inline QByteArray answer(const QByteArray& body, const QByteArray& status = "200 OK") {
    return "HTTP/1.1 " + status +
           "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

// A route that ends the connection without an answer.
const QByteArray HANG_UP = QByteArrayLiteral("hang up");

// The start of a body, then silence; with no Content-Length when announced is negative.
inline QByteArray stalled(const QByteArray& start, qint64 announced) {
    const QByteArray length = "Content-Length: " + QByteArray::number(announced) + "\r\n";
    return "HTTP/1.1 200 OK\r\n" + (announced < 0 ? QByteArray() : length) + "\r\n" + start;
}

// Serves canned answers by path, one request per connection, and notes the paths asked for.
class WebServer : public QObject {
public:
    // Over TLS with one of the self-signed certificates the build made for 127.0.0.1
    // ("trusted", "untrusted"); plain without one.
    bool start(const QString& certificate = {}) {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        if (certificate.isEmpty())
            return listen(new QTcpServer(this));
        const QString stem = QStringLiteral(VEXO_TEST_TLS_DIR "/") + certificate;
        QFile key(stem + ".key"), cert(stem + ".crt");
        if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly))
            return false;
        // RSA: the one key type every TLS backend of Qt 6.4 reads from PEM.
        tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        tls.setLocalCertificate(QSslCertificate(cert.readAll()));
        auto* server = new QSslServer(this);
        server->setSslConfiguration(tls);
        return listen(server);
    }
    // From now on the program's requests trust this server.
    void trust() const {
        QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
        defaults.addCaCertificate(tls.localCertificate());
        QSslConfiguration::setDefaultConfiguration(defaults);
    }
    QString url(const QString& path) const {
        return (qobject_cast<QSslServer*>(listener) ? "https" : "http") +
               QStringLiteral("://127.0.0.1:%1").arg(listener->serverPort()) + path;
    }
    QString base() const { return url("/upgrade/pedal/"); }

    QHash<QString, QByteArray> routes;
    QStringList requests;

private:
    bool listen(QTcpServer* server) {
        listener = server;
        connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = listener->nextPendingConnection())
                serve(socket);
        });
        return server->listen(QHostAddress::LocalHost, 0);
    }
    void serve(QTcpSocket* socket) {
        const auto respond = [this, socket] {
            if (socket->property("answered").toBool() || !socket->canReadLine())
                return;
            socket->setProperty("answered", true);
            requests << QString::fromLatin1(socket->readLine().split(' ').value(1));
            const QByteArray response =
                routes.value(requests.last(), answer("missing", "404 Not Found"));
            if (response == HANG_UP)
                socket->abort();
            else
                socket->write(response);
        };
        connect(socket, &QTcpSocket::readyRead, socket, respond);
        respond(); // the request may have come with the handshake
    }

    QTcpServer* listener = nullptr;
    QSslConfiguration tls;
};
