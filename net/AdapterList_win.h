// The machine's IPv4 adapter addresses, as the system lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/IPv4.h"

// Which of the listed addresses a caller takes.
struct AdapterRules {
    bool m_bEveryAddress = false;           // every address of an adapter, or only its first
    bool m_bSkipUnassigned = false;         // leave out 0.0.0.0
    std::size_t m_nLimit = SIZE_MAX;        // at most this many
};

// The addresses the rules take, in the system's order; false (and `addresses`
// left alone) when the system cannot list its adapters.
bool ListAdapterAddresses(const AdapterRules& rules, std::vector<AdapterAddress>& addresses);
