// SPDX-License-Identifier: MIT
// The Wayland backend's seat: the keyboard through xkbcommon, turned into the characters
// GLUT hands the keyboard callback, with key repeat as the compositor's repeat_info asks;
// and the pointer, hidden over the window once asked.
//
// What it does not do: deliver the characters (the main loop takes them), or look at
// pointer motion and buttons.
#include "platform_wayland.h"

#include "clock_posix.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

namespace {

struct Keyboard {
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr;
    // Repeats per second and the delay before the first, in ms; wl_keyboard before version
    // 4 tells neither, and these are the usual desktop defaults.
    std::int32_t repeatRate = 25;
    std::int32_t repeatDelayMs = 600;
    xkb_keycode_t heldKey = 0; // 0: none held that repeats
    unsigned char heldCharacter = 0;
    std::uint64_t nextRepeatNs = 0;
    std::vector<unsigned char> typed;
};

Keyboard keys;
wl_keyboard *keyboard = nullptr;
wl_pointer *pointer = nullptr;
bool pointerHidden = false;
std::uint32_t pointerEnterSerial = 0;
bool pointerInside = false;

constexpr std::uint64_t nsPerMs = 1'000'000;

void onKeymap(void *, wl_keyboard *, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) {
        return;
    }
    xkb_keymap *keymap =
        xkb_keymap_new_from_string(keys.context, static_cast<const char *>(text),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) {
        return;
    }
    xkb_state_unref(keys.state);
    xkb_keymap_unref(keys.keymap);
    keys.keymap = keymap;
    keys.state = xkb_state_new(keymap);
    keys.heldKey = 0;
}

void onEnter(void *, wl_keyboard *, std::uint32_t, wl_surface *, wl_array *) {}

void onLeave(void *, wl_keyboard *, std::uint32_t, wl_surface *) {
    keys.heldKey = 0;
}

void onKey(void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t pressed) {
    if (keys.state == nullptr) {
        return;
    }
    // Wayland's key codes are evdev's; xkbcommon's are those plus 8, as on X11.
    const xkb_keycode_t code = key + 8;
    if (pressed != WL_KEYBOARD_KEY_STATE_PRESSED) {
        if (code == keys.heldKey) {
            keys.heldKey = 0;
        }
        return;
    }
    const unsigned char character = keyCharacter(xkb_state_key_get_one_sym(keys.state, code),
                                                 xkb_state_key_get_utf32(keys.state, code));
    if (character == 0) {
        return;
    }
    keys.typed.push_back(character);
    if (keys.repeatRate > 0 && xkb_keymap_key_repeats(keys.keymap, code)) {
        keys.heldKey = code;
        keys.heldCharacter = character;
        keys.nextRepeatNs =
            posix::clockNowNs() + static_cast<std::uint64_t>(keys.repeatDelayMs) * nsPerMs;
    }
}

void onModifiers(void *, wl_keyboard *, std::uint32_t, std::uint32_t depressed,
                 std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
    if (keys.state != nullptr) {
        xkb_state_update_mask(keys.state, depressed, latched, locked, 0, 0, group);
    }
}

void onRepeatInfo(void *, wl_keyboard *, std::int32_t rate, std::int32_t delayMs) {
    keys.repeatRate = rate;
    keys.repeatDelayMs = delayMs;
    if (rate <= 0) {
        keys.heldKey = 0;
    }
}

const wl_keyboard_listener keyboardListener = [] {
    wl_keyboard_listener listener{};
    listener.keymap = onKeymap;
    listener.enter = onEnter;
    listener.leave = onLeave;
    listener.key = onKey;
    listener.modifiers = onModifiers;
    listener.repeat_info = onRepeatInfo;
    return listener;
}();

void showNoCursor() {
    if (pointer != nullptr && pointerInside && pointerHidden) {
        wl_pointer_set_cursor(pointer, pointerEnterSerial, nullptr, 0, 0);
    }
}

void onPointerEnter(void *, wl_pointer *, std::uint32_t serial, wl_surface *, wl_fixed_t,
                    wl_fixed_t) {
    pointerEnterSerial = serial;
    pointerInside = true;
    showNoCursor();
}

void onPointerLeave(void *, wl_pointer *, std::uint32_t, wl_surface *) {
    pointerInside = false;
}

void onMotion(void *, wl_pointer *, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
void onButton(void *, wl_pointer *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void onAxis(void *, wl_pointer *, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void onFrame(void *, wl_pointer *) {}
void onAxisSource(void *, wl_pointer *, std::uint32_t) {}
void onAxisStop(void *, wl_pointer *, std::uint32_t, std::uint32_t) {}
void onAxisDiscrete(void *, wl_pointer *, std::uint32_t, std::int32_t) {}

// Every event of wl_pointer up to version 5, the highest the seat is bound at.
const wl_pointer_listener pointerListener = [] {
    wl_pointer_listener listener{};
    listener.enter = onPointerEnter;
    listener.leave = onPointerLeave;
    listener.motion = onMotion;
    listener.button = onButton;
    listener.axis = onAxis;
    listener.frame = onFrame;
    listener.axis_source = onAxisSource;
    listener.axis_stop = onAxisStop;
    listener.axis_discrete = onAxisDiscrete;
    return listener;
}();

void onCapabilities(void *, wl_seat *seat, std::uint32_t capabilities) {
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && keyboard == nullptr) {
        keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(keyboard, &keyboardListener, nullptr);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) != 0 && pointer == nullptr) {
        pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(pointer, &pointerListener, nullptr);
    }
}

void onSeatName(void *, wl_seat *, const char *) {}

const wl_seat_listener seatListener = [] {
    wl_seat_listener listener{};
    listener.capabilities = onCapabilities;
    listener.name = onSeatName;
    return listener;
}();

} // namespace

unsigned char keyCharacter(std::uint32_t keysym, std::uint32_t utf32) {
    if (keysym == XKB_KEY_Escape) {
        return 27;
    }
    // The text the key types with the modifiers held, as X11's key lookup gives GLUT: '+'
    // from Shift and '=' on a US keyboard, from the key of its own on others, and from the
    // keypad.
    return utf32 > 0 && utf32 < 128 ? static_cast<unsigned char>(utf32) : 0;
}

void watchSeat(wl_seat *seat) {
    keys.context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wl_seat_add_listener(seat, &seatListener, nullptr);
}

void hidePointer() {
    pointerHidden = true;
    showNoCursor();
}

std::vector<unsigned char> takeTypedKeys(std::uint64_t nowNs) {
    if (keys.heldKey != 0 && nowNs >= keys.nextRepeatNs) {
        const std::uint64_t periodNs =
            1'000'000'000ull / static_cast<std::uint64_t>(keys.repeatRate);
        // A frame that took longer than a second does not make a burst of repeats.
        if (nowNs - keys.nextRepeatNs > 1'000'000'000ull) {
            keys.nextRepeatNs = nowNs;
        }
        while (nowNs >= keys.nextRepeatNs) {
            keys.typed.push_back(keys.heldCharacter);
            keys.nextRepeatNs += periodNs;
        }
    }
    std::vector<unsigned char> typed;
    typed.swap(keys.typed);
    return typed;
}

} // namespace wayland
