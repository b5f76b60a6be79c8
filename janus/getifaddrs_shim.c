/* Preloaded into the Janus process of tests and demos only. Janus skips interfaces flagged as
 * loopback when it gathers ICE candidates, so a call confined to 127.0.0.1 could never
 * connect; clearing the flag lets it offer 127.0.0.1 while its configuration allows no other
 * address. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <ifaddrs.h>
#include <net/if.h>

int getifaddrs(struct ifaddrs **ifap)
{
    int (*real)(struct ifaddrs **) = (int (*)(struct ifaddrs **))dlsym(RTLD_NEXT, "getifaddrs");
    if (!real)
        return -1;
    int rc = real(ifap);
    if (rc != 0)
        return rc;
    for (struct ifaddrs *it = *ifap; it; it = it->ifa_next)
        it->ifa_flags &= ~(unsigned)IFF_LOOPBACK;
    return rc;
}
