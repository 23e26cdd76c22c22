// A prompt for logic tests: records every box with the number of device
// handles open while it is shown, and answers every question Yes. Tests with
// the simulated meter set countHandles; without it no handle is ever open.
#pragma once

#include "common/UserPrompt.h"

#include <functional>
#include <string>
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
