// What the dish sees, on the chart: the transponders found in the shown
// trace (a bracket over each one's width with its centre frequency) and the
// orbital position named from them (a label on the plot, the best three
// candidates in its tooltip, a name shown only once it holds); and loading a
// satellites.xml for this run. Finding and naming run in the pipeline; this
// switches them, gives the naming its plans and draws both as chart layers.
// Both are off when the window opens.
#pragma once

#include "app/Feature.h"

#include <QLabel>

#include <memory>
#include <string>
#include <vector>

class SkyFeature : public Feature {
    Q_OBJECT
public:
    SkyFeature();
    ~SkyFeature() override;
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;
    QStringList ReportLines() const override;

    QAction* ActionFind = nullptr;  // "Найти транспондеры", Shift+F3
    QAction* ActionName = nullptr;  // "Определить спутник", Shift+F5
    QAction* ActionLoad = nullptr;  // "Загрузить список спутников…", Shift+F6
    // The named satellite, on the plot: made when naming is first switched
    // on (null before), hidden while it is off. The chart paints it; the
    // label itself stays for its tooltip and for assistive technology.
    QLabel* LabelSat = nullptr;

    // Loads a satellites.xml as the plans for this run and tells in a
    // message box what was loaded and skipped; a file refused is told there
    // too and changes nothing. True when loaded.
    bool LoadSatellites(const QString& file);

private:
    class Brackets;
    class Label;
    void EnsurePlans();
    void Switched();
    void ShowNaming(const live::Sweep& sweep);

    FeatureHost* host_ = nullptr;
    std::unique_ptr<Brackets> brackets_;
    Label* label_ = nullptr;
};
