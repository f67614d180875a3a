#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/translations.h"

#include <QApplication>
#include <QLocale>
#include <QTextStream>

#include <cstdio>

namespace {
int runCommand(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLine::run(arguments, SingleInstance::defaultName(), out, err);
}
} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // A command needs no display: it runs without the widgets.
    if (CommandLine::isCommand(arguments)) {
        QCoreApplication app(argc, argv);
        CommandLine::describeApplication();
        Translations::install(QLocale());
        return runCommand(app.arguments());
    }

    QApplication app(argc, argv);
    CommandLine::describeApplication();
    Translations::install(QLocale());
    // Qt took its own options; anything left is not ours either.
    if (app.arguments().size() > 1)
        return runCommand(app.arguments());

    SingleInstance instance(SingleInstance::defaultName());
    if (instance.listen() == SingleInstance::Listen::OtherInstance) {
        CommandResult raised;
        SingleInstance::send(SingleInstance::defaultName(), ProfileCommand(), &raised);
        return ExitCode::SUCCESS;
    }
    MainWindow window;
    instance.setHandler(
        [&window](const ProfileCommand& command) { return window.runCommand(command); });
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.show();
    return app.exec();
}
