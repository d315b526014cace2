// Logging set-up from "yoxalog.conf", rotation of full log files and their retention.
//
// Until a configuration file is applied, the loggers write warnings and errors to standard error and drop
// everything else: the library lives inside a client's process and must not flood its output.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "yoxa/yoxa.h"

inline constexpr const char* kLogConfigFile = "yoxalog.conf";
// keep_logfiles_days never exceeds this.
constexpr int kMaxKeepLogfilesDays = 150000;

// The reception object's start-up step: InitLogging(configPath) when the file can be opened, else the
// warning "Could not find <configPath>. Logging disabled." and the loggers stay as they are.
void ConfigureLogging(const char* configPath = kLogConfigFile);

// Applies a configuration file to all loggers (settings it does not give take the logging library's
// defaults), reads KEEP_LOGFILES_DAYS into keep_logfiles_days, deletes expired rotated files and installs
// the rotation. False when the file cannot be read; nothing changes then.
bool InitLogging(const char* configPath);
// Flushes all loggers and removes the rotation callback.
bool DeInitLogging();

// Warnings and errors to standard error, nothing else, no file. Applied when the library is loaded.
void UseBuiltInLoggingConfiguration();

// Pre-rollout callback of the logging library: the full file is renamed to the next free
// <base>_#<log_file_idx>.log. Runs with the logging library's locks held, so it never logs.
void RolloutHandler(const char* fileName, std::size_t size);
// Advances log_file_idx until <base>_#<log_file_idx>.log names nothing on disk and returns that name;
// <base> is fileName without its extension. Empty when the numbers are exhausted.
std::string NextRotatedLogName(const char* fileName);
// Deletes the rotated files of logFile (<base>_#<N>.log beside it) last modified more than days days ago.
// days <= 0 keeps everything. Never touches any other file.
void DeleteOldFiles(const std::string& logFile, int days);

// A configuration file split into what the logging library parses and the one key it does not know.
struct LogConfigText {
    std::string forLogger;     // the file without its KEEP_LOGFILES_DAYS lines
    int keepLogfilesDays = 0;  // the GLOBAL level's value, limited to kMaxKeepLogfilesDays; 0 when absent
};
LogConfigText SplitLogConfig(std::istream& in);

// Opens or closes the level gate of YLOG for each level after the loggers' configuration changed.
void SyncLevelGate();

// The transport library's own logging: it receives the low 8 bits of enabled; the debug message follows
// the whole value. Always 0.
CameraStatus SetYoxaApiLoggingEnabledImpl(int enabled);
