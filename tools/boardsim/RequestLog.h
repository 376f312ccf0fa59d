// The readable log: one line per request a board hears, one per flag, with seconds since the start.
#pragma once

#include "Traffic.h"

#include <cstdio>
#include <string>

namespace boardsim {

class Board;

class RequestLog {
public:
    // quiet keeps flags and stray datagrams only.
    RequestLog(std::FILE* file, bool quiet);

    void Request(const Board& board, const RequestRecord& rec);
    void Stray(const StrayRecord& stray);
    void HeldBackReply(const Board& board, const Outgoing& reply, Micros now);
    void Note(Micros t, const std::string& text);
    void Flush();

    static std::string Time(Micros t);
    // Text with its unprintable bytes escaped as \xNN.
    static std::string Printable(const std::string& text);

private:
    std::FILE* m_file;
    bool m_quiet;
};

}  // namespace boardsim
