// Canned HTTPS and HTTP servers on 127.0.0.1 for the update tests: a trusted one with a
// certificate made for the run, one whose certificate nobody trusts, and a plain one.
#pragma once

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

const QString VERSION_PATH = QStringLiteral("/upgrade/pedal/version.json");
const QString IMAGE_PATH = QStringLiteral("/upgrade/pedal/px7-0316.bin");

inline QByteArray versionJson(const QJsonObject& members) {
    return QJsonDocument(members).toJson();
}

inline QByteArray newerVersion(const QString& md5) {
    return versionJson({{"version", "Mar 4 2023,09:16"}, {"name", "px7-0316.bin"}, {"md5", md5}});
}

// One canned answer of the tiny HTTP/1.1 responder: status line and headers, the body,
// and whether the connection then stays open with nothing more sent.
struct Answer {
    QByteArray head;
    QByteArray body;
    bool stall = false;
};

inline Answer ok(const QByteArray& body, const QByteArray& status = "200 OK") {
    return {"HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\nConnection: close\r\n",
            body};
}

inline Answer redirect(const QString& location) {
    return {"HTTP/1.1 302 Found\r\nLocation: " + location.toLatin1() +
                "\r\nContent-Length: 0\r\nConnection: close\r\n",
            {}};
}

// Part of a body, then silence. announced: the Content-Length, or -1 for none (the body
// would run until the connection closes).
inline Answer stalled(const QByteArray& part, qint64 announced) {
    QByteArray head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (announced >= 0)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    return {head, part, true};
}

// Serves canned answers by path, over TLS or plain TCP, and notes what was asked.
class WebServer : public QObject {
public:
    bool start(const QSslConfiguration* tls) {
        scheme = tls ? "https" : "http";
        if (tls) {
            auto* server = new QSslServer(this);
            server->setSslConfiguration(*tls);
            listener = server;
        } else {
            listener = new QTcpServer(this);
        }
        connect(listener, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = listener->nextPendingConnection())
                serve(socket);
        });
        return listener->listen(QHostAddress::LocalHost, 0);
    }
    QString url(const QString& path) const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(scheme)
            .arg(listener->serverPort())
            .arg(path);
    }
    QString base() const { return url("/upgrade/pedal/"); }
    void clear() {
        routes.clear();
        requests.clear();
        connections = 0;
    }
    // Closes the connections that stalled answers left open.
    void dropStalled() {
        for (QTcpSocket* socket : listener->findChildren<QTcpSocket*>())
            socket->abort();
    }

    QHash<QString, Answer> routes;
    QStringList requests;
    int connections = 0;

private:
    void serve(QTcpSocket* socket) {
        ++connections;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            received->append(socket->readAll());
            if (!received->contains("\r\n\r\n")) // one request per connection, whole
                return;
            const QString path = QString::fromLatin1(received->split(' ').value(1));
            received->clear();
            requests << path;
            const Answer answer = routes.value(path, ok("missing", "404 Not Found"));
            socket->write(answer.head + "\r\n" + answer.body);
            if (!answer.stall)
                socket->disconnectFromHost();
        });
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::readyRead, Qt::QueuedConnection);
    }

    QTcpServer* listener = nullptr;
    QString scheme;
};

// A key and a self-signed certificate for 127.0.0.1, made with the openssl command.
inline bool makeCertificate(const QString& stem, QSslConfiguration& tls) {
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", stem + ".key", "-out", stem + ".crt", "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        qWarning("openssl: %s", openssl.readAll().constData());
        return false;
    }
    QFile key(stem + ".key"), cert(stem + ".crt");
    if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly))
        return false;
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    tls.setLocalCertificate(QSslCertificate(cert.readAll()));
    return !tls.privateKey().isNull() && !tls.localCertificate().isNull();
}

// The three servers, started once per test program; the program's requests trust the
// trusted one.
struct UpdateServers {
    WebServer trusted, untrusted, plain;

    bool start(const QString& folder) {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QSslConfiguration trustedTls, untrustedTls;
        if (!makeCertificate(folder + "/trusted", trustedTls) ||
            !makeCertificate(folder + "/untrusted", untrustedTls))
            return false;
        QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
        defaults.addCaCertificate(trustedTls.localCertificate());
        QSslConfiguration::setDefaultConfiguration(defaults);
        return trusted.start(&trustedTls) && untrusted.start(&untrustedTls) && plain.start(nullptr);
    }
    void clear() {
        for (WebServer* server : {&trusted, &untrusted, &plain})
            server->clear();
    }
};
