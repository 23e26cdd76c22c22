// Saving the shown trace (and its holds) as a spreadsheet file.
#pragma once

#include "app/Feature.h"

class TraceCsvFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;
    void Save();

    QAction* ActionSaveTrace = nullptr;  // Shift+F12

private:
    FeatureHost* host_ = nullptr;
};
