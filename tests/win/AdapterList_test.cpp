// The adapter list's two rules, on a list as GetAdaptersInfo fills it.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/AdapterList_win.h"

namespace {

// Adapters, each with its addresses in order ("address/mask"), chained as the system chains them.
class AdapterChain {
public:
    explicit AdapterChain(const std::vector<std::vector<const char*>>& adapters)
    {
        for (const auto& addresses : adapters) {
            IP_ADAPTER_INFO& a = m_adapters.emplace_back();
            IP_ADDR_STRING* last = nullptr;
            for (const char* text : addresses) {
                IP_ADDR_STRING& ip = last == nullptr ? a.IpAddressList : m_more.emplace_back();
                const char* slash = std::strchr(text, '/');
                std::strncpy(ip.IpAddress.String, text, static_cast<size_t>(slash - text));
                std::strcpy(ip.IpMask.String, slash + 1);
                if (last != nullptr)
                    last->Next = &ip;
                last = &ip;
            }
        }
        for (size_t i = 0; i + 1 < m_adapters.size(); ++i)
            m_adapters[i].Next = &m_adapters[i + 1];
    }
    const IP_ADAPTER_INFO* First() const { return m_adapters.empty() ? nullptr : &m_adapters.front(); }

private:
    std::deque<IP_ADAPTER_INFO> m_adapters;  // a deque keeps the chain's addresses where they are
    std::deque<IP_ADDR_STRING> m_more;
};

std::string Listed(const std::vector<AdapterAddress>& addresses)
{
    std::string text;
    for (const AdapterAddress& a : addresses) {
        text += text.empty() ? "" : " ";
        text += std::string(a.m_strAddress.begin(), a.m_strAddress.end()) + "/"
            + std::string(a.m_strMask.begin(), a.m_strMask.end());
    }
    return text;
}

}  // namespace

TEST(AdapterList, EachCallerTakesWhatItsRuleSays)
{
    // Two addresses on the first adapter, none on the second (the system says 0.0.0.0).
    const AdapterChain chain({{"10.0.0.1/255.0.0.0", "192.168.5.1/255.255.255.0"},
                              {"0.0.0.0/0.0.0.0"},
                              {"172.16.0.1/255.255.0.0"}});
    EXPECT_EQ(Listed(TakeAdapterAddresses(chain.First(), FIRST_ADDRESS_OF_EACH)),
              "10.0.0.1/255.0.0.0 0.0.0.0/0.0.0.0 172.16.0.1/255.255.0.0")
        << "the window takes each adapter's first address, the unassigned one too";
    EXPECT_EQ(Listed(TakeAdapterAddresses(chain.First(), EVERY_ASSIGNED_ADDRESS)),
              "10.0.0.1/255.0.0.0 192.168.5.1/255.255.255.0 172.16.0.1/255.255.0.0")
        << "the command line takes every address but 0.0.0.0";
}

TEST(AdapterList, TheWindowTakesTheFirstTenAdapters)
{
    std::vector<std::string> texts;
    for (int i = 1; i <= 12; ++i)
        texts.push_back("10.0." + std::to_string(i) + ".1/255.255.255.0");
    std::vector<std::vector<const char*>> adapters;
    for (const std::string& t : texts)
        adapters.push_back({t.c_str()});
    const AdapterChain chain(adapters);
    const std::vector<AdapterAddress> window = TakeAdapterAddresses(chain.First(), FIRST_ADDRESS_OF_EACH);
    ASSERT_EQ(window.size(), MAX_ADAPTERS) << "the window keeps MAX_ADAPTERS adapters";
    EXPECT_EQ(window.back().m_strAddress, L"10.0.10.1") << "and they are the first ones listed";
    EXPECT_EQ(TakeAdapterAddresses(chain.First(), EVERY_ASSIGNED_ADDRESS).size(), 12u)
        << "the command line keeps them all";
}
