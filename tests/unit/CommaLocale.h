// Runs a test under a locale with a decimal comma (Russian where there is
// one), as a program's process may be; the "C" locale comes back after.
#pragma once

#include <clocale>
#include <string>

class CommaLocale {
public:
    CommaLocale() : before_(std::setlocale(LC_ALL, nullptr)) {
        for (const char* name : {"Russian_Russia.1251", "ru_RU.CP1251", "ru_RU.UTF-8", "de_DE.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point == std::string(",")) {
                name_ = name;
                return;
            }
        }
        std::setlocale(LC_ALL, before_.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, before_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Empty when no such locale is installed (the test is then skipped).
    const std::string& Name() const { return name_; }

private:
    std::string before_;
    std::string name_;
};
