// Frames held back by the peak poller while it restores the sensor's frame order.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "reception/PeakDecoding.h"

class ParallelProfileProcessing;

struct ProfileBuffer {
    explicit ProfileBuffer(int capacity);
    // Copies n points and the header; grows the storage to n + 500 points when it is too small.
    void AddPoints(const STRUCT_POINT* points, int n, const HEADER& header);
    // Lends the storage to `out` (not owned by it); valid while this buffer lives.
    void UsePoints(PeakArray& out);
    const HEADER& Header() const { return header; }
    void ClearProfilePoints() { count = 0; }

    int32_t capacity;
    HEADER header{};
    int32_t count = 0;
    std::unique_ptr<STRUCT_POINT[]> points;
};

// Dispatches every held-back frame in ascending frame number order and empties the list.
void CleanReorderingBuffer(ParallelProfileProcessing& processing, uint32_t& last, bool& gap,
                           std::list<ProfileBuffer>& list);
