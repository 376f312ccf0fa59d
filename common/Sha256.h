// SHA-256 of a byte buffer, so that image checks need nothing beyond the standard library: the board
// simulator's verdict and the command line's record both name an image by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    // Lower-case hex digest.
    static std::string Hex(const std::uint8_t* data, std::size_t size);
};
