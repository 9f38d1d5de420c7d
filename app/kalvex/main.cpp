#include "forms/Main.h"
#include "forms/Icons.h"
#include "platform/SignalRelay.h"

#include <QApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before the application object exists, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("kalvex " KALVEX_VERSION_TEXT);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setWindowIcon(kalvex::ProgramIcon());

    // The window starts with the application title "Kalvex"; FormCreate then restores the
    // layout, opens the project and starts a run for "/SYNC" before the window shows.
    kalvex::TfrmMain frmMain;
    // exit(), not quit(): quit() would first try to close the window, which asks questions.
    QObject::connect(&frmMain, &kalvex::TfrmMain::ReadyToQuit, &app,
                     [] { QCoreApplication::exit(0); });
    // SIGTERM, SIGINT and SIGHUP quit the way the session's end does.
    kalvex::platform::SignalRelay quitSignals({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&quitSignals, &kalvex::platform::SignalRelay::Received, &frmMain,
                     &kalvex::TfrmMain::QuitWhenIdle);
    // The session is ending: a run in progress would refuse the window's close, so it is
    // aborted and the program goes once its worker has.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &frmMain,
                     [&frmMain](QSessionManager&) {
                         if (frmMain.RunInProgress()) {
                             frmMain.QuitWhenIdle();
                         }
                     });

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    frmMain.FormCreate(arguments);
    frmMain.ShowRestored();
    app.exec();

    // Quit by some other route while a run goes on: let the worker finish its current file
    // and go, keeping the event loop alive for its last hand-offs.
    if (frmMain.WorkerAlive()) {
        frmMain.QuitWhenIdle();
        app.exec();
    }
    return 0;
}
