// varnel-demo-service [--generate N] [--member-shelves] [--back-issues] [port]: runs the stand-in
// library service on 127.0.0.1 (on a free port when none is given) over the sample catalogue (plus
// N generated library items), and its store service on the next port (or a free one), prints their
// URLs (the sign-on server's and the member service's last) and serves until interrupted. With
// --member-shelves the library lists hold what the signed-in member holds (see
// DemoMemberShelves.h). The version-2 web methods are posted under "/BookService.asmx". With
// --state FILE the members' session tokens, the service's sessions and what the members did
// (loans, returns, reservations, claims, bookmarks) are kept in that file across restarts, so that
// a program signed in before a restart, and still running, goes on in its session after it, one
// started again is still signed in, and both find the member's shelf as it was. With
// --back-issues the catalogue also holds a weekly magazine of 130 issues (DemoGroupLists.h). The
// catalogue also holds a book offered as EPUB only (DemoLibraryMembers.h), which the reader
// cannot open.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "demo-service/DemoAuthentication.h"
#include "demo-service/DemoGroupLists.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "demo-service/DemoImages.h"
#include "demo-service/DemoLibraryMembers.h"
#include "demo-service/DemoMemberShelves.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoSessionState.h"
#include "demo-service/DemoSignOn.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"

int main(int argc, char** argv) {
    int port = 0;
    size_t generated = 0;
    bool memberShelves = false;
    bool backIssues = false;
    std::string stateFile;
    auto number = [](const char* text, long max) -> long {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        return *text == '\0' || *end != '\0' || value < 0 || value > max ? -1 : value;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--generate" && i + 1 < argc) {
            const long count = number(argv[++i], 1000000);
            if (count < 0) {
                std::cerr << "varnel-demo-service: not a count: " << argv[i] << "\n";
                return 2;
            }
            generated = static_cast<size_t>(count);
        } else if (arg == "--state" && i + 1 < argc) {
            stateFile = argv[++i];
        } else if (arg == "--member-shelves") {
            memberShelves = true;
        } else if (arg == "--back-issues") {
            backIssues = true;
        } else if (arg != "--help" && number(argv[i], 65535) >= 0 && port == 0) {
            port = static_cast<int>(number(argv[i], 65535));
        } else {
            std::cerr
                << "usage: varnel-demo-service [--generate N] [--member-shelves] [--back-issues] "
                   "[--state FILE] [port]\n";
            return 2;
        }
    }

    // Block the stop signals before any thread starts, then wait for one of them here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    demo::SampleCatalogue catalogue;
    catalogue.generateItems(generated, 1);
    demo::addEpubOnlyBook(catalogue);
    if (backIssues)
        demo::addBackIssueMagazine(catalogue);
    if (!stateFile.empty())
        demo::loadState(catalogue, stateFile);
    demo::DemoService service;
    service.setServicePath("/BookService.asmx");
    demo::registerVersion2Methods(service, catalogue);
    if (memberShelves)
        demo::enableMemberShelves(service, catalogue);
    demo::registerAuthenticationPaths(service);
    demo::registerImagePaths(service);
    demo::registerHttpClientRoutes(service);
    demo::DemoSignOn signOn(service, catalogue);
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
              << storeService.serviceUrl() << "\n"
              << signOn.hostUrl() << "\n"
              << signOn.serviceUrl() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    storeService.stop();
    service.stop();
    if (!stateFile.empty() && !demo::saveState(catalogue, stateFile)) {
        std::cerr << "varnel-demo-service: cannot write " << stateFile << "\n";
        return 1;
    }
    return 0;
}
