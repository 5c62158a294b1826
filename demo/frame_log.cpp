// The frame log's texts (frame_log.h).
#include "frame_log.h"

#include <cinttypes>
#include <cstdio>

namespace {

// Appends `value` in decimal at `text`; returns the end.
char *decimal(char *text, std::uint64_t value) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        *text++ = digits[--count];
    }
    return text;
}

char *signedDecimal(char *text, std::int64_t value) {
    if (value < 0) {
        *text++ = '-';
        return decimal(text, 0 - static_cast<std::uint64_t>(value));
    }
    return decimal(text, static_cast<std::uint64_t>(value));
}

char *word(char *text, const char *value) {
    while (*value != '\0') {
        *text++ = *value++;
    }
    return text;
}

const char *intervalWord(IntervalState interval) {
    switch (interval) {
    case IntervalState::on:
        return "on";
    case IntervalState::uncontrolled:
        return "uncontrolled";
    case IntervalState::off:
        break;
    }
    return "off";
}

const char *sourceKey(const RefreshCheck &check) {
    switch (check.source) {
    case RefreshSource::syncCounter:
        return check.counterEmulated ? "OML-emulated" : "OML";
    case RefreshSource::displayMode:
        return "display-mode";
    case RefreshSource::measured:
        return "measured";
    case RefreshSource::presentation:
        return "presentation";
    case RefreshSource::none:
        break;
    }
    return "none";
}

} // namespace

const char *frameLogKeyName(unsigned char key) {
    switch (key) {
    case ' ':
        return "space";
    case '+':
        return "plus";
    case '-':
        return "minus";
    case 'f':
        return "f";
    case 's':
        return "s";
    case 'm':
        return "m";
    case 'v':
        return "v";
    case 27:
        return "escape";
    default:
        return nullptr;
    }
}

std::size_t frameRowText(const FrameRow &row, std::uint64_t presentOrigin, char *text) {
    char *end = signedDecimal(text, row.frame);
    *end++ = ',';
    end = decimal(end, row.swapNs);
    *end++ = ',';
    if (row.hasPresent) {
        end = decimal(end, row.presentNs - presentOrigin);
    }
    *end++ = ',';
    if (row.hasCounter) {
        end = decimal(end, row.counter);
    }
    *end++ = ',';
    if (row.refreshes >= 0) {
        end = signedDecimal(end, row.refreshes);
    }
    *end++ = ',';
    if (row.missed >= 0) {
        end = signedDecimal(end, row.missed);
    }
    *end++ = ',';
    end = word(end, intervalWord(row.interval));
    for (const std::int32_t value : {row.mode, row.subimage, row.offsetX, row.offsetY}) {
        *end++ = ',';
        end = signedDecimal(end, value);
    }
    *end++ = ',';
    for (std::int32_t k = 0; k < row.keyCount && k < keysPerRow; ++k) {
        const char *name = frameLogKeyName(row.keys[k]);
        if (name != nullptr) {
            if (end[-1] != ',') {
                *end++ = ' ';
            }
            end = word(end, name);
        }
    }
    *end++ = '\n';
    return static_cast<std::size_t>(end - text);
}

std::string frameLogTrailer(const RefreshCheck &check, FrameLogEnd end) {
    const bool judged = check.verdict == Verdict::judging;
    char numbers[200];
    std::snprintf(numbers, sizeof numbers,
                  " frames=%" PRId64 " period_ns=%" PRIu64 " source=%s output=", check.frames,
                  check.periodNs, sourceKey(check));
    std::string text = std::string("# end=") +
                       (end == FrameLogEnd::escape ? "escape" : "interrupted") + numbers +
                       (check.outputName.empty() ? std::string("-") : check.outputName);
    std::snprintf(numbers, sizeof numbers,
                  " missed=%" PRId64 " places=%" PRId64 " longest=%" PRId64,
                  judged ? check.missed : 0, judged ? check.places : 0, judged ? check.longest : 0);
    text += numbers;
    if (!judged) {
        text += " not_judged=" + cannotJudgeReason(check);
    }
    return text + "\n";
}
