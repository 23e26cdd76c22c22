// What the program's operations ask of the user's screen, without naming a
// window toolkit. Texts are UTF-8.
#pragma once

#include <string>

namespace common {

class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // A plain message box with an OK button; returns when it is dismissed.
    virtual void Message(const std::string& text) = 0;
    // A Yes/No question box with a question icon, Yes the default; true for Yes.
    virtual bool Ask(const std::string& text, const std::string& caption) = 0;
};

}  // namespace common
