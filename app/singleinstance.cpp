#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>

#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Both ends are the same program; the number tells a request of another version apart.
constexpr quint32 PROTOCOL = 0x56580001;
constexpr int CONNECT_TIMEOUT_MS = 1000;
// How long a start waits for another start to finish becoming the running instance.
constexpr int START_LOCK_TIMEOUT_MS = 5000;
// A connection that sends no whole request in this time is dropped.
constexpr int REQUEST_TIMEOUT_MS = 5000;

QDataStream& operator<<(QDataStream& out, const ProfileCommand& command) {
    return out << PROTOCOL << qint32(command.action) << command.json << command.selections
               << command.file;
}

// Read field by field: a count from the peer is checked before anything is made for it.
QDataStream& operator>>(QDataStream& in, ProfileCommand& command) {
    quint32 protocol = 0;
    qint32 action = 0;
    quint32 count = 0;
    in >> protocol >> action >> command.json >> count;
    const auto corrupt = [&in] {
        in.setStatus(QDataStream::ReadCorruptData);
    };
    if (in.status() != QDataStream::Ok)
        return in;
    if (protocol != PROTOCOL || action < qint32(ProfileCommand::Action::Raise) ||
        action > qint32(ProfileCommand::Action::Import) || count > Protocol::AXIS_COUNT) {
        corrupt();
        return in;
    }
    command.action = ProfileCommand::Action(action);
    command.selections.clear();
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QPair<qint32, QString> selection;
        in >> selection.first >> selection.second;
        if (ProfileCommands::axisName(selection.first).isEmpty())
            corrupt();
        command.selections.append(selection);
    }
    in >> command.file;
    // The window runs in another folder than the command: only a whole path means the same.
    const bool takesFile = command.action == ProfileCommand::Action::Export ||
                           command.action == ProfileCommand::Action::Import;
    if (takesFile && !QDir::isAbsolutePath(command.file))
        corrupt();
    return in;
}

#ifdef Q_OS_WIN
// The user a process runs as (its token's SID, as bytes); empty when it cannot be read.
QByteArray userOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return QByteArray();
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(qsizetype(size), '\0');
    QByteArray sid;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.constData())->User.Sid;
        sid = QByteArray(static_cast<const char*>(user), qsizetype(GetLengthSid(user)));
    }
    CloseHandle(token);
    return sid;
}
#endif

enum class Peer { Server, Client };

// The process at the other end runs as this user. Unix tells it from the socket. Windows
// pipe names are shared by all users, and Qt makes its pipes without asking to be the
// first instance: another user's pipe of the same name, open to all, could take this
// user's connections. So the process at the other end is asked for its user.
bool peerIsThisUser(const QLocalSocket& socket, Peer peer) {
#if defined(Q_OS_LINUX)
    Q_UNUSED(peer);
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials,
                      &size) == 0 &&
           credentials.uid == geteuid();
#elif defined(Q_OS_UNIX)
    Q_UNUSED(peer);
    uid_t uid = 0;
    gid_t gid = 0;
    return getpeereid(int(socket.socketDescriptor()), &uid, &gid) == 0 && uid == geteuid();
#elif defined(Q_OS_WIN)
    const auto pipe = reinterpret_cast<HANDLE>(socket.socketDescriptor());
    ULONG id = 0;
    if (!(peer == Peer::Server ? GetNamedPipeServerProcessId(pipe, &id)
                               : GetNamedPipeClientProcessId(pipe, &id)))
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process)
        return false;
    const QByteArray theirs = userOf(process);
    CloseHandle(process);
    return !theirs.isEmpty() && theirs == userOf(GetCurrentProcess());
#else
    Q_UNUSED(socket);
    Q_UNUSED(peer);
    return false;
#endif
}
// Connects to the listener at name; true when it answers and runs as this user.
bool connectToOurs(QLocalSocket& socket, const QString& name) {
    socket.connectToServer(name);
    if (!socket.waitForConnected(CONNECT_TIMEOUT_MS))
        return false;
    if (peerIsThisUser(socket, Peer::Server))
        return true;
    qDebug().noquote() << "Ignoring a listener of another user at" << name;
    socket.abort();
    return false;
}
} // namespace

bool SingleInstance::isPrivateFolder(const QString& path, QString* problem) {
    const auto refuse = [&](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("no runtime folder"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made by us with no access for others; an existing one is checked as found.
    QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QFileInfo folder(path);
    if (!folder.isDir() || folder.isSymLink())
        return refuse(QStringLiteral("%1 is not a folder").arg(path));
#ifdef Q_OS_UNIX
    struct stat status {};
    if (lstat(QFile::encodeName(path).constData(), &status) != 0)
        return refuse(QStringLiteral("%1 can not be read").arg(path));
    if (status.st_uid != geteuid())
        return refuse(QStringLiteral("%1 belongs to another user").arg(path));
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(QStringLiteral("others may write to %1").arg(path));
#endif
    return true;
}

QString SingleInstance::defaultName() {
    const QString program = QCoreApplication::applicationName();
#ifdef Q_OS_WIN
    // A pipe name, the same for every session of this user.
    return program + QLatin1Char('-') + qEnvironmentVariable("USERNAME");
#else
    // Without a runtime folder of the user's (no XDG_RUNTIME_DIR, and its stand-in in /tmp
    // taken by someone else), a folder in the user's own data does.
    const QString folders[] = {
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
            QStringLiteral("/run")};
    for (const QString& folder : folders) {
        QString problem;
        if (isPrivateFolder(folder, &problem))
            return QDir(folder).filePath(program + QStringLiteral(".socket"));
        qDebug().noquote() << "No private folder for the socket:" << problem;
    }
    return QString();
#endif
}

QString SingleInstance::lockPath(const QString& name, const QString& suffix) {
    if (name.isEmpty())
        return QString();
    return QDir::isAbsolutePath(name) ? name + suffix : QDir::temp().filePath(name + suffix);
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , serverName(name) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Listen SingleInstance::listen() {
    if (serverName.isEmpty())
        return Listen::Failed;
    // Two starts at once (a double-click): the second waits until the first listens, then
    // finds it, instead of replacing its socket. On Windows the lock goes to the user's
    // own temporary folder.
    QLockFile starting(lockPath(serverName, QStringLiteral(".lock")));
    if (!starting.tryLock(START_LOCK_TIMEOUT_MS))
        qDebug().noquote() << "Starting without the start lock of" << serverName;
    QLocalSocket probe;
    if (connectToOurs(probe, serverName))
        return Listen::OtherInstance;
    probe.abort();
    // Nobody of ours answers: a socket file left by a program that was killed is stale.
    QLocalServer::removeServer(serverName);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName)) {
        qDebug().noquote() << "Can not listen at" << serverName << ':' << server->errorString();
        return Listen::Failed;
    }
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            serve(socket);
    });
    return Listen::Listening;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsThisUser(*socket, Peer::Client)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // A request larger than any of ours stops being read here and is refused below.
    socket->setReadBufferSize(MAX_REQUEST_BYTES + 1);
    QTimer::singleShot(REQUEST_TIMEOUT_MS, socket, [socket] {
        if (!socket->property("answered").toBool())
            socket->abort();
    });
    // Lives as long as the connection below, which ends with the socket.
    const auto stream = std::make_shared<QDataStream>(socket);
    const auto answer = [this, socket, stream] {
        if (socket->property("answered").toBool())
            return;
        const bool oversized = socket->bytesAvailable() > MAX_REQUEST_BYTES;
        stream->startTransaction();
        ProfileCommand command;
        *stream >> command;
        if (stream->status() == QDataStream::ReadPastEnd && !oversized) {
            stream->rollbackTransaction(); // the rest is still on its way
            return;
        }
        socket->setProperty("answered", true);
        CommandResult result;
        if (oversized || stream->status() != QDataStream::Ok)
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
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    if (!connectToOurs(socket, name))
        return false;
    socket.setReadBufferSize(MAX_REPLY_BYTES);
    QDataStream stream(&socket);
    stream << command;
    const QDeadlineTimer deadline(timeoutMs);
    socket.waitForBytesWritten(int(deadline.remainingTime()));
    for (;;) {
        stream.startTransaction();
        stream >> result->exitCode >> result->out >> result->err;
        if (stream.commitTransaction())
            return true;
        if (deadline.hasExpired() || socket.bytesAvailable() >= MAX_REPLY_BYTES ||
            !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    *result = CommandResult{ExitCode::NO_REPLY,
                            {},
                            tr("The running window did not answer in time; it may still carry "
                               "out the command.")};
    return true;
}
