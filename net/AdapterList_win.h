// The machine's IPv4 adapter addresses, as the system lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/BoardPacket.h"
#include "net/IPv4.h"

// Which of the listed addresses a caller takes.
struct AdapterRules {
    bool m_bEveryAddress = false;    // every address of an adapter, or only its first
    bool m_bSkipUnassigned = false;  // leave out 0.0.0.0
    std::size_t m_nLimit = SIZE_MAX; // at most this many
};

// The window's rule, fixed by design: each adapter's first address, 0.0.0.0
// kept, up to MAX_ADAPTERS.
constexpr AdapterRules FIRST_ADDRESS_OF_EACH{false, false, MAX_ADAPTERS};
// The command line's: every address of every adapter that has one.
constexpr AdapterRules EVERY_ASSIGNED_ADDRESS{true, true, SIZE_MAX};

// The addresses the rules take, in the system's order; false (and `addresses`
// left alone) when the system cannot list its adapters.
bool ListAdapterAddresses(const AdapterRules& rules, std::vector<AdapterAddress>& addresses);

struct _IP_ADAPTER_INFO;
// The same, from a list GetAdaptersInfo filled.
std::vector<AdapterAddress> TakeAdapterAddresses(const _IP_ADAPTER_INFO* first, const AdapterRules& rules);
