// Message boxes, questions, file dialogs and the application's error box.
// Every window code path shows them through dialogs(), so tests can put a
// scripted host in place of the real boxes.
#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace toolkit {

struct FileDialogOptions {
    QString title;          // empty: the toolkit's own title
    QString filter;         // "Description (*.ext)|*.ext"
    QString defaultSuffix;  // added when the typed name has none
    bool mustExist = false; // open dialogs: only an existing file can be chosen
    QString defaultName;    // save dialogs: the name proposed
};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void message(const QString& text) = 0;                          // plain box, OK
    virtual bool question(const QString& text, const QString& caption) = 0; // Yes/No, Yes default
    virtual void error(const QString& text) = 0;                            // the error box
    virtual QString openFile(const FileDialogOptions& options) = 0;               // empty: cancelled
    virtual QString saveFile(const FileDialogOptions& options) = 0;               // empty: cancelled
};

// The host in use: the real Qt boxes unless a test installed another.
DialogHost& dialogs();
// Installs a host (not owned); nullptr restores the real boxes.
void setDialogs(DialogHost* host);
// The window that owns the real boxes.
void setDialogParent(QWidget* parent);

// The one place where an error that escaped a handler is shown.
void showException(const std::exception& e);
void showUnknownException();

// Runs a handler body; an exception that escapes it is shown in the error box
// and the message loop goes on.
template <typename F>
void guarded(F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        showException(e);
    } catch (...) {
        showUnknownException();
    }
}

}  // namespace toolkit
