// SPDX-License-Identifier: Apache-2.0
// Times a program from its start until its first top-level window is mapped on the X
// display, several times, and prints each time and the median in milliseconds.
// Usage: startup_probe RUNS PROGRAM [ARGUMENT...]
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kTimeoutSeconds = 30;

// Waits for a MapNotify of a child of the root window; false on timeout.
bool WaitForMap(Display* display, Window root) {
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
                return true;
            }
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval timeout{kTimeoutSeconds, 0};
        if (select(fd + 1, &readable, nullptr, nullptr, &timeout) <= 0) {
            return false;
        }
    }
}

void Drain(Display* display) {
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        Drain(display);
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[2], argv + 2);
            _exit(127);
        }
        const bool mapped = WaitForMap(display, root);
        const auto end = std::chrono::steady_clock::now();
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        if (!mapped) {
            std::fprintf(stderr, "no window within %d s\n", kTimeoutSeconds);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        std::printf("run %d: %.1f ms\n", run + 1, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n", times[times.size() / 2],
                times.front(), times.back(), runs);
    XCloseDisplay(display);
    return 0;
}
