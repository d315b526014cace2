#include "logging/Logging.h"

#include "logging/Log.h"

INITIALIZE_EASYLOGGINGPP

namespace yoxa::logging {
std::atomic<unsigned> LevelGate::mask_{kTRACE | kDEBUG | kINFO | kWARNING | kERROR};
}  // namespace yoxa::logging

bool InitLogging(const char* configPath) {
    el::Configurations conf(configPath);
    el::Loggers::reconfigureAllLoggers(conf);
    return true;
}

bool DeInitLogging() {
    el::Loggers::flushAll();
    return true;
}
