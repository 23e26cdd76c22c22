#include "toolkit/Application.h"

#include "toolkit/Accessibility.h"
#include "toolkit/Dialogs.h"

namespace toolkit {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) { installAccessibility(); }

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace toolkit
