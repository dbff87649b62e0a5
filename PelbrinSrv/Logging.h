#pragma once

#include <string>

#include "PelbrinSrv/ProgArgs.h"

// Attaches the appenders the settings ask for (console, rolling file, log server) to the root logger, each
// announced on standard output; without any appender the root level is OFF, so nothing is logged at all.
void setUpLogging(const pa::ProgArgs& args);

// uname's system name, machine, release and version, joined by single blanks.
std::string getPlatformInfo();
