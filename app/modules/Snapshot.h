// Saving the chart as shown, as a PNG picture.
#pragma once

#include "app/Feature.h"

class SnapshotFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;
    void Save();

    QAction* ActionSaveSnapshot = nullptr;  // Shift+F11

private:
    FeatureHost* host_ = nullptr;
};
