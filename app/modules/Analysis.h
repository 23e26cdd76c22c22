// The analysis window and recording: the items that open the window and
// start or stop a recording (also the window's own "Запись"), the window
// fed by each tick's record, and the recording's file dialogs. The history
// and the recorder are the pipeline's: sweeps are kept, and recorded, with
// the window closed or never opened.
#pragma once

#include "app/Feature.h"

#include <memory>

class AnalysisWindow;

class AnalysisFeature : public Feature {
    Q_OBJECT
public:
    AnalysisFeature();
    ~AnalysisFeature() override;
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;

    QAction* ActionAnalysis = nullptr;  // "Анализ…", Shift+F7
    QAction* ActionRecord = nullptr;    // "Запись", Ctrl+F7
    // Made when first opened; closing only hides it.
    std::unique_ptr<AnalysisWindow> Window;
    void ShowWindow();

    // Starts recording into `file` after asking before replacing one;
    // false (and told) when it cannot. Stopping tells a write that failed.
    bool StartRecording(const QString& file);
    void StopRecording();
    bool Recording() const;

private:
    void Record(bool on);  // the item or the button: asks for the file
    void ShowRecording();
    FeatureHost* host_ = nullptr;
};
