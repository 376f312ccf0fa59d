#pragma once

#include <cerrno>
#include <cstddef>
#include <streambuf>
#include <string>

// For tests: a disk that takes `room` bytes, then says it is full, as
// /dev/full or a full file system does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(std::size_t room) : m_room(room) {}
    std::string written;

protected:
    int_type overflow(int_type c) override
    {
        if (written.size() >= m_room) {
            errno = ENOSPC;
            return traits_type::eof();
        }
        written += traits_type::to_char_type(c);
        return c;
    }

private:
    std::size_t m_room;
};
