// Shared set-up of the window tests: a fresh simulated meter, a scripted
// dialog host in place of the real boxes, and the window with its timers
// stopped so that each test decides when a tick runs.
#pragma once

#include "app/Unit1.h"
#include "sim/Sim.h"
#include "toolkit/Dialogs.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

// Records every box and answers questions and file dialogs from queues.
class ScriptedDialogs : public toolkit::DialogHost {
public:
    QStringList messages;   // plain boxes, in order
    QStringList errors;     // error boxes, in order
    QStringList questions;  // "caption: text"
    QList<toolkit::FileDialogOptions> fileDialogs;
    std::deque<bool> answers;        // empty: Yes
    std::deque<QString> fileChoices; // empty: cancelled
    // Runs while a plain box is "open", e.g. to check what is still open.
    std::function<void(const QString&)> onMessage;

    void message(const QString& text) override {
        messages << text;
        if (onMessage) onMessage(text);
    }
    bool question(const QString& text, const QString& caption) override {
        questions << caption + ": " + text;
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void error(const QString& text) override { errors << text; }
    QString openFile(const toolkit::FileDialogOptions& options) override { return next(options); }
    QString saveFile(const toolkit::FileDialogOptions& options) override { return next(options); }

private:
    QString next(const toolkit::FileDialogOptions& options) {
        fileDialogs << options;
        if (fileChoices.empty()) return {};
        QString f = fileChoices.front();
        fileChoices.pop_front();
        return f;
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        meter = sim::AddMeter();
        toolkit::setDialogs(&dialogs);
        form = std::make_unique<TForm1>();
        form->Timer1->stop();
        form->Timer2->stop();
        sim::ClearLog();
    }
    void TearDown() override {
        form.reset();
        toolkit::setDialogs(nullptr);
        EXPECT_EQ(sim::OpenHandles(), 0) << "a device handle was left open";
    }
    // Lets queued notifications (the grid's repaint of its selected cell) run.
    static void settle() { QCoreApplication::processEvents(); QCoreApplication::processEvents(); }

    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    int meter = -1;
};
