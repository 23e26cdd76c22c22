// Guided aiming: the installer chooses the satellite, the window says where
// to point (true and magnetic azimuth, elevation, the dish's scale, the LNB's
// turn, when the sun stands over the target's azimuth), the chart shows the
// target's transponders as faint bands, and a verdict says whether the dish
// is on the target and, on another position, which way to turn. "Наведено"
// keeps the moment for the report. The window is closed when the program
// starts; while it is closed nothing of this runs.
#pragma once

#include "aiming/Guide.h"
#include "app/Feature.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class GuideWindow;

class GuideFeature : public Feature {
    Q_OBJECT
public:
    GuideFeature();
    ~GuideFeature() override;
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;
    QStringList ReportLines() const override;

    QAction* ActionGuide = nullptr;  // "Навести на спутник…", Ctrl+F8
    // Made when first opened; closing only hides it.
    std::unique_ptr<GuideWindow> Window;
    void ShowWindow();
    // The targets offered, in the window's list order.
    const std::vector<aiming::Target>& Targets() const { return targets_; }
    // The site of this run: the window's fields (none while they hold none).
    const std::optional<pointing::Site>& Site() const { return site_; }
    // "Наведено": the moment with its figures, for the report.
    void Mark();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Ghost;
    void Opened(bool open);
    void FillTargets();
    void Chosen();
    void Update(const live::Sweep& sweep, bool force);
    std::optional<pointing::Site> ReadSite() const;

    FeatureHost* host_ = nullptr;
    std::unique_ptr<Ghost> ghost_;
    std::vector<aiming::Target> targets_;
    aiming::Best best_;
    QStringList moments_;
    std::optional<pointing::Site> site_;  // as the fields read, since their last edit
    // When the figures were last worked out, for what, and what is shown.
    std::int64_t figuresMs_ = 0;
    std::optional<pointing::Pointing> pointing_;
    panorama::SampleMeaning ghostMeaning_;
    std::string verdictText_;
    bool onTarget_ = false;
    QString noteShown_;  // the note shown in place of the figures, if any
    std::pair<std::optional<float>, std::int64_t> bestShown_{std::nullopt, -1};
};
