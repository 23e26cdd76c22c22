// A prompt for logic tests: records every box with the number of device
// handles open while it is shown, and answers every question Yes. Tests with
// the simulated meter set countHandles; without it no handle is ever open.
#pragma once

#include "common/UserPrompt.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct RecordingPrompt : common::UserPrompt {
    std::vector<std::string> messages;
    std::vector<int> handlesOpen;
    std::function<void(const std::string&)> onMessage;
    int (*countHandles)() = nullptr;
    void Message(const std::string& text) override {
        messages.push_back(text);
        handlesOpen.push_back(countHandles ? countHandles() : 0);
        if (onMessage) onMessage(text);
    }
    bool Ask(const std::string&, const std::string&) override { return true; }
};

// A transcript of the boxes and questions as the user would meet them: each
// box with the number of device handles open while it is shown (countHandles;
// none without it), each question with its caption. Questions are answered
// from a queue, Yes when it is empty.
struct TranscriptPrompt : common::UserPrompt {
    std::vector<std::string> shown;
    std::deque<bool> answers;
    int (*countHandles)() = nullptr;
    void Message(const std::string& text) override {
        shown.push_back(text + " [" + std::to_string(countHandles ? countHandles() : 0) + "]");
    }
    bool Ask(const std::string& text, const std::string& caption) override {
        shown.push_back(caption + ": " + text);
        const bool a = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::vector<std::string> Take() { return std::exchange(shown, {}); }
};
