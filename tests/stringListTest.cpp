#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testSupport.h"
#include "utility/stringList.h"

using strings = std::vector<std::string>;
using ints = std::vector<int>;

TEST(listPrint, namesEachEntryOrSaysItIsEmpty)
{
    Outcome o = runCaptured([] {
        listPrint({"ba", "", "c d"}, "names");
        std::printf("|");
        listPrint({}, "words");
    });
    EXPECT_EQ(o.out, "names[0] = ba\nnames[1] = \nnames[2] = c d\n|words has zero element!\n");
}

TEST(listJoin, putsTheSeparatorBetweenEntries)
{
    std::string out = "old";
    listJoin({"a", "b", "c"}, ", ", out);
    EXPECT_EQ(out, "a, b, c");
    listJoin({"only"}, ", ", out);
    EXPECT_EQ(out, "only");
    listJoin({}, ", ", out);
    EXPECT_EQ(out, "");
}

TEST(listMatch, testsThePositionOfTheFirstOccurrence)
{
    const strings list{"ab", "cab", "abc", "ab"};
    ints found{42};
    listMatch(list, "ab", found, 0);
    EXPECT_EQ(found, (ints{0, 1, 2, 3}));
    listMatch(list, "ab", found, 1);
    EXPECT_EQ(found, (ints{0, 2, 3}));
    listMatch(list, "ab", found, 2);
    EXPECT_EQ(found, (ints{0, 1, 3}));
    listMatch(list, "ab", found, 3);
    EXPECT_EQ(found, (ints{0, 3}));
    listMatch({"abab"}, "ab", found, 2);
    EXPECT_EQ(found, (ints{}));

    // An invalid matchPos is noticed only at an entry that holds the pattern.
    listMatch(list, "zz", found, 9);
    EXPECT_EQ(found, (ints{}));
    mac2mod::error e = thrownBy([&] { mac2mod::listMatch(list, "ca", found, 9); });
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Unknown matchPos\n");
}

TEST(listSearch, bisectsExactlyOrByPrefix)
{
    const strings list{"ant", "bee", "cat"};
    ints found{42};
    listSearch(list, "bee", found, 0);
    EXPECT_EQ(found, (ints{1}));
    listSearch(list, "dog", found, 0);
    EXPECT_EQ(found, (ints{}));
    listSearch(list, "ca", found, 0);
    EXPECT_EQ(found, (ints{}));
    listSearch(list, "ca", found, 1);
    EXPECT_EQ(found, (ints{2}));
    listSearch(list, "ants", found, 1);
    EXPECT_EQ(found, (ints{}));
    listSearch({}, "ant", found, 1);
    EXPECT_EQ(found, (ints{}));
    // The first entry with the prefix that the bisection meets, not the lowest.
    listSearch({"ba", "bb", "bc"}, "b", found, 1);
    EXPECT_EQ(found, (ints{1}));
    // Bytes compare as unsigned values.
    listSearch({"a", "z", "\xc3\xa9"}, "\xc3\xa9", found, 0);
    EXPECT_EQ(found, (ints{2}));
}

TEST(listExpand, combinesGroupsWithEarlierGroupsFastest)
{
    strings out{"old"};
    listExpand({{"a"}}, out);
    EXPECT_EQ(out, (strings{"a"}));
    listExpand({{"a"}, {"x", "y", "z"}}, out);
    EXPECT_EQ(out, (strings{"a-x", "a-y", "a-z"}));
    listExpand({{"a", "b"}, {"x", "y"}}, out);
    EXPECT_EQ(out, (strings{"a-x", "b-x", "a-y", "b-y"}));
    listExpand({{"a", "b"}, {"x"}, {"1", "2"}}, out);
    EXPECT_EQ(out, (strings{"a-x-1", "b-x-1", "a-x-2", "b-x-2"}));
}

TEST(stringEdits, replaceCaseAndTrim)
{
    std::string s = "aba";
    stringReplaceAll(s, "a", "aa");
    EXPECT_EQ(s, "aabaa");
    s = "a--b--";
    stringReplaceAll(s, "--", "-");
    EXPECT_EQ(s, "a-b-");
    s = "xyz";
    stringReplaceAll(s, "y", "");
    EXPECT_EQ(s, "xz");
    stringReplaceAll(s, "", "q");   // an empty search text changes nothing
    EXPECT_EQ(s, "xz");

    s = "Ab-Z\xc9\xe9";
    stringToLower(s);
    EXPECT_EQ(s, "ab-z\xc9\xe9");
    stringToUpper(s);
    EXPECT_EQ(s, "AB-Z\xc9\xe9");

    s = " \t\v\f\r\n a b \n";
    stringTrim(s);
    EXPECT_EQ(s, "a b");
    s = "    ";
    stringTrim(s);
    EXPECT_EQ(s, "");
}

TEST(wordCount, countsWordsBeforeTheFirstLineEnd)
{
    auto count = [](const std::string &text) { return wordCount(text.data(), static_cast<int>(text.size())); };
    EXPECT_EQ(count("one two\nthree"), 2);
    EXPECT_EQ(count("  one\t two  "), 2);
    EXPECT_EQ(count("x"), 1);
    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("\nword"), 0);
    EXPECT_EQ(wordCount("a b c", 3), 2);   // only len bytes are looked at

    EXPECT_EQ(isSeparator('\0'), 1);
    EXPECT_EQ(isSeparator('\t'), 1);
    EXPECT_EQ(isSeparator('\n'), 1);
    EXPECT_EQ(isSeparator('\r'), 1);
    EXPECT_EQ(isSeparator(' '), 1);
    EXPECT_EQ(isSeparator('\v'), 0);
    EXPECT_EQ(isSeparator('\f'), 0);
    EXPECT_EQ(isSeparator('a'), 0);
}

TEST(bufferXor, repeatsTheKeyAndUndoesItself)
{
    char buffer[] = {'a', 'b', 'c', 'd', 'e'};
    const char key[] = {'\x01', '\x02'};
    bufferXor(buffer, 5, key, 2);
    EXPECT_EQ(std::string(buffer, 5), "``bfd");
    bufferXor(buffer, 5, key, 2);
    EXPECT_EQ(std::string(buffer, 5), "abcde");
}
