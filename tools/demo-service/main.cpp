// varnel-demo-service [port]: runs the stand-in library service on 127.0.0.1 (on a free port
// when none is given) over the sample catalogue, and its store service on the next port (or a
// free one), prints their URLs and serves until interrupted.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"

int main(int argc, char** argv) {
    int port = 0;
    if (argc > 2 || (argc == 2 && std::string(argv[1]) == "--help")) {
        std::cerr << "usage: varnel-demo-service [port]\n";
        return 2;
    }
    if (argc == 2) {
        char* end = nullptr;
        const long value = std::strtol(argv[1], &end, 10);
        if (*argv[1] == '\0' || *end != '\0' || value < 0 || value > 65535) {
            std::cerr << "varnel-demo-service: not a port: " << argv[1] << "\n";
            return 2;
        }
        port = static_cast<int>(value);
    }

    // Block the stop signals before any thread starts, then wait for one of them here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::registerVersion2Methods(service, catalogue);
    if (!service.start(port)) {
        std::cerr << "varnel-demo-service: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    demo::DemoService storeService;
    demo::registerStoreService(storeService, catalogue, {}, demo::kDemoAuthorizationToken);
    if (!storeService.start(port ? port + 1 : 0)) {
        std::cerr << "varnel-demo-service: cannot start the store service\n";
        service.stop();
        return 1;
    }
    std::cout << service.baseUrl() << "\n"
              << service.serviceUrl() << "\n"
              << storeService.serviceUrl() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    storeService.stop();
    service.stop();
    return 0;
}
