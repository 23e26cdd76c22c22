// The one reader of the window's controls for the features: what the
// samples stand for, the frequency axis, the polarisation switch, the
// transponder grid's rows, the site and the captions. Nothing else of the
// panorama's features touches TForm1's controls.
#pragma once

#include "live/Sweep.h"

#include <QObject>

class TForm1;

class FormReader : public QObject, public live::Window {
    Q_OBJECT
public:
    explicit FormReader(TForm1& form);

    // What the samples of the next sweep stand for: step, shift, axis,
    // oscillator, control word, unit and both calibration bars.
    panorama::SampleMeaning Meaning() const;

    // live::Window.
    const std::array<settings::RowTexts, settings::kEntryCount>& GridRows() const override;
    int GridRevision() const override { return gridRevision_; }
    std::optional<pointing::Site> FieldSite() const override;
    std::optional<pointing::Site> KnownSite() const override;
    int SiteRevision() const override;
    std::string CoordinateTexts() const override;
    std::string LevelUnit() const override;
    double AxisMin() const override;
    double AxisMax() const override;
    int PolarisationIndex() const override;
    std::string LoCaption(int loIndex) const override;

private:
    TForm1& form_;
    int gridRevision_ = 0;
    // The rows as read at a revision: read again only after the grid changed.
    mutable std::array<settings::RowTexts, settings::kEntryCount> rows_{};
    mutable int rowsRevision_ = -1;
};
