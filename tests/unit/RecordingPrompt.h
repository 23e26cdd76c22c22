// A prompt for logic tests: records every box with the number of device
// handles open while it is shown, and answers every question Yes.
#pragma once

#include "common/UserPrompt.h"
#include "sim/Sim.h"

#include <functional>
#include <string>
#include <vector>

struct RecordingPrompt : common::UserPrompt {
    std::vector<std::string> messages;
    std::vector<int> handlesOpen;
    std::function<void(const std::string&)> onMessage;
    void Message(const std::string& text) override {
        messages.push_back(text);
        handlesOpen.push_back(sim::OpenHandles());
        if (onMessage) onMessage(text);
    }
    bool Ask(const std::string&, const std::string&) override { return true; }
};
