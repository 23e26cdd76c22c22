#include "toolkit/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace toolkit {
namespace {

QPointer<QWidget> g_parent;

// "Description (*.ext)|*.ext" as a Qt name filter: "Description (*.ext)".
QString QtFilter(const QString& filter) {
    const int bar = filter.indexOf('|');
    return bar < 0 ? filter : filter.left(bar);
}

QString AppTitle() {
    QString t = QApplication::applicationDisplayName();
    return t.isEmpty() ? QApplication::applicationName() : t;
}

class QtDialogs : public DialogHost {
public:
    void message(const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok, g_parent);
        box.exec();
    }
    bool question(const QString& text, const QString& caption) override {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        g_parent);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }
    void error(const QString& text) override {
        QMessageBox box(QMessageBox::Critical, AppTitle(), text, QMessageBox::Ok, g_parent);
        box.exec();
    }
    QString openFile(const FileDialogOptions& options) override {
        QFileDialog d(g_parent, options.title, QString(), QtFilter(options.filter));
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.setFileMode(options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        d.setOption(QFileDialog::ReadOnly, false);
        if (!options.defaultSuffix.isEmpty()) d.setDefaultSuffix(options.defaultSuffix);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    }
    QString saveFile(const FileDialogOptions& options) override {
        QFileDialog d(g_parent, options.title, QString(), QtFilter(options.filter));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setFileMode(QFileDialog::AnyFile);
        // The program asks its own overwrite question.
        d.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!options.defaultSuffix.isEmpty()) d.setDefaultSuffix(options.defaultSuffix);
        if (!options.defaultName.isEmpty()) d.selectFile(options.defaultName);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    }
};

QtDialogs g_qtDialogs;
DialogHost* g_host = &g_qtDialogs;

}  // namespace

DialogHost& dialogs() { return *g_host; }
void setDialogs(DialogHost* host) { g_host = host ? host : &g_qtDialogs; }
void setDialogParent(QWidget* parent) { g_parent = parent; }

void showException(const std::exception& e) { dialogs().error(QString::fromUtf8(e.what())); }
void showUnknownException() { dialogs().error(QStringLiteral("Unknown error")); }

}  // namespace toolkit
