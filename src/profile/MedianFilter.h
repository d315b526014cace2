// Running median of the line processor and of MedianFilterVector.
#pragma once

#include <cstdint>
#include <vector>

class MedianFilter {
public:
    // dst[i] = median of src[i - h .. i + h] (h = window / 2) where that window fits; for the other
    // positions but the two ends the median of src[i - 1], src[i], src[i + 1]; the end values are copied.
    // An even window is widened by one. Missing values (above 9999998) are copied and split the input into
    // runs that are filtered on their own. src and dst may be the same array.
    // False, with dst unwritten, when window < 3 or an array is null.
    bool Filter(const float* src, float* dst, int n, int window);

private:
    void FilterRun(const float* src, float* dst, int n, int window);
    // dst[h .. n - 1 - h] for n > window.
    void CentredSorted(const float* src, float* dst, int n, int window);

    std::vector<int32_t> sortedKeys;  // the current window, in ascending order
    std::vector<float> copy;          // the input, when it overlaps the output
};
