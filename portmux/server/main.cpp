// portmux-sim: `serve` runs one virtual keyboard for every process of the user; the other verbs drive it.
#include "portmux/server/SimServer.h"
#include "portmux/server/Verbs.h"
#include "portmux/src/SimBackend.h"
#include "portmux/src/SimSocket.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::atomic<portmux::sim::SimServer*> g_server{nullptr};

extern "C" void onStopSignal(int) {
    if (auto* server = g_server.load()) {
        server->stop();
    }
}

int serve(const std::vector<std::string>& args) {
    portmux::sim::ServerOptions options;
    options.socketPath = portmux::sim::socketPathFromEnvironment();
    options.statePath = portmux::sim::stateFileFromEnvironment();
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& w = args[i];
        if (w == "--help") {
            std::cout << portmux::sim::kUsage;
            return 0;
        }
        if ((w == "--state" || w == "--socket") && i + 1 < args.size()) {
            (w == "--state" ? options.statePath : options.socketPath) = args[++i];
        } else {
            std::cerr << "portmux-sim: serve: unexpected argument '" << w << "' (see portmux-sim --help)\n";
            return 1;
        }
    }
    if (options.socketPath.empty()) {
        std::cerr << "portmux-sim: serve: no socket (PORTMUX_SIM_SOCKET is empty; give --socket PATH)\n";
        return 1;
    }
    portmux::sim::SimServer server(options);
    std::string why;
    if (!server.open(&why)) {
        std::cerr << "portmux-sim: serve: " << why << '\n';
        return 1;
    }
    g_server.store(&server);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    const bool saved = server.run();
    g_server.store(nullptr);
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "portmux-sim: no verb (see portmux-sim --help)\n";
        return 1;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << portmux::sim::kUsage;
        return 0;
    }
    if (args[0] == "serve") {
        return serve(args);
    }
    return portmux::sim::runVerb(args, std::cout, std::cerr);
}
