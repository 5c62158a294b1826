// X11 with RandR 1.2: switches one output's mode alone and puts it back on every way out.
#include "platform.h"

bool switchOutputMode(const char *, const OutputFacts &, const OutputMode &, std::string &why) {
    why = "not built yet";
    return false;
}

void restoreOutputMode() {}

std::string restoreModeLeftBehind(const char *) {
    return {};
}
