// ostrim-simserver: a Sybase-compatible TDS 5.0 server on SQLite, for tests and the demo.

#include "server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

void usage() {
    std::fprintf(stderr, "usage: ostrim-simserver [--port N] [--data DIR] [--name NAME] "
                         "[--sa-password PW] [--login-notice TEXT] [--demo] [--bench-table]\n");
}

} // namespace

int main(int argc, char** argv) {
    sim::ServerOptions opt;
    opt.dataDir = "simserver-data";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--port")
            opt.port = std::atoi(value().c_str());
        else if (a == "--data")
            opt.dataDir = value();
        else if (a == "--name")
            opt.name = value();
        else if (a == "--sa-password")
            opt.saPassword = value();
        else if (a == "--login-notice")
            opt.loginNotice = value();
        else if (a == "--demo")
            opt.demo = true;
        else if (a == "--bench-table")
            opt.benchTable = true;
        else {
            usage();
            return 2;
        }
    }
    // Signals are taken by one thread that asks the server to stop.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        sim::Server server(opt);
        int port = server.listen();
        std::thread waiter([&] {
            int sig = 0;
            sigwait(&set, &sig);
            server.stop();
        });
        std::printf("listening on 127.0.0.1:%d\n", port);
        std::fflush(stdout);
        server.serve();
        // serve() also returns when the listening socket fails: wake the waiter then too. SIGTERM
        // is blocked in every thread and taken by the waiter's sigwait, so it ends nothing.
        // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread)
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrim-simserver: %s\n", e.what());
        return 1;
    }
    return 0;
}
