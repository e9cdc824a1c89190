#include "platform.h"

#include <cstdio>

#include <unistd.h>

// Terminals, files and pipes are all bytes here.
void beginConsoleText() { }

void endConsoleText() { }

bool standardInputFailed() { return std::ferror(stdin) != 0; }

int closeStandardOutput() { return close(STDOUT_FILENO); }
