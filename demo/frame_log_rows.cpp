// SPDX-License-Identifier: MIT
// The frame log's texts (frame_log_rows.h).
#include "frame_log_rows.h"

#include <algorithm>
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

char *word(char *text, std::string_view value) {
    return std::copy(value.begin(), value.end(), text);
}

std::string_view intervalWord(IntervalState interval) {
    switch (interval) {
    case IntervalState::on:
        return frameLogFormat::intervalOn;
    case IntervalState::uncontrolled:
        return frameLogFormat::intervalUncontrolled;
    case IntervalState::off:
        break;
    }
    return frameLogFormat::intervalOff;
}

// The source's name in frameLogFormat::sourceNames' order.
std::string_view sourceKey(const RefreshCheck &check) {
    const auto &names = frameLogFormat::sourceNames;
    switch (check.source) {
    case RefreshSource::syncCounter:
        return check.counterEmulated ? names[1] : names[0];
    case RefreshSource::displayMode:
        return names[2];
    case RefreshSource::measured:
        return names[3];
    case RefreshSource::presentation:
        return names[4];
    case RefreshSource::none:
        break;
    }
    return names[5];
}

} // namespace

const char *frameLogKeyName(unsigned char key) {
    for (std::size_t i = 0; i < frameLogFormat::keyCharacters.size(); ++i) {
        if (frameLogFormat::keyCharacters[i] == key) {
            return frameLogFormat::keyNames[i].data();
        }
    }
    return nullptr;
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
                  check.periodNs, std::string(sourceKey(check)).c_str());
    std::string text = std::string(frameLogFormat::trailerStart) +
                       std::string(end == FrameLogEnd::escape ? frameLogFormat::endEscape
                                                              : frameLogFormat::endInterrupted) +
                       numbers + (check.outputName.empty() ? std::string("-") : check.outputName);
    std::snprintf(numbers, sizeof numbers,
                  " missed=%" PRId64 " places=%" PRId64 " longest=%" PRId64,
                  judged ? check.missed : 0, judged ? check.places : 0, judged ? check.longest : 0);
    text += numbers;
    if (!judged) {
        text += " " + std::string(frameLogFormat::notJudged) + cannotJudgeReason(check);
    }
    return text + "\n";
}
