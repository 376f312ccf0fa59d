#pragma once

#include "cli/IClock.h"

class SystemClock : public IClock {
public:
    std::uint64_t NowMs() override;
    std::uint64_t WallMs() override;
};
