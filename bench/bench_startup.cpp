// Start-up to the first shown window: the time from the process's start
// (the moment before it is spawned, so loading the program and its
// libraries counts) and from the window's construction to the first paint
// of the window, when its controls are on screen. The window is built and
// shown as the program's start-up does, against the simulated meter, on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise.
//   bench_startup [runs, default 10]
#include "app/Unit1.h"
#include "toolkit/Application.h"

#include <QEvent>
#include <QTimer>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Notes the first paint of the window and ends the loop.
class FirstPaint : public QObject {
public:
    double at = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && at == 0) {
            at = Now();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

// The child: the program's start-up up to the first paint. Prints the
// monotonic times of main's entry, of the construction and of the paint.
int Child(int argc, char** argv) {
    const double entered = Now();
    toolkit::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkarn3Pano"));
    const double constructing = Now();
    TForm1 form;
    FirstPaint paint;
    form.installEventFilter(&paint);
    form.show();
    QApplication::exec();
    std::printf("%.9f %.9f %.9f\n", entered, constructing, paint.at);
    return 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return Child(argc, argv);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    std::vector<double> fromStart, fromMain, fromConstruction;
    for (int r = 0; r < runs; ++r) {
        int out[2];
        if (pipe(out) != 0) return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char child[] = "--child";
        char* args[] = {argv[0], child, nullptr};
        const double spawned = Now();
        pid_t pid = 0;
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, args, environ) != 0) return 1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string text;
        char buf[256];
        for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        double entered = 0, constructing = 0, painted = 0;
        if (std::sscanf(text.c_str(), "%lf %lf %lf", &entered, &constructing, &painted) != 3 || painted == 0) {
            std::fprintf(stderr, "run %d: the window was not painted (%s)\n", r, text.c_str());
            return 1;
        }
        fromStart.push_back(painted - spawned);
        fromMain.push_back(painted - entered);
        fromConstruction.push_back(painted - constructing);
    }
    std::printf("start-up to the first paint of the window, median (min) of %d runs:\n", runs);
    auto row = [](const char* what, const std::vector<double>& v) {
        std::printf("  %-44s %8.1f ms  (%.1f ms)\n", what, Median(v) * 1e3, *std::min_element(v.begin(), v.end()) * 1e3);
    };
    row("from process start (spawn)", fromStart);
    row("from main (toolkit start-up on)", fromMain);
    row("from the window's construction", fromConstruction);
    return 0;
}
