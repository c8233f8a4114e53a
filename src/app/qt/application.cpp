#include "app/qt/application.h"

#include <exception>

#include "app/error_handling.h"

namespace telvora::app {

TelvoraApplication::TelvoraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TelvoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

}  // namespace telvora::app
