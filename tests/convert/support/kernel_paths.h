#pragma once

// The kernel paths a test runs on: each one this machine runs, set for a scope.

#include <gtest/gtest.h>

#include <vector>

#include "byte_search.h"

namespace kernel_paths {

inline constexpr const char* kNames[] = {"plain", "sse2", "avx2"};

inline const char* Name(byte_search::Path path) { return kNames[static_cast<int>(path)]; }

// The paths this machine runs, the plain one first.
inline std::vector<byte_search::Path> Runnable()
{
    std::vector<byte_search::Path> paths;
    for (int k = 0; k <= static_cast<int>(byte_search::BestPath()); ++k)
        paths.push_back(static_cast<byte_search::Path>(k));
    return paths;
}

// Sets a path for one scope, and the best one again after it.
class CPathScope {
public:
    explicit CPathScope(byte_search::Path path) { EXPECT_EQ(byte_search::SetKernelPath(path), path); }
    ~CPathScope() { byte_search::SetKernelPath(byte_search::BestPath()); }
    CPathScope(const CPathScope&) = delete;
    CPathScope& operator=(const CPathScope&) = delete;
};

} // namespace kernel_paths
