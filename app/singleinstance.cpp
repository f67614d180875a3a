#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

#include <memory>

namespace {
// Both ends are the same program; the number tells a request of another version apart.
constexpr quint32 PROTOCOL = 0x56580001;
constexpr int CONNECT_TIMEOUT_MS = 1000;

QDataStream& operator<<(QDataStream& out, const ProfileCommand& command) {
    return out << PROTOCOL << qint32(command.action) << command.json << command.selections
               << command.file;
}

QDataStream& operator>>(QDataStream& in, ProfileCommand& command) {
    quint32 protocol = 0;
    qint32 action = 0;
    in >> protocol >> action >> command.json >> command.selections >> command.file;
    if (protocol != PROTOCOL || action < qint32(ProfileCommand::Action::Raise) ||
        action > qint32(ProfileCommand::Action::Import))
        in.setStatus(QDataStream::ReadCorruptData);
    command.action = ProfileCommand::Action(action);
    for (const auto& selection : command.selections)
        if (ProfileCommands::axisName(selection.first).isEmpty())
            in.setStatus(QDataStream::ReadCorruptData);
    return in;
}
} // namespace

QString SingleInstance::defaultName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return QCoreApplication::applicationName() + QLatin1Char('-') + user;
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , serverName(name) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Listen SingleInstance::listen() {
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(CONNECT_TIMEOUT_MS))
        return Listen::OtherInstance;
    // Nobody answers: a socket file left by a program that was killed is stale.
    QLocalServer::removeServer(serverName);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName))
        return Listen::Failed;
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            serve(socket);
    });
    return Listen::Listening;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Lives as long as the connection below, which ends with the socket.
    const auto stream = std::make_shared<QDataStream>(socket);
    const auto answer = [this, socket, stream] {
        if (socket->property("answered").toBool())
            return;
        stream->startTransaction();
        ProfileCommand command;
        *stream >> command;
        if (stream->status() == QDataStream::ReadPastEnd) {
            stream->rollbackTransaction(); // the rest is still on its way
            return;
        }
        socket->setProperty("answered", true);
        CommandResult result;
        if (stream->status() != QDataStream::Ok)
            result = CommandResult{ExitCode::USAGE, {}, tr("The request was not understood.")};
        else if (commandHandler)
            result = commandHandler(command);
        else
            result = ProfileCommands::noPedalSet();
        stream->commitTransaction();
        stream->resetStatus();
        *stream << result.exitCode << result.out << result.err;
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, answer);
    if (socket->bytesAvailable() > 0)
        answer();
}

bool SingleInstance::send(const QString& name, const ProfileCommand& command, CommandResult* result,
                          int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(CONNECT_TIMEOUT_MS))
        return false;
    QDataStream stream(&socket);
    stream << command;
    const QDeadlineTimer deadline(timeoutMs);
    socket.waitForBytesWritten(int(deadline.remainingTime()));
    for (;;) {
        stream.startTransaction();
        stream >> result->exitCode >> result->out >> result->err;
        if (stream.commitTransaction())
            return true;
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    *result = CommandResult{
        ExitCode::NO_REPLY, {}, tr("The running window did not carry out the command.")};
    return true;
}
