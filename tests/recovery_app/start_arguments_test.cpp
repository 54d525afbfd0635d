// The window program's command line: the elevated copy's mark, images as
// disks, and the parameters handed to the elevated copy.
#include "recovery_app/core/start_arguments.h"

#include <gtest/gtest.h>

namespace salvora {
namespace {

// How Windows splits a command line into words (the rules of
// CommandLineToArgvW for everything after the program's name).
std::vector<std::string> splitLikeWindows(const std::string& line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at == line.size())
            break;
        std::string word;
        bool quoted = false;
        for (; at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t')); ++at) {
            size_t backslashes = 0;
            while (at < line.size() && line[at] == '\\')
                ++backslashes, ++at;
            if (at < line.size() && line[at] == '"') {
                word.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    word += '"';
                } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                    word += '"';
                    ++at;
                } else {
                    quoted = !quoted;
                }
            } else {
                word.append(backslashes, '\\');
                if (at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t'))) {
                    word += line[at];
                } else {
                    --at;
                }
            }
        }
        words.push_back(word);
    }
    return words;
}

TEST(StartArguments, RunasMarksTheElevatedCopyOnlyAsTheFirstWord) {
    EXPECT_TRUE(parseStartArguments({"runas"}).elevatedCopy);
    EXPECT_TRUE(parseStartArguments({"runas", "--image", "a.img"}).elevatedCopy);
    EXPECT_FALSE(parseStartArguments({"--image", "runas"}).elevatedCopy);
    EXPECT_FALSE(parseStartArguments({}).elevatedCopy);
    EXPECT_FALSE(parseStartArguments({"RUNAS"}).elevatedCopy);
}

TEST(StartArguments, ImagesAreListedInOrderWithTheirMountedDrives) {
    const StartArguments arguments = parseStartArguments(
        {"-start", "--image", "C:\\cards\\one.img", "--mounted", "e:f:", "--image", "two.img"});
    ASSERT_EQ(arguments.images.size(), 2u);
    EXPECT_EQ(arguments.images[0].path, "C:\\cards\\one.img");
    EXPECT_EQ(arguments.images[0].mountedDrives, "E:F:");
    EXPECT_EQ(arguments.images[1].path, "two.img");
    EXPECT_EQ(arguments.images[1].mountedDrives, "");
    EXPECT_TRUE(arguments.problems.empty());
}

TEST(StartArguments, WordsThatCannotBeUsedAreReportedAndTheRestKept) {
    StartArguments arguments = parseStartArguments({"--mounted", "E:", "--image", "a.img", "--mounted", "E"});
    ASSERT_EQ(arguments.images.size(), 1u);
    EXPECT_EQ(arguments.images[0].mountedDrives, "");
    ASSERT_EQ(arguments.problems.size(), 2u);
    EXPECT_NE(arguments.problems[0].find("must follow --image"), std::string::npos);
    EXPECT_NE(arguments.problems[1].find("E:F:"), std::string::npos);

    arguments = parseStartArguments({"--image"});
    EXPECT_TRUE(arguments.images.empty());
    ASSERT_EQ(arguments.problems.size(), 1u);
    EXPECT_EQ(arguments.problems[0], "--image needs a value after it.");

    EXPECT_FALSE(parseStartArguments({"--image", "a", "--mounted", "1:"}).problems.empty());
    EXPECT_FALSE(parseStartArguments({"--image", "a", "--mounted", "E:F"}).problems.empty());
}

TEST(StartArguments, TheElevatedCopyGetsTheSameWordsBack) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"--image", "C:\\Program Files\\card one.img"},
        {"--image", "D:\\ends with a backslash\\"},
        {"--image", "say \"cheese\".img", "--mounted", "E:"},
        {"", "a\\\\b", "a\\\"b", "\\\\server\\share\\x y\\", "tab\there"},
    };
    for (const auto& words : cases) {
        const std::vector<std::string> split = splitLikeWindows(elevatedParameters(words));
        ASSERT_FALSE(split.empty());
        EXPECT_EQ(split.front(), "runas");
        EXPECT_EQ(std::vector<std::string>(split.begin() + 1, split.end()), words)
            << elevatedParameters(words);
    }
}

}  // namespace
}  // namespace salvora
