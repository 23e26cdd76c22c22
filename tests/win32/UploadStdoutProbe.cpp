// A program of the GUI subsystem, linked as velkarn3.exe is, that runs the
// firmware update of one HEX file against the simulated meter with its
// progress on standard output: check-stdout.sh runs it with standard output
// redirected to a file and compares the bytes. Exit code 0 when the upload
// went through ("Прошито успешно"), 1 otherwise; the boxes go to standard error.
#include "firmware/Upload.h"

#include "common/UserPrompt.h"

#include <cstdio>
#include <string>

namespace {

struct ErrorStreamPrompt : common::UserPrompt {
    std::string last;
    void Message(const std::string& text) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
        last = text;
    }
    bool Ask(const std::string&, const std::string&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    firmware::Image image{};
    std::int32_t start = 0, end = 0;
    ErrorStreamPrompt prompt;
    firmware::UpdateFromFile(argv[1], image, start, end, prompt, stdout);
    return prompt.last == "Прошито успешно" ? 0 : 1;
}
