// Logging set-up from "yoxalog.conf" and rotation of full log files.
#pragma once

#include <cstddef>

bool InitLogging(const char* configPath);
bool DeInitLogging();
