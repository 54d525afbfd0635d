#include "media/image_names.h"

#include <cctype>

namespace salvora {

namespace {

// Position of the dot before the extension of the file name in `path`, or
// npos when the file name has no extension (or is nothing but one).
size_t extensionDot(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart || dot + 1 == path.size())
        return std::string::npos;
    return dot;
}

bool allOf(const std::string& text, int (*test)(int)) {
    for (const char c : text) {
        if (!test(static_cast<unsigned char>(c)))
            return false;
    }
    return !text.empty();
}

int isLowerLetter(int c) {
    return c >= 'a' && c <= 'z';
}

int isDecimal(int c) {
    return c >= '0' && c <= '9';
}

uint64_t powerOf(uint64_t base, size_t exponent) {
    uint64_t result = 1;
    while (exponent-- > 0)
        result *= base;
    return result;
}

// Adds one to a run of upper- or lower-case letters ("AZ" -> "BA"); false
// when it overflows ("ZZ").
bool incrementLetters(std::string& letters) {
    for (size_t i = letters.size(); i-- > 0;) {
        const bool upper = std::isupper(static_cast<unsigned char>(letters[i])) != 0;
        const char last = upper ? 'Z' : 'z';
        if (letters[i] != last) {
            ++letters[i];
            return true;
        }
        letters[i] = upper ? 'A' : 'a';
    }
    return false;
}

}  // namespace

std::optional<SplitSeries> splitSeriesOf(const std::string& path) {
    const size_t dot = extensionDot(path);
    if (dot == std::string::npos)
        return std::nullopt;
    const std::string suffix = path.substr(dot + 1);
    if (suffix.size() < 2 || suffix.size() > 3)
        return std::nullopt;
    SplitSeries series;
    series.stem = path.substr(0, dot + 1);
    series.width = suffix.size();
    if (allOf(suffix, isDecimal)) {
        series.numeric = true;
        series.given = std::stoull(suffix);
        return series;
    }
    if (allOf(suffix, isLowerLetter)) {
        series.numeric = false;
        for (const char c : suffix)
            series.given = series.given * 26 + static_cast<uint64_t>(c - 'a');
        return series;
    }
    return std::nullopt;
}

std::string splitPartName(const SplitSeries& series, uint64_t number) {
    const uint64_t base = series.numeric ? 10 : 26;
    if (number >= powerOf(base, series.width))
        return {};
    std::string suffix(series.width, series.numeric ? '0' : 'a');
    for (size_t i = series.width; i-- > 0; number /= base)
        suffix[i] = static_cast<char>((series.numeric ? '0' : 'a') + number % base);
    return series.stem + suffix;
}

std::optional<uint64_t> splitPartNumber(const SplitSeries& series, const std::string& path) {
    const std::optional<SplitSeries> other = splitSeriesOf(path);
    if (!other || other->stem != series.stem || other->numeric != series.numeric ||
        other->width != series.width)
        return std::nullopt;
    return other->given;
}

bool hasEvidenceExtension(const std::string& path) {
    const size_t dot = extensionDot(path);
    if (dot == std::string::npos)
        return false;
    const std::string extension = path.substr(dot + 1);
    const std::string kinds = "EeLlSs";
    if (extension.size() == 3)
        return kinds.find(extension[0]) != std::string::npos && allOf(extension.substr(1), isDecimal);
    if (extension.size() == 4) {
        return kinds.find(extension[0]) != std::string::npos &&
               (extension[1] == 'x' || extension[1] == 'X') && allOf(extension.substr(2), isDecimal);
    }
    return false;
}

std::string nextSegmentName(const std::string& path) {
    const size_t dot = extensionDot(path);
    if (dot == std::string::npos)
        return {};
    std::string extension = path.substr(dot + 1);
    const bool evf2 = extension.size() == 4 && (extension[1] == 'x' || extension[1] == 'X');
    if (extension.size() != 3 && !evf2)
        return {};
    if (!std::isalpha(static_cast<unsigned char>(extension[0])))
        return {};
    const size_t counter = extension.size() - 2;
    std::string pair = extension.substr(counter);
    if (allOf(pair, isDecimal)) {
        const int number = std::stoi(pair);
        if (number < 99) {
            pair = std::string(1, static_cast<char>('0' + (number + 1) / 10)) +
                   static_cast<char>('0' + (number + 1) % 10);
        } else {
            const bool upper = std::isupper(static_cast<unsigned char>(extension[0])) != 0;
            pair = upper ? "AA" : "aa";
        }
        return path.substr(0, dot + 1) + extension.substr(0, counter) + pair;
    }
    if (!std::isalpha(static_cast<unsigned char>(pair[0])) ||
        !std::isalpha(static_cast<unsigned char>(pair[1])))
        return {};
    // The letters carry into the first letter of the extension: EZZ -> FAA.
    std::string letters = std::string(1, extension[0]) + pair;
    if (!incrementLetters(letters))
        return {};
    extension[0] = letters[0];
    return path.substr(0, dot + 1) + extension.substr(0, counter) + letters.substr(1);
}

}  // namespace salvora
