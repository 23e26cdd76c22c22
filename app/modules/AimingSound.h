// The aiming tone on the window: its menu item, the sound device, and the
// tone's logic fed by every panorama tick. Off when the window opens; with
// no sound output the item is disabled and its tooltip says why.
#pragma once

#include "aiming/Aiming.h"
#include "app/modules/ToneOutput.h"
#include "panorama/Tools.h"

#include <QObject>

#include <memory>
#include <optional>

class QAction;
class QWidget;

class AimingSound : public QObject {
    Q_OBJECT
public:
    // Takes the window's item (checkable) and the sound device; without a
    // device, the system's.
    AimingSound(QWidget& window, QAction& action, std::unique_ptr<ToneOutput> output = {});
    ~AimingSound() override;

    // One tick: what the meter answered, whether the picture is frozen, the
    // shown sweep and what its samples stand for, the peak marker's sample
    // while the marker is on, the strongest transponder found while finding
    // is on, the highest sample shown, and the level axis.
    struct Tick {
        bool swept = false;
        bool frozen = false;
        const panorama::TraceTools::Shown* shown = nullptr;
        std::optional<float> marker;
        std::optional<float> strongestFound;
        std::optional<float> highestVisible;
        double axisMin = 0, axisMax = 0;
    };
    void Take(const Tick& tick);
    // The best so far starts again ("Сбросить").
    void Reset() { aimer_.Reset(); }

    bool On() const;
    const aiming::Aimer& Aimer() const { return aimer_; }
    // What was last sent to the device.
    const aiming::ToneCommand& Last() const { return last_; }
    ToneOutput& Output() { return *output_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Switch(bool on);
    void UpdateAvailability();

    QWidget& window_;
    QAction& action_;
    std::unique_ptr<ToneOutput> output_;
    aiming::Aimer aimer_;
    aiming::ToneCommand last_;
    std::optional<panorama::SampleMeaning> meaning_;
};
