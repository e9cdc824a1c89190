#include "platform.h"

#ifdef _WIN32
#include <io.h>

int closeStandardOutput() { return _close(1); }
#else
#include <unistd.h>

int closeStandardOutput() { return close(STDOUT_FILENO); }
#endif
