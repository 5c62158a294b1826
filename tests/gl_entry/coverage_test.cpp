// SPDX-License-Identifier: MIT
// The table as a whole: every entry of the list, its group, its result type, its stub.
#include "fake_lookup.h"
#include "slots.h"

#include "gl_entry/entry_points.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <type_traits>

// Every GL slot has exactly the PFN...PROC type that the system's GL headers define for it,
// calling convention included (mingw-w64's headers for Windows define the same set).
#define GL_ENTRY_PFN_TYPE(name, pfn)                                                               \
    static_assert(std::is_same_v<gl_entry::types::name, pfn>, #name " differs from " #pfn);
#include "gl_entry/glext_pfn_types.inc"
#undef GL_ENTRY_PFN_TYPE

namespace {

// Taken during dynamic initialisation, before main: the table must not have looked anything up.
const int lookupsBeforeMain = fake_lookup::totalLookups();

class CoverageTest : public ::testing::Test {
  protected:
    void SetUp() override { resetAll(); }
    void TearDown() override { resetAll(); }
    static void resetAll() {
        fake_lookup::reset();
        slots::restoreInitialValues();
    }
};

bool endsWith(const std::string &text, const std::string &suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST_F(CoverageTest, ListsEveryEntryOnceWithTheGroupCounts) {
    const std::map<std::string, int> expected = {
        {"OpenGL 1.2, imaging subset included", 38},
        {"OpenGL 1.3", 46},
        {"OpenGL 1.4", 45},
        {"OpenGL 1.5", 19},
        {"GL, ARB", 203},
        {"GL, EXT", 187},
        {"GL, NV", 162},
        {"GL, ATI", 88},
        {"GL, SUN", 56},
        {"GL, SUNX", 1},
        {"GL, SGIX", 50},
        {"GL, SGIS", 21},
        {"GL, SGI", 7},
        {"GL, MESA", 25},
        {"GL, APPLE", 20},
        {"GL, IBM", 10},
        {"GL, HP", 6},
        {"GL, INTEL", 4},
        {"GL, PGI", 1},
        {"GL, INGR", 1},
        {"GL, 3DFX", 1},
        {"GL, WIN", 1},
        {"WGL, ARB", 18},
        {"WGL, EXT", 17},
        {"WGL, I3D", 30},
        {"WGL, OML", 6},
        {"WGL, NV", 2},
    };
    std::map<std::string, int> counted;
    std::set<std::string> names;
    for (const slots::Slot &slot : slots::all()) {
        const std::string name = slot.name;
        const std::string group = slot.group;
        EXPECT_TRUE(names.insert(name).second) << name << " is listed twice";
        ++counted[group];
        if (group.rfind("OpenGL ", 0) == 0) {
            EXPECT_EQ(name.rfind("gl", 0), 0u) << name;
            for (const auto &[other, count] : expected) {
                if (other.rfind("OpenGL ", 0) != 0) {
                    const std::string suffix = other.substr(other.find(", ") + 2);
                    EXPECT_FALSE(endsWith(name, suffix)) << name << " is in " << group;
                }
            }
        } else {
            // "GL, EXT" holds gl...EXT, "WGL, EXT" holds wgl...EXT.
            const std::string prefix = group.rfind("WGL", 0) == 0 ? "wgl" : "gl";
            const std::string suffix = group.substr(group.find(", ") + 2);
            EXPECT_EQ(name.rfind(prefix, 0), 0u) << name << " is in " << group;
            EXPECT_TRUE(endsWith(name, suffix)) << name << " is in " << group;
        }
    }
    EXPECT_EQ(slots::all().size(), 1065u);
    EXPECT_EQ(counted, expected);
}

TEST_F(CoverageTest, ResultTypesFallIntoTheExpectedKinds) {
    std::map<std::string, int> kinds;
    for (const slots::Slot &slot : slots::all()) {
        const std::string result = slot.resultType;
        if (result == "void" || result == "VOID") {
            ++kinds["void"];
        } else if (result == "GLboolean" || result == "INT64") {
            ++kinds[result];
        } else {
            ++kinds["other"];
        }
    }
    EXPECT_EQ(kinds, (std::map<std::string, int>{
                         {"void", 949}, {"GLboolean", 26}, {"INT64", 2}, {"other", 88}}));
}

TEST_F(CoverageTest, NothingIsLookedUpBeforeTheFirstCall) {
    EXPECT_EQ(lookupsBeforeMain, 0);
    std::set<gl_entry::ProcAddress> stubs;
    const std::vector<gl_entry::ProcAddress> &initial = slots::initialValues();
    for (std::size_t i = 0; i < initial.size(); ++i) {
        const slots::Slot &slot = slots::all()[i];
        EXPECT_NE(initial[i], nullptr) << slot.name;
        EXPECT_TRUE(stubs.insert(initial[i]).second) << slot.name << " shares another's stub";
        EXPECT_NE(initial[i], slot.recorder) << slot.name;
    }
}

// Each stub looks up its own name, and only that, and answers the zero result.
TEST_F(CoverageTest, EveryStubLooksUpItsOwnNameAndReturnsZeroWhenUnresolved) {
    const std::vector<gl_entry::ProcAddress> &initial = slots::initialValues();
    for (std::size_t i = 0; i < slots::all().size(); ++i) {
        const slots::Slot &slot = slots::all()[i];
        fake_lookup::reset();
        EXPECT_TRUE(slot.callWithZeros()) << slot.name << " returned a non-zero result";
        EXPECT_EQ(fake_lookup::lookedUpNames(), std::vector<std::string>{slot.name});
        EXPECT_EQ(slot.read(), initial[i]) << slot.name << " left its stub";
    }
}

// Each stub stores the looked-up address in its own slot and forwards arguments and result.
TEST_F(CoverageTest, EveryStubResolvesItsSlotAndForwardsTheCall) {
    for (const slots::Slot &slot : slots::all()) {
        fake_lookup::reset();
        fake_lookup::provide(slot.name, slot.recorder);
        const int callsBefore = slots::recorderCalls();

        EXPECT_TRUE(slot.callWithMarkers()) << slot.name << ": result lost on the first call";
        EXPECT_EQ(slot.read(), slot.recorder) << slot.name;
        EXPECT_TRUE(slot.callWithMarkers()) << slot.name << ": result lost on the second call";

        EXPECT_EQ(slots::recorderCalls() - callsBefore, 2) << slot.name;
        EXPECT_EQ(fake_lookup::lookedUpNames(), std::vector<std::string>{slot.name});
    }
    EXPECT_EQ(slots::recorderCallsWithWrongArguments(), 0);
}

} // namespace
