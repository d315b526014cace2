// The commands of the yoxa tool; argv[0] is the command's name.
#pragma once

int CmdDiscover(int argc, char** argv);
int CmdParams(int argc, char** argv);
int CmdDemo(int argc, char** argv);

// Prints "name (number)" of a status to standard error with a context; returns the status.
int ReportStatus(const char* what, int status);
