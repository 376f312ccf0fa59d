// Where an adapter socket hands each datagram it receives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class IReplySink {
public:
    virtual ~IReplySink() = default;
    // `sender`: the dotted address text the datagram came from.
    virtual void OnDatagram(const std::uint8_t* bytes, std::size_t size, const std::wstring& sender) = 0;
};
