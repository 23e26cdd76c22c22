// The aiming tone through Windows' own waveOut (winmm): three buffers of
// 10 ms kept queued by a thread of its own, each refilled from the
// oscillator as the device hands it back, so that a new pitch is heard some
// 30 ms after it is set. The window's thread only sets the pitch, under a
// lock.
#include "app/modules/ToneOutput.h"

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kBufferFrames = kRate / 100;  // 10 ms
constexpr int kBuffers = 3;

class WaveOutToneOutput : public ToneOutput {
public:
    ~WaveOutToneOutput() override { Stop(); }

    std::string Unavailable() override { return waveOutGetNumDevs() == 0 ? kNoSoundDevice : std::string(); }

    bool Start() override {
        if (wave_) return true;
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = kRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = kRate * 2;
        done_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!done_) return false;
        HWAVEOUT wave = nullptr;
        if (waveOutOpen(&wave, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
            CloseHandle(done_);
            done_ = nullptr;
            return false;
        }
        wave_ = wave;
        synth_ = std::make_unique<aiming::ToneSynth>(kRate);
        for (int b = 0; b < kBuffers; ++b) {
            samples_[b].assign(kBufferFrames, 0);
            headers_[b] = WAVEHDR{};
            headers_[b].lpData = reinterpret_cast<LPSTR>(samples_[b].data());
            headers_[b].dwBufferLength = kBufferFrames * 2;
            waveOutPrepareHeader(wave_, &headers_[b], sizeof(WAVEHDR));
            headers_[b].dwFlags |= WHDR_DONE;  // free to fill
        }
        stop_ = false;
        failed_ = false;
        thread_ = std::thread([this] { Feed(); });
        return true;
    }

    void Stop() override {
        if (!wave_) return;
        stop_ = true;
        SetEvent(done_);
        if (thread_.joinable()) thread_.join();
        waveOutReset(wave_);
        for (int b = 0; b < kBuffers; ++b) waveOutUnprepareHeader(wave_, &headers_[b], sizeof(WAVEHDR));
        waveOutClose(wave_);
        CloseHandle(done_);
        wave_ = nullptr;
        done_ = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        synth_.reset();
    }

    bool Playing() const override { return wave_ != nullptr && !failed_; }

    void Set(std::optional<double> hz) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (synth_) synth_->Set(hz);
    }
    void Beep() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (synth_) synth_->Beep();
    }

private:
    // Refills every buffer the device has finished with, then waits for the
    // next one to finish.
    void Feed() {
        while (!stop_) {
            for (int b = 0; b < kBuffers && !stop_; ++b) {
                if (!(headers_[b].dwFlags & WHDR_DONE)) continue;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    synth_->Render(samples_[b].data(), samples_[b].size());
                }
                headers_[b].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                if (waveOutWrite(wave_, &headers_[b], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                    failed_ = true;
                    return;
                }
            }
            WaitForSingleObject(done_, 100);
        }
    }

    HWAVEOUT wave_ = nullptr;
    HANDLE done_ = nullptr;
    std::array<WAVEHDR, kBuffers> headers_{};
    std::array<std::vector<std::int16_t>, kBuffers> samples_;
    std::unique_ptr<aiming::ToneSynth> synth_;
    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> failed_{false};
};

}  // namespace

std::unique_ptr<ToneOutput> MakeToneOutput() { return std::make_unique<WaveOutToneOutput>(); }
