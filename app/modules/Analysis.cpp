#include "app/modules/Analysis.h"

#include "app/SaveFile.h"
#include "app/modules/AnalysisWindow.h"
#include "live/Pipeline.h"
#include "settings/Exchange.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QVBoxLayout>

AnalysisFeature::AnalysisFeature() = default;

AnalysisFeature::~AnalysisFeature() {
    if (host_) host_->Pipeline().StopRecording();
}

void AnalysisFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionAnalysis = host.AddItem({5, 1, QStringLiteral("Анализ…"), Qt::SHIFT | Qt::Key_F7, false, "ActionAnalysis",
                                   {}, QStringLiteral("Анализ: водопад, уровень во времени, запись и воспроизведение")});
    ActionRecord = host.AddItem({5, 2, QStringLiteral("Запись"), Qt::CTRL | Qt::Key_F7, true, "ActionRecord", {},
                                 QStringLiteral("Записывать развёртки в файл")});
    connect(ActionAnalysis, &QAction::triggered, this, [this] { toolkit::guarded([this] { ShowWindow(); }); });
    // A check set to what the recording already is asks for nothing.
    connect(ActionRecord, &QAction::toggled, this, [this](bool on) {
        if (on != Recording()) Record(on);
    });
}

void AnalysisFeature::ShowWindow() {
    if (!Window) {
        const live::Window& window = host_->Window();
        Window = std::make_unique<AnalysisWindow>(host_->Pipeline(), [&window](int lo) {
            return QString::fromStdString(window.LoCaption(lo));
        });
        Window->resize(760, 720);
        Window->WatchChart(&host_->Chart());
        for (QWidget* panel : host_->Panels()) Window->FoundSlot->addWidget(panel);
        connect(Window.get(), &AnalysisWindow::recordToggled, this, [this](bool on) { Record(on); });
        Window->ShowRecording();
    }
    Window->show();
    Window->raise();
    Window->activateWindow();
}

void AnalysisFeature::Take(const live::Sweep& sweep) {
    if (sweep.recordingFailed) {
        ShowRecording();
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
    }
    if (Window) Window->Take(sweep);
}

bool AnalysisFeature::Recording() const { return host_->Pipeline().Recorder().Recording(); }

void AnalysisFeature::Record(bool on) {
    toolkit::guarded([&] {
        if (!on) {
            StopRecording();
            return;
        }
        const QString file = AskSaveFileName(QStringLiteral("Записать развёртки"),
                                             QStringLiteral("Запись панорамы (*.vk3rec)|*.vk3rec"), "Запись", "vk3rec",
                                             LocalDateTime(QDateTime::currentDateTime()));
        if (!file.isEmpty()) StartRecording(file);
    });
    ShowRecording();
}

bool AnalysisFeature::StartRecording(const QString& file) {
    // A recording is a stream written as it comes, never a replacement made
    // in one step: the old file goes only when the user says so.
    if (!MayReplace(file)) return false;
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
        return false;
    }
    const bool ok = host_->Pipeline().StartRecording(file.toStdString(), QDateTime::currentMSecsSinceEpoch());
    if (!ok) toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
    ShowRecording();
    return ok;
}

void AnalysisFeature::StopRecording() {
    if (!host_->Pipeline().StopRecording()) toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
    ShowRecording();
}

// The item and the window's button show whether it records.
void AnalysisFeature::ShowRecording() {
    if (ActionRecord->isChecked() != Recording()) ActionRecord->setChecked(Recording());
    if (Window) Window->ShowRecording();
}
