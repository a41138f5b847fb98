#pragma once

#include <cstddef>

namespace sim {

// The most request bytes collected from one connection.
constexpr std::size_t kRequestByteLimit = std::size_t{1024} * 1024;

}  // namespace sim
