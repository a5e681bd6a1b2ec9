// veltrano-sim: serves every simulated service on one loopback port until
// SIGINT or SIGTERM. The sandbox program starts it; tests that run the
// program as a separate process steer it through "/__sim/".
#include "SimServer.h"
#include "services/OAuthServerState.h"
#include "services/ServiceCatalog.h"
#include "services/ServiceRation.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kDefaultPort = 42380;

void printUsage(std::FILE *to)
{
    std::fprintf(to, "usage: veltrano-sim [--port N] [--tls] [--bind ADDR] [--token-lifetime N]\n"
                     "                    [--latency [PREFIX=]MS]... [--documented-limits]\n"
                     "  --port N     port to listen on (default %d; 0 picks a free one)\n"
                     "  --tls        serve HTTPS with a certificate of a throw-away test authority\n"
                     "  --bind ADDR  address to listen on (default 127.0.0.1)\n"
                     "  --token-lifetime N  access tokens expire after N seconds (expires_in)\n"
                     "  --latency [PREFIX=]MS  answers below PREFIX (e.g. /yandex-metrika; without it,\n"
                     "               every answer) wait MS milliseconds; may be given more than once\n"
                     "  --documented-limits  the services ration requests as they document it (URL\n"
                     "               Inspection 600 a minute per property, Search Analytics 1 200 a\n"
                     "               minute, Ahrefs 60 a minute, Metrika 3 at once per user, ...)\n",
                 kDefaultPort);
}

bool parsePort(const char *text, int &port)
{
    if (!*text || std::strlen(text) > 5 || std::strspn(text, "0123456789") != std::strlen(text))
        return false;
    port = std::atoi(text);
    return port <= 65535;
}

// "[PREFIX=]MS": a path prefix ("" for every path) and a latency of 0 to
// 600 000 ms.
bool parseLatency(const std::string &text, std::string &prefix, int &ms)
{
    const size_t eq = text.rfind('=');
    prefix = eq == std::string::npos ? std::string() : text.substr(0, eq);
    const std::string number = eq == std::string::npos ? text : text.substr(eq + 1);
    if (number.empty() || number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    ms = std::atoi(number.c_str());
    return ms <= 600000 && (prefix.empty() || prefix.front() == '/');
}

} // namespace

int main(int argc, char *argv[])
{
    veltrano::sim::SimServer::Options options;
    options.port = kDefaultPort;
    std::vector<std::pair<std::string, int>> latencies;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--tls") {
            options.tls = true;
        } else if (arg == "--port" && i + 1 < argc) {
            if (!parsePort(argv[++i], options.port)) {
                std::fprintf(stderr, "veltrano-sim: \"%s\" is not a port number\n", argv[i]);
                return 2;
            }
        } else if (arg == "--token-lifetime" && i + 1 < argc) {
            int seconds = 0;
            if (!parsePort(argv[++i], seconds) || seconds <= 0) {
                std::fprintf(stderr, "veltrano-sim: --token-lifetime needs a number of seconds\n");
                return 2;
            }
            veltrano::sim::OAuthServerState::setDefaultAccessTokenLifetime(std::chrono::seconds(seconds));
        } else if (arg == "--latency" && i + 1 < argc) {
            std::string prefix;
            int ms = 0;
            if (!parseLatency(argv[++i], prefix, ms)) {
                std::fprintf(stderr, "veltrano-sim: --latency needs [/PREFIX=]MS with MS from 0 to 600000\n");
                return 2;
            }
            latencies.emplace_back(prefix, ms);
        } else if (arg == "--documented-limits") {
            veltrano::sim::ServiceRation::setDocumentedLimitsByDefault(true);
        } else if (arg == "--bind" && i + 1 < argc) {
            options.bindAddress = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "veltrano-sim: unexpected argument \"%s\"\n", arg.c_str());
            printUsage(stderr);
            return 2;
        }
    }

    // SIGINT and SIGTERM are taken by sigwait below; every server thread
    // inherits the blocked mask, so none of them is interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    veltrano::sim::SimServer server(options);
    veltrano::sim::installAllServices(server);
    for (const auto &[prefix, ms] : latencies)
        server.setLatency(prefix, ms);
    if (!server.start()) {
        std::fprintf(stderr, "veltrano-sim: cannot listen on %s port %d\n", options.bindAddress.c_str(),
                     options.port);
        return 1;
    }
    std::printf("veltrano-sim listening on %s\n", server.baseUrl().c_str());
    if (options.tls)
        std::printf("veltrano-sim test authority certificate: %s\n", server.caCertificateFile().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    std::printf("veltrano-sim stopped\n");
    return 0;
}
