// One window per user and program: the first one started listens on a local socket. A
// second start of the window asks it to come to the front instead of opening the pedal set
// a second time, and a command given while the window runs is carried out by the window,
// so that it shows the new choice and does not overwrite it at close.
//
// Other local users must neither receive this user's commands nor answer them. On Unix the
// socket lives in the user's private runtime folder; on Windows it is a named pipe whose
// access list admits only the user who made it. On both, each end checks that the process
// at the other end runs as the same user.
#pragma once

#include "profiles/profilecommand.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<CommandResult(const ProfileCommand&)>;

    // The most a request or a reply may take on the socket; a request is a few hundred
    // bytes, a reply a listing of sixteen profiles.
    static constexpr qint64 MAX_REQUEST_BYTES = 64 * 1024;
    static constexpr qint64 MAX_REPLY_BYTES = 1024 * 1024;

    // This program's socket for this user: the real and the virtual pedal set's programs
    // each have their own. Empty, with a debug line, when the user has no private folder
    // for it: then every start runs on its own.
    static QString defaultName();
    // The folder at path, made (mode 0700) if missing, when it is this user's and no one
    // else may write to it; otherwise false with the reason in problem.
    static bool isPrivateFolder(const QString& path, QString* problem = nullptr);

    // A lock file's path beside the socket name: in the same private folder, or on Windows
    // in the user's own temporary folder. Empty for an empty name.
    static QString lockPath(const QString& name, const QString& suffix);

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Listen { Listening, OtherInstance, Failed };
    // Becomes the running instance, unless another one of this user answers on the name.
    // A name left behind by a program that ended without closing it, or taken by another
    // user, is taken over. Failed, with a debug line, when that is not possible.
    Listen listen();
    // Carries out the commands that arrive; until one is set, they are answered as if no
    // pedal set were found.
    void setHandler(Handler handler) { commandHandler = std::move(handler); }

    // Sends a command to the running instance and waits for its result. False when no
    // instance of this user listens; a result that does not come within timeoutMs is a
    // NO_REPLY.
    static bool send(const QString& name, const ProfileCommand& command, CommandResult* result,
                     int timeoutMs = 30000);

private:
    void serve(QLocalSocket* socket);

    QString serverName;
    QLocalServer* server = nullptr;
    Handler commandHandler;
};
