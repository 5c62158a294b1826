// SPDX-License-Identifier: MIT
// Windows: the desktop's outputs (display devices), and switching one of them to another
// mode and back, through EnumDisplayDevices, EnumDisplaySettings and ChangeDisplaySettingsEx.
//
// A switch is made with CDS_FULLSCREEN: the mode is temporary, never written to the registry,
// and Windows puts the registry's mode back by itself when the process that set it ends, even
// when it is killed. The mode is still put back at once on the ways out that the process sees
// (exit, and the console's Ctrl+C, Ctrl+Break, close, logoff and shutdown), so that the
// desktop is whole again before the process has gone.
//
// What it does not do: open or place windows, keep a record of a switch on disk (nothing
// outlives the process to mend), or switch more than one output.
#include "ending_signals.h"
#include "platform_win32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace win32 {

namespace {

// Windows' own value for a rate: 0 and 1 stand for the hardware's default, which is not known.
std::uint64_t periodOf(DWORD frequency) {
    return frequency > 1 ? ratePeriodNs(frequency, 1) : 0;
}

OutputMode modeOf(const DEVMODEA &settings) {
    OutputMode mode;
    mode.width = static_cast<int>(settings.dmPelsWidth);
    mode.height = static_cast<int>(settings.dmPelsHeight);
    mode.periodNs = periodOf(settings.dmDisplayFrequency);
    return mode;
}

DEVMODEA emptySettings() {
    DEVMODEA settings{};
    settings.dmSize = sizeof settings;
    return settings;
}

// The colour depth that modes are listed and switched at: the desktop's own 32 bits per pixel
// where the device offers it (programs made for Windows 8 and later can set no other).
constexpr DWORD wantedDepth = 32;

// Whether the device lists any mode of wantedDepth.
bool offersWantedDepth(const char *device) {
    DEVMODEA settings = emptySettings();
    for (DWORD i = 0; EnumDisplaySettingsA(device, i, &settings); ++i) {
        if (settings.dmBitsPerPel == wantedDepth) {
            return true;
        }
    }
    return false;
}

// Every size and rate the device offers, once each, at wantedDepth where it offers that
// depth and at any depth where it does not.
std::vector<OutputMode> modesOf(const char *device) {
    const bool anyDepth = !offersWantedDepth(device);
    std::vector<OutputMode> modes;
    DEVMODEA settings = emptySettings();
    for (DWORD i = 0; EnumDisplaySettingsA(device, i, &settings); ++i) {
        if (!anyDepth && settings.dmBitsPerPel != wantedDepth) {
            continue;
        }
        const OutputMode mode = modeOf(settings);
        bool listed = false;
        for (const OutputMode &other : modes) {
            listed = listed || (other.width == mode.width && other.height == mode.height &&
                                other.periodNs == mode.periodNs);
        }
        if (!listed) {
            modes.push_back(mode);
        }
    }
    return modes;
}

// The device's own description of `mode`, as it lists it, at wantedDepth where it can be.
bool findSettings(const char *device, const OutputMode &mode, DEVMODEA &found) {
    bool any = false;
    DEVMODEA settings = emptySettings();
    for (DWORD i = 0; EnumDisplaySettingsA(device, i, &settings); ++i) {
        const OutputMode listed = modeOf(settings);
        if (listed.width != mode.width || listed.height != mode.height ||
            listed.periodNs != mode.periodNs) {
            continue;
        }
        if (!any || settings.dmBitsPerPel == wantedDepth) {
            found = settings;
            any = true;
        }
    }
    return any;
}

std::string changeFailure(LONG result) {
    switch (result) {
    case DISP_CHANGE_BADMODE:
        return "Windows does not support that mode";
    case DISP_CHANGE_FAILED:
        return "the display driver failed to set that mode";
    case DISP_CHANGE_RESTART:
        return "Windows would have to be restarted for that mode";
    case DISP_CHANGE_BADDUALVIEW:
        return "the display adapter runs in DualView";
    case DISP_CHANGE_BADFLAGS:
    case DISP_CHANGE_BADPARAM:
        return "Windows refused the request as malformed";
    default:
        return "ChangeDisplaySettingsEx returned " + std::to_string(result);
    }
}

// The device whose mode was switched; the handler of the console's events reads it on a
// thread of its own, so it is a fixed array written before `switched` is set.
char switchedDevice[sizeof(DISPLAY_DEVICEA::DeviceName)] = {};
std::atomic<bool> switched{false};

void restoreAtExit() {
    restoreOutputMode();
}

} // namespace

std::vector<OutputFacts> listOutputs(const char *) {
    std::vector<OutputFacts> outputs;
    DISPLAY_DEVICEA adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &adapter, 0); ++i) {
        if ((adapter.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) == 0) {
            continue;
        }
        // A device without a current size shows no part of the desktop that can be told
        // (Wine's Xinerama heads but the first have none).
        DEVMODEA current = emptySettings();
        if (!EnumDisplaySettingsA(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &current) ||
            current.dmPelsWidth == 0 || current.dmPelsHeight == 0) {
            continue;
        }
        OutputFacts output;
        output.name = adapter.DeviceName;
        // The adapter's first device is the monitor on it.
        DISPLAY_DEVICEA monitor{};
        monitor.cb = sizeof monitor;
        if (EnumDisplayDevicesA(adapter.DeviceName, 0, &monitor, 0)) {
            output.description = monitor.DeviceString;
        }
        output.x = static_cast<int>(current.dmPosition.x);
        output.y = static_cast<int>(current.dmPosition.y);
        output.current = modeOf(current);
        output.width = output.current.width;
        output.height = output.current.height;
        output.modes = modesOf(adapter.DeviceName);
        output.primary = (adapter.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
        outputs.push_back(std::move(output));
    }
    return outputs;
}

bool switchOutputMode(const char *, const OutputFacts &output, const OutputMode &mode,
                      std::string &why) {
    if (switched.load() || output.name.size() >= sizeof switchedDevice) {
        why = switched.load() ? "another output has been switched already" : "its name is too long";
        return false;
    }
    DEVMODEA settings = emptySettings();
    if (!findSettings(output.name.c_str(), mode, settings)) {
        why = "Windows lists no such mode for it";
        return false;
    }
    DEVMODEA wanted = emptySettings();
    wanted.dmPelsWidth = settings.dmPelsWidth;
    wanted.dmPelsHeight = settings.dmPelsHeight;
    wanted.dmBitsPerPel = settings.dmBitsPerPel;
    wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    if (mode.periodNs != 0) {
        wanted.dmDisplayFrequency = settings.dmDisplayFrequency;
        wanted.dmFields |= DM_DISPLAYFREQUENCY;
    }
    // Every way out puts the mode back; set up once, before the first switch. Nothing is
    // written to disk: Windows itself undoes the switch when the process ends.
    static const bool restoresOnExit = [] {
        std::atexit(restoreAtExit);
        armEndingSignals();
        onEndingSignal(restoreOutputMode);
        return true;
    }();
    (void)restoresOnExit;
    std::memcpy(switchedDevice, output.name.c_str(), output.name.size() + 1);
    const LONG result =
        ChangeDisplaySettingsExA(switchedDevice, &wanted, nullptr, CDS_FULLSCREEN, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        why = changeFailure(result);
        return false;
    }
    switched.store(true);
    return true;
}

void restoreOutputMode() {
    if (switched.exchange(false)) {
        // No mode and no flags: the mode the registry holds for the device.
        ChangeDisplaySettingsExA(switchedDevice, nullptr, nullptr, 0, nullptr);
    }
}

std::string restoreModeLeftBehind(const char *) {
    // A run that was killed left nothing behind: Windows put the registry's mode back when
    // that process ended, as it does for every CDS_FULLSCREEN switch.
    return {};
}

} // namespace win32
