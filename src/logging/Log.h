// Logging for the whole library: the logger "default" of easylogging++, behind a cheap level gate.
//
//   YLOG(INFO) << "Camera#" << index << " ...";
//
// Hot paths log at TRACE and DEBUG; with those levels off a statement costs one relaxed atomic load,
// because the gate is tested before the logging library (which takes locks even for disabled levels)
// is entered. The gate follows the loggers' configured levels: whoever reconfigures them calls
// SyncLevelGate() (logging/Logging.h).
#pragma once

#include <easylogging++.h>

#include <atomic>

namespace yoxa::logging {

enum LevelBit : unsigned {
    kTRACE = 1u << 0,
    kDEBUG = 1u << 1,
    kINFO = 1u << 2,
    kWARNING = 1u << 3,
    kERROR = 1u << 4,
};

class LevelGate {
public:
    static bool On(unsigned bit) { return (mask_.load(std::memory_order_relaxed) & bit) != 0; }
    static void Set(unsigned mask) { mask_.store(mask, std::memory_order_relaxed); }
    static unsigned Get() { return mask_.load(std::memory_order_relaxed); }

private:
    static std::atomic<unsigned> mask_;
};

}  // namespace yoxa::logging

#define YLOG(LEVEL)                                                   \
    if (!::yoxa::logging::LevelGate::On(::yoxa::logging::k##LEVEL)) { \
    } else                                                            \
        CLOG(LEVEL, "default")
