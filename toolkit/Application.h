// The application object: an exception that escapes event delivery is shown
// in the error box and the message loop goes on. It also installs what
// assistive technology needs to know about the toolkit's own controls.
#pragma once

#include <QApplication>

namespace toolkit {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace toolkit
