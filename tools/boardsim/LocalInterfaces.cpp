#include "LocalInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace boardsim {

std::vector<LocalAddress> LocalInterfaces::Read()
{
    std::vector<LocalAddress> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || a->ifa_netmask == nullptr)
            continue;
        LocalAddress local;
        local.ifname = a->ifa_name;
        local.ifindex = static_cast<int>(::if_nametoindex(a->ifa_name));
        local.addr = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        local.mask = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
        result.push_back(local);
    }
    ::freeifaddrs(list);
    return result;
}

}  // namespace boardsim
