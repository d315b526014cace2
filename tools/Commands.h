// The commands of the yoxa tool; argv[0] is the command's name.
#pragma once

int CmdDiscover(int argc, char** argv);
int CmdParams(int argc, char** argv);
int CmdDemo(int argc, char** argv);
int CmdInfo(int argc, char** argv);
int CmdGet(int argc, char** argv);
int CmdSet(int argc, char** argv);
int CmdGrab(int argc, char** argv);
int CmdBench(int argc, char** argv);

#include <string>
// Prints what a connected sensor is.
void PrintInfo(const std::string& id);

// Prints "name (number)" of a status to standard error with a context; returns the status.
int ReportStatus(const char* what, int status);
