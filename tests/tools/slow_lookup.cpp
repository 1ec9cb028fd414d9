// A getaddrinfo that first waits STATLUME_LOOKUP_DELAY_MS milliseconds: a slow name server for
// the tests, loaded with LD_PRELOAD.
#include <chrono>
#include <cstdlib>
#include <thread>

#include <dlfcn.h>
#include <netdb.h>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result)
{
    using TGetAddrInfo = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto real = reinterpret_cast<TGetAddrInfo>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    if (const char* delay = std::getenv("STATLUME_LOOKUP_DELAY_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
    return real != nullptr ? real(node, service, hints, result) : EAI_FAIL;
}
