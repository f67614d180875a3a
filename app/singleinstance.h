// One window per user and program: the first one started listens on a local socket. A
// second start of the window asks it to come to the front instead of opening the pedal set
// a second time, and a command given while the window runs is carried out by the window,
// so that it shows the new choice and does not overwrite it at close.
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

    // This program's name for this user: the real and the virtual pedal set's programs
    // each have their own.
    static QString defaultName();

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Listen { Listening, OtherInstance, Failed };
    // Becomes the running instance, unless another one answers on the name. A name left
    // behind by a program that ended without closing it is taken over.
    Listen listen();
    // Carries out the commands that arrive; until one is set, they are answered as if no
    // pedal set were found.
    void setHandler(Handler handler) { commandHandler = std::move(handler); }

    // Sends a command to the running instance and waits for its result. False when no
    // instance listens; a result that does not come within timeoutMs is a NO_REPLY.
    static bool send(const QString& name, const ProfileCommand& command, CommandResult* result,
                     int timeoutMs = 30000);

private:
    void serve(QLocalSocket* socket);

    QString serverName;
    QLocalServer* server = nullptr;
    Handler commandHandler;
};
