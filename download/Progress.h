#pragma once

#include <cstdint>

// Percentage of the file sent, 0..100; an empty file counts as complete.
int ProgressPercent(std::uint64_t position, std::uint64_t length);
