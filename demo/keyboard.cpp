// SPDX-License-Identifier: MIT
#include "keyboard.h"

#include "frame_log_writer.h"
#include "platform.h"
#include "refresh_check.h"
#include "swap_interval.h"

#include <cstdlib>

KeyRequest applyKey(DemoState &state, unsigned char key) {
    KeyRequest request = KeyRequest::none;
    switch (key) {
    case ' ':
        state.offsetX = 0.0f;
        state.offsetY = 0.0f;
        break;
    case '+':
        ++state.mode;
        break;
    case '-':
        --state.mode;
        break;
    case 'f':
        state.flickerFrozen = !state.flickerFrozen;
        break;
    case 'm':
        state.movementOn = !state.movementOn;
        break;
    case 's':
        ++state.subimage;
        break;
    case 'v':
        request = KeyRequest::toggleSwapInterval;
        break;
    case 27:
        request = KeyRequest::quit;
        break;
    default:
        break;
    }
    state.mode = wrappedMode(state.mode, false);
    return request;
}

void handleKey(unsigned char key, int, int) {
    noteFrameLogKey(key);
    switch (applyKey(demoState, key)) {
    case KeyRequest::toggleSwapInterval:
        toggleSwapInterval();
        break;
    case KeyRequest::quit:
        reportRefreshSummary();
        leaveGameMode();
        std::exit(0);
    case KeyRequest::none:
        break;
    }
}
