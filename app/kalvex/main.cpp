#include "forms/Main.h"
#include "QuitSignals.h"
#include "forms/Icons.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(kalvex::ProgramIcon());

    // The window starts with the application title "Kalvex"; FormCreate then restores the
    // layout, opens the project and starts a run for "/SYNC" before the window shows.
    kalvex::TfrmMain frmMain;
    // exit(), not quit(): quit() would first try to close the window, which asks questions.
    QObject::connect(&frmMain, &kalvex::TfrmMain::ReadyToQuit, &app,
                     [] { QCoreApplication::exit(0); });
    kalvex::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &kalvex::QuitSignals::QuitRequested, &frmMain,
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
