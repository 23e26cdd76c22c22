// The aiming tone through Qt Multimedia: an audio sink whose buffer of some
// 40 ms a timer tops up from the oscillator every 5 ms, so that a new pitch
// is heard soon after it is set. The sink runs
// in a thread of its own, so that a busy window (a repaint, a slow transfer
// with the meter) never leaves the sound server waiting; the window's thread
// only sets the pitch, under a lock.
#include "app/modules/ToneOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr double kBufferSeconds = 0.040;
constexpr int kFeedMs = 5;

// The oscillator as a device to read the sink's samples from, in the sink's
// format (opened unbuffered: it renders exactly what is asked, no more).
class SynthDevice : public QIODevice {
public:
    SynthDevice(aiming::ToneSynth& synth, std::mutex& mutex, const QAudioFormat& format)
        : synth_(synth), mutex_(mutex), format_(format) {}
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const int frameBytes = format_.bytesPerFrame();
        const qint64 frames = maxSize / frameBytes;
        mono_.resize(static_cast<std::size_t>(frames));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            synth_.Render(mono_.data(), mono_.size());
        }
        const int channels = format_.channelCount();
        for (qint64 f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) {
                char* at = data + f * frameBytes + c * format_.bytesPerSample();
                const float v = mono_[static_cast<std::size_t>(f)];
                if (format_.sampleFormat() == QAudioFormat::Float) {
                    std::memcpy(at, &v, sizeof v);
                } else {
                    const auto s = static_cast<qint16>(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
                    std::memcpy(at, &s, sizeof s);
                }
            }
        return frames * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    aiming::ToneSynth& synth_;
    std::mutex& mutex_;
    QAudioFormat format_;
    std::vector<float> mono_;
};

class QtToneOutput : public ToneOutput {
public:
    QtToneOutput() {
        QObject::connect(&devices_, &QMediaDevices::audioOutputsChanged, &devices_, [this] {
            if (changed) changed();
        });
        thread_.setObjectName(QStringLiteral("aiming tone"));
    }
    ~QtToneOutput() override {
        Stop();
        thread_.quit();
        thread_.wait();
    }

    std::string Unavailable() override {
        return QMediaDevices::defaultAudioOutput().isNull() ? kNoSoundDevice : std::string();
    }

    bool Start() override {
        if (playing_ && !failed_) return true;
        Stop();  // a sink that failed is opened afresh
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return false;
        QAudioFormat format;
        format.setSampleRate(kRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            const QAudioFormat preferred = device.preferredFormat();
            format.setSampleRate(preferred.sampleRate());
            format.setChannelCount(std::max(1, preferred.channelCount()));
            if (!device.isFormatSupported(format)) format.setSampleFormat(QAudioFormat::Float);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            synth_ = std::make_unique<aiming::ToneSynth>(format.sampleRate());
        }
        if (!thread_.isRunning()) thread_.start(QThread::TimeCriticalPriority);
        bool ok = false;
        // The sink and its source are made, run and ended in the sound thread.
        QMetaObject::invokeMethod(
            &anchor_,
            [&] {
                source_ = std::make_unique<SynthDevice>(*synth_, mutex_, format);
                source_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
                sink_ = std::make_unique<QAudioSink>(device, format);
                sink_->setBufferSize(format.bytesForDuration(static_cast<qint64>(kBufferSeconds * 1e6)));
                QObject::connect(sink_.get(), &QAudioSink::stateChanged, &devices_, [this](QAudio::State) {
                    if (playing_ && sink_ && Failed(sink_->error())) {
                        failed_ = true;
                        if (changed) changed();
                    }
                }, Qt::QueuedConnection);
                // Pushed in small portions rather than pulled: what is queued
                // stays within the buffer asked for.
                io_ = sink_->start();
                ok = io_ && !Failed(sink_->error());
                if (ok) {
                    feeder_ = std::make_unique<QTimer>();
                    feeder_->setTimerType(Qt::PreciseTimer);
                    feeder_->setInterval(kFeedMs);
                    QObject::connect(feeder_.get(), &QTimer::timeout, feeder_.get(), [this] { Feed(); });
                    Feed();
                    feeder_->start();
                }
            },
            Qt::BlockingQueuedConnection);
        playing_ = true;
        failed_ = !ok;
        if (!ok) Stop();
        return ok;
    }

    void Stop() override {
        if (!playing_) return;
        playing_ = false;
        QMetaObject::invokeMethod(
            &anchor_,
            [this] {
                feeder_.reset();
                if (sink_) {
                    sink_->disconnect();
                    sink_->stop();
                }
                sink_.reset();
                source_.reset();
            },
            Qt::BlockingQueuedConnection);
        std::lock_guard<std::mutex> lock(mutex_);
        synth_.reset();
    }

    bool Playing() const override { return playing_ && !failed_; }
    void Set(std::optional<double> hz) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (synth_) synth_->Set(hz);
    }
    void Beep() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (synth_) synth_->Beep();
    }

private:
    // In the sound thread: tops the sink's buffer up from the oscillator.
    void Feed() {
        if (!sink_ || !io_) return;
        const qint64 free = sink_->bytesFree();
        if (free <= 0) return;
        chunk_.resize(static_cast<std::size_t>(free));
        const qint64 n = source_->read(chunk_.data(), free);
        if (n > 0) io_->write(chunk_.data(), n);
    }
    static bool Failed(QAudio::Error e) { return e == QAudio::OpenError || e == QAudio::FatalError; }

    QMediaDevices devices_;
    QThread thread_;
    // Lives in the sound thread: what runs there is invoked on it.
    struct Anchor : QObject {
        explicit Anchor(QThread& t) { moveToThread(&t); }
    } anchor_{thread_};
    std::mutex mutex_;
    std::unique_ptr<aiming::ToneSynth> synth_;
    std::unique_ptr<SynthDevice> source_;  // in the sound thread
    std::unique_ptr<QAudioSink> sink_;     // in the sound thread
    QIODevice* io_ = nullptr;              // the sink's
    std::unique_ptr<QTimer> feeder_;       // in the sound thread
    std::vector<char> chunk_;
    bool playing_ = false;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<ToneOutput> MakeToneOutput() { return std::make_unique<QtToneOutput>(); }
