// SPDX-License-Identifier: MIT
#include "backend_choice.h"
#include "mode_record.h"
#include "options.h"
#include "outputs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint64_t hz60 = 16'666'667;
constexpr std::uint64_t hz75 = 13'333'333;
constexpr std::uint64_t hz85 = 11'764'706;
constexpr std::uint64_t hz120 = 8'333'333;

OutputFacts output(const char *name, int x, int y, std::vector<OutputMode> modes,
                   bool primary = false) {
    OutputFacts facts;
    facts.name = name;
    facts.x = x;
    facts.y = y;
    facts.current = modes.front();
    facts.width = facts.current.width;
    facts.height = facts.current.height;
    facts.modes = std::move(modes);
    facts.primary = primary;
    return facts;
}

// The choice of the output and of its mode of README.txt's size (1024 x 768).
TEST(OutputChoice, ByNameIndexPrimaryOriginAndRate) {
    const std::vector<OutputFacts> noPrimary = {
        output("DUMMY1", 1920, 0,
               {{1, 1280, 1024, hz60}, {2, 1024, 768, hz85}, {3, 1024, 768, hz75}}),
        output("DUMMY0", 0, 0,
               {{4, 1920, 1080, hz120}, {5, 1024, 768, hz60}, {6, 1024, 768, hz120}}),
    };
    std::vector<OutputFacts> withPrimary = noPrimary;
    withPrimary[0].primary = true;
    const std::vector<OutputFacts> numbered = {output("0", 0, 0, {{1, 800, 600, hz60}}),
                                               output("7", 800, 0, {{2, 800, 600, hz60}})};
    struct Case {
        const char *what;
        const std::vector<OutputFacts> &outputs;
        const char *requested;
        int index;
        std::uint32_t mode; // 0: none of README.txt's size
    };
    const Case cases[] = {
        {"default: the one at the origin", noPrimary, "", 1, 6},
        {"default: the primary, wherever it is", withPrimary, "", 0, 2},
        {"by name", noPrimary, "DUMMY1", 0, 2},
        {"by index", noPrimary, "1", 1, 6},
        {"a name wins over an index", numbered, "0", 0, 0},
        {"an index where no name matches", numbered, "1", 1, 0},
        {"an index past the end", noPrimary, "2", -1, 0},
        {"an unknown name", noPrimary, "HDMI-1", -1, 0},
        {"names are exact", noPrimary, "dummy1", -1, 0},
        {"a negative index", noPrimary, "-1", -1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const OutputChoice choice = chooseOutput(c.outputs, c.requested);
        EXPECT_EQ(choice.index, c.index);
        EXPECT_EQ(choice.error.empty(), c.index >= 0);
        if (choice.index >= 0) {
            const auto mode =
                chooseMode(c.outputs[static_cast<std::size_t>(choice.index)], 1024, 768);
            EXPECT_EQ(mode ? mode->id : 0u, c.mode);
        }
    }
    EXPECT_EQ(chooseOutput({}, "").index, -1);
}

TEST(OutputChoice, ListLines) {
    OutputFacts stim =
        output("DUMMY1", 1920, 0,
               {{1, 1280, 1024, hz60}, {2, 1024, 768, hz60}, {3, 1024, 768, hz75}}, true);
    EXPECT_EQ(outputListLine(1, stim, 1024, 768),
              "1: DUMMY1 at 1920,0, 1280x1024, mode 1280x1024 at 60.00 Hz; 1024x768 modes: "
              "60.00 Hz, 75.00 Hz; primary");
    stim.primary = false;
    stim.description = "DELL U2720Q";
    EXPECT_EQ(outputListLine(0, stim, 640, 480),
              "0: DUMMY1 (DELL U2720Q) at 1920,0, 1280x1024, mode 1280x1024 at 60.00 Hz; 640x480 "
              "modes: none");
    EXPECT_EQ(outputListLine(0, stim, 0, 0),
              "0: DUMMY1 (DELL U2720Q) at 1920,0, 1280x1024, mode 1280x1024 at 60.00 Hz");
}

// The record of a switched mode: its text read back, records that are not whole, the mode
// put back, and whose display it is.
TEST(ModeRecord, TextParseAndTheModeToPutBack) {
    ModeRecord grown;
    grown.processId = 4242;
    grown.displayName = ":7";
    grown.outputName = "DUMMY1";
    grown.crtc = 64;
    grown.x = 1920;
    grown.rotation = 1;
    grown.crtcOutputs = {"DUMMY1"};
    grown.mode = {75, 1280, 1024, hz60};
    grown.screenWidth = 3200;
    grown.screenHeight = 1080;
    grown.screenWidthMm = 846;
    grown.screenHeightMm = 285;
    ModeRecord plain = grown;
    plain.screenWidth = plain.screenHeight = plain.screenWidthMm = plain.screenHeightMm = 0;
    plain.crtcOutputs = {"DP-1", "DP-2"};
    for (const ModeRecord &record : {grown, plain}) {
        ModeRecord read;
        std::string error;
        ASSERT_TRUE(parseModeRecord(modeRecordText(record), read, error)) << error;
        EXPECT_EQ(modeRecordText(read), modeRecordText(record));
        EXPECT_EQ(read.crtcOutputs, record.crtcOutputs);
        EXPECT_EQ(read.screenWidth, record.screenWidth);
    }
    EXPECT_EQ(modeRecordText(grown),
              "moiravel-display-restore 1\nprocess 4242\ndisplay :7\noutput DUMMY1\n"
              "crtc 64\nposition 1920 0\nrotation 1\ncrtc-outputs DUMMY1\n"
              "mode 75 1280 1024 16666667\nscreen 3200 1080 846 285\n");

    const std::string text = modeRecordText(plain);
    const auto replaced = [&text](const std::string &from, const std::string &to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    struct Broken {
        const char *what;
        std::string text;
    };
    const Broken broken[] = {
        {"empty", ""},
        {"another first line", replaced("restore 1", "restore 2")},
        {"cut short", text.substr(0, text.find("mode "))},
        {"a key twice", text + "output DUMMY0\n"},
        {"an unknown key", text + "colour blue\n"},
        {"a word for a number", replaced("crtc 64", "crtc sixty")},
        {"a number too many", replaced("position 1920 0", "position 1920 0 5")},
        {"mode id 0", replaced("mode 75", "mode 0")},
        {"no process", replaced("process 4242", "process 0")},
        {"a negative size", replaced("1280 1024", "-1280 1024")},
        {"no outputs on the CRTC", replaced("crtc-outputs DP-1 DP-2", "crtc-outputs")},
        {"a screen of no size", text + "screen 0 0 0 0\n"},
    };
    for (const Broken &b : broken) {
        SCOPED_TRACE(b.what);
        ModeRecord read;
        std::string error;
        EXPECT_FALSE(parseModeRecord(b.text, read, error));
        EXPECT_FALSE(error.empty());
    }

    // The recorded id where it still means the recorded mode; else one of that size and
    // rate; never an id that now means another mode.
    struct Case {
        const char *what;
        std::vector<OutputMode> offered;
        std::uint32_t id; // 0: none to put back
    };
    const Case cases[] = {
        {"the same id", {{80, 1024, 768, hz60}, {75, 1280, 1024, hz60}}, 75},
        {"the same id wins over another of that kind",
         {{76, 1280, 1024, hz60}, {75, 1280, 1024, hz60}},
         75},
        {"the id now means another size", {{75, 1024, 768, hz60}, {90, 1280, 1024, hz60}}, 90},
        {"the id now means another rate", {{75, 1280, 1024, hz75}}, 0},
        {"no mode of that size", {{80, 1024, 768, hz60}}, 0},
        {"a rate within a thousandth", {{91, 1280, 1024, hz60 + 5000}}, 91},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto mode = modeToRestore(grown, c.offered);
        EXPECT_EQ(mode ? mode->id : 0u, c.id);
    }

    EXPECT_TRUE(sameDisplay(":7", ":7.0"));
    EXPECT_TRUE(sameDisplay("host:7.1", "host:7.1"));
    EXPECT_FALSE(sameDisplay(":7", ":70"));
    EXPECT_FALSE(sameDisplay(":7", ":7.1"));
    EXPECT_EQ(modeRecordPath("/run/user/1000", 1000), "/run/user/1000/moiravel-display-restore");
    EXPECT_EQ(modeRecordPath(nullptr, 1000), "/tmp/moiravel-display-restore-1000");
    EXPECT_EQ(modeRecordPath("", 0), "/tmp/moiravel-display-restore-0");
    EXPECT_EQ(restoredLine(grown),
              "moiravel-demo: restored DUMMY1 to 1280x1024 at 60.00 Hz, as an earlier run left it");
}

TEST(ViewerOptions, ActionsValuesAndUsageErrors) {
    struct Case {
        std::vector<const char *> args;
        ViewerAction action;
        const char *output;
        const char *error;
        const char *backend = "";
        const char *frameLog = "";
    };
    const Case cases[] = {
        {{}, ViewerAction::run, "", ""},
        {{"--backend", "wayland", "--output=1"}, ViewerAction::run, "1", "", "wayland"},
        {{"--backend=x11", "--list-outputs"}, ViewerAction::listOutputs, "", "", "x11"},
        {{"--backend"}, ViewerAction::usageError, "", "--backend needs a backend's name"},
        {{"--backend="}, ViewerAction::usageError, "", "--backend needs a backend's name"},
        {{"--output", "DUMMY1"}, ViewerAction::run, "DUMMY1", ""},
        {{"--output=1"}, ViewerAction::run, "1", ""},
        {{"--frame-log", "run.csv", "--output=1"}, ViewerAction::run, "1", "", "", "run.csv"},
        {{"--frame-log"}, ViewerAction::usageError, "", "--frame-log needs a file's name"},
        {{"--list-outputs"}, ViewerAction::listOutputs, "", ""},
        {{"--restore-display"}, ViewerAction::restoreDisplay, "", ""},
        {{"--output", "1", "--version"}, ViewerAction::version, "1", ""},
        {{"--help"}, ViewerAction::help, "", ""},
        {{"--output"}, ViewerAction::usageError, "", "--output needs an output's name or index"},
        {{"--output="}, ViewerAction::usageError, "", "--output needs an output's name or index"},
        {{"--list-outputs", "--frobnicate"},
         ViewerAction::usageError,
         "",
         "unknown option \"--frobnicate\""},
        {{"DUMMY1"}, ViewerAction::usageError, "", "unknown option \"DUMMY1\""},
    };
    for (const Case &c : cases) {
        std::vector<char *> argv = {const_cast<char *>("moiravel-demo")};
        for (const char *arg : c.args) {
            argv.push_back(const_cast<char *>(arg));
        }
        const ViewerOptions options =
            parseViewerOptions(static_cast<int>(argv.size()), argv.data());
        SCOPED_TRACE(argv.size() > 1 ? argv[1] : "(none)");
        EXPECT_EQ(options.action, c.action);
        EXPECT_EQ(options.error, c.error);
        if (c.action != ViewerAction::usageError) {
            EXPECT_EQ(options.output, c.output);
            EXPECT_EQ(options.backend, c.backend);
            EXPECT_EQ(options.frameLog, c.frameLog);
            EXPECT_STREQ(backendArgument(static_cast<int>(argv.size()), argv.data()),
                         *c.backend != '\0' ? c.backend : nullptr);
        }
    }
}

// --backend wins over MOIRAVEL_BACKEND; without either, the first of the default choice that
// looks for what it needs and finds it, then the first that needs nothing checked, else the
// build's first.
TEST(ViewerOptions, BackendChoice) {
    PlatformBackend first{};
    first.name = "first";
    first.inDefaultChoice = true;
    first.offersWhatItNeeds = [] { return false; };
    PlatformBackend asked{};
    asked.name = "asked";
    PlatformBackend ready{};
    ready.name = "ready";
    ready.inDefaultChoice = true;
    PlatformBackend found{};
    found.name = "found";
    found.inDefaultChoice = true;
    found.offersWhatItNeeds = [] { return true; };
    const PlatformBackend *const all[] = {&first, &asked, &ready};
    const PlatformBackend *const unfit[] = {&first, &asked};
    const PlatformBackend *const foundLast[] = {&ready, &first, &found};
    struct Case {
        std::span<const PlatformBackend *const> backends;
        const char *option;
        const char *environment;
        const PlatformBackend *chosen;
        const char *error;
    };
    const Case cases[] = {
        {all, nullptr, nullptr, &ready, ""},
        {foundLast, nullptr, nullptr, &found, ""},
        {foundLast, "ready", nullptr, &ready, ""},
        {unfit, "", "", &first, ""},
        {all, "asked", "first", &asked, ""},
        {all, nullptr, "asked", &asked, ""},
        {all, "", "asked", &asked, ""},
        {all, "wayland", "asked", nullptr,
         "--backend: unknown backend \"wayland\"; this build has first, asked, ready"},
        {unfit, nullptr, "x11", nullptr,
         "MOIRAVEL_BACKEND: unknown backend \"x11\"; this build has first, asked"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.option ? c.option : "(none)") + " / " +
                     (c.environment ? c.environment : "(none)"));
        const BackendChoice choice = chooseBackend(c.backends, c.option, c.environment);
        EXPECT_EQ(choice.backend, c.chosen);
        EXPECT_EQ(choice.error, c.error);
    }
}

} // namespace
