// ToolApp: the application object. It runs MainDialog modally; the program
// ends when the window closes.
#pragma once

#include <QApplication>

class ToolApp : public QApplication {
    Q_OBJECT
public:
    ToolApp(int& argc, char** argv);
    ~ToolApp() override;

    // Builds the main window, runs it modally and returns false: there is no
    // event loop after the window.
    bool InitInstance();
};

// Sends the counter check's message of every adapter built from now on to
// the message box (before the application object exists it goes to stderr).
void RouteCounterMessagesToWindow();

// The whole program: command line, backend, application object, window.
// Returns the process exit status.
int RunMerlix(int argc, char** argv);
