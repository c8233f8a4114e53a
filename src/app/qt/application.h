// The application object: the boundary at which a failure that escapes an event handler is
// caught and handed to the default error handling, so that it never leaves the message loop.
#pragma once

#include <QApplication>

namespace telvora::app {

class TelvoraApplication : public QApplication {
    Q_OBJECT
  public:
    TelvoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace telvora::app
