#include "net/AdapterList_win.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <utility>

#include "net/TextCodec.h"

// One walk over GetAdaptersInfo for the window and the command line; they differ
// only in the rules they pass.
//
// - Order: adapters as GetAdaptersInfo lists them; within an adapter, its
//   addresses in their order (IpAddressList first, then its Next entries).
// - m_bEveryAddress false: only an adapter's first address (IpAddressList),
//   so an adapter with several addresses counts once. true: each of them, so
//   every subnet of the adapter gets a socket of its own.
// - m_bSkipUnassigned: an adapter without an address reports 0.0.0.0, whose
//   subnet would match every target; skipping it (and any text that does not
//   read as an address) leaves such an adapter out. Kept, it is listed like
//   any other address.
// - m_nLimit: the walk stops once that many addresses are taken; what is
//   skipped does not count.
// - Loopback is no adapter to GetAdaptersInfo and is never listed; a caller
//   that wants it adds it.
//
// The window passes FIRST_ADDRESS_OF_EACH {first only, 0.0.0.0 kept,
// MAX_ADAPTERS}, the command line EVERY_ASSIGNED_ADDRESS {every address,
// 0.0.0.0 skipped, no limit}.
bool ListAdapterAddresses(const AdapterRules& rules, std::vector<AdapterAddress>& addresses)
{
    // The list can grow between the call that sizes the buffer and the one
    // that fills it: then it is sized again.
    ULONG size = 16 * sizeof(IP_ADAPTER_INFO);
    std::vector<BYTE> buffer(size);
    DWORD result = ERROR_BUFFER_OVERFLOW;
    while ((result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size))
           == ERROR_BUFFER_OVERFLOW)
        buffer.resize(size);
    if (result != NO_ERROR)
        return false;
    addresses = TakeAdapterAddresses(reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()), rules);
    return true;
}

std::vector<AdapterAddress> TakeAdapterAddresses(const IP_ADAPTER_INFO* first, const AdapterRules& rules)
{
    std::vector<AdapterAddress> taken;
    for (const IP_ADAPTER_INFO* a = first; a != nullptr && taken.size() < rules.m_nLimit; a = a->Next) {
        for (const IP_ADDR_STRING* ip = &a->IpAddressList; ip != nullptr; ip = rules.m_bEveryAddress ? ip->Next : nullptr) {
            if (taken.size() >= rules.m_nLimit)
                break;
            AdapterAddress address{AnsiToWide(ip->IpAddress.String), AnsiToWide(ip->IpMask.String)};
            if (rules.m_bSkipUnassigned && ParseIPv4(address.m_strAddress) == 0)
                continue;
            taken.push_back(std::move(address));
        }
    }
    return taken;
}
