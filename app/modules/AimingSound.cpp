#include "app/modules/AimingSound.h"

#include "app/modules/ToneOutput.h"

#include <QAction>
#include <QEvent>
#include <QWidget>

AimingSound::AimingSound(QWidget& window, QAction& action, std::unique_ptr<ToneOutput> output)
    : window_(window), action_(action), output_(output ? std::move(output) : MakeToneOutput()) {
    output_->changed = [this] { UpdateAvailability(); };
    connect(&action_, &QAction::toggled, this, &AimingSound::Switch);
    // Closing or hiding the window silences the tone.
    window_.installEventFilter(this);
    UpdateAvailability();
}

AimingSound::~AimingSound() {
    window_.removeEventFilter(this);
    output_->changed = nullptr;
    output_->Stop();
}

bool AimingSound::On() const { return action_.isChecked() && output_->Playing(); }

// Without an output the item cannot be switched on, and says why; an output
// that appears enables it again.
void AimingSound::UpdateAvailability() {
    const std::string why = output_->Unavailable();
    if (why.empty() && action_.isChecked() && window_.isVisible() && !output_->Playing() && !output_->Start()) {
        action_.setChecked(false);
        action_.setEnabled(false);
        action_.setToolTip(QString::fromUtf8(kSoundDeviceFailed));
        return;
    }
    if (!why.empty()) {
        action_.setChecked(false);
        output_->Stop();
    }
    action_.setEnabled(why.empty());
    action_.setToolTip(why.empty() ? QString() : QString::fromUtf8(why.c_str()));
}

void AimingSound::Switch(bool on) {
    last_ = {};
    if (!on) {
        output_->Stop();
        return;
    }
    aimer_.Reset();  // the best so far counts from now
    if (!window_.isVisible()) return;
    if (!output_->Start()) {
        // No error box: the item says why it is off.
        action_.setChecked(false);
        action_.setEnabled(false);
        action_.setToolTip(QString::fromUtf8(kSoundDeviceFailed));
    }
}

void AimingSound::Take(const Tick& tick) {
    aiming::TickInput in;
    if (tick.shown) {
        in.meaningChanged = meaning_ && !(*meaning_ == tick.shown->meaning);
        meaning_ = tick.shown->meaning;
    }
    if (!action_.isChecked() || !output_->Playing()) return;
    in.swept = tick.swept && tick.shown && tick.shown->valid;
    in.frozen = tick.frozen;
    in.sources.marker = tick.marker;
    in.sources.strongestFound = tick.strongestFound;
    if (in.swept) in.sources.highestVisible = tick.highestVisible;
    in.axisMin = tick.axisMin;
    in.axisMax = tick.axisMax;
    last_ = aimer_.Tick(in);
    output_->Set(last_.pitch);
    if (last_.beep) output_->Beep();
}

bool AimingSound::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Close) {
            output_->Stop();
        } else if (event->type() == QEvent::Show && action_.isChecked() && !output_->Playing()) {
            Switch(true);
        }
    }
    return QObject::eventFilter(watched, event);
}
