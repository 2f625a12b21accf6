#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "testSupport.h"

namespace {

// Each record carries its first position in its last transition entry and in its last
// variance slot, so that the tags show whole records moving.
void makeNamedSet(macroClass &set, const std::vector<std::string> &names)
{
    int n = static_cast<int>(names.size());
    set.MMF.modelNum = n;
    set.MMF.streamNum = 1;
    set.MMF.vecSize[0] = 1;
    set.MMF.model = allocateModels(n);
    for (int m = 0; m < n; m++) {
        hmmModel &model = set.MMF.model[m];
        std::strcpy(model.str, names[m].c_str());
        model.stateNum = 2;
        model.transProb[4][4] = static_cast<float>(m);
        model.state[2].stream[2].mixture[11].variance[23] = static_cast<float>(m);
    }
}

std::vector<int> tags(const macroClass &set)
{
    std::vector<int> order;
    for (int m = 0; m < set.MMF.modelNum; m++) {
        const hmmModel &model = set.MMF.model[m];
        int tag = static_cast<int>(model.transProb[4][4]);
        order.push_back(model.state[2].stream[2].mixture[11].variance[23] == tag ? tag : -1);
    }
    return order;
}

std::vector<std::string> names(const macroClass &set)
{
    std::vector<std::string> list;
    for (int m = 0; m < set.MMF.modelNum; m++)
        list.push_back(set.MMF.model[m].str);
    return list;
}

using taggedName = std::pair<std::string, int>;

// The quicksort as its steps are laid down: first element as pivot, whole elements swapped,
// recursion into both sides.
void referenceSort(std::vector<taggedName> &v, int left, int right)
{
    if (left >= right)
        return;
    const std::string pivot = v[left].first;
    int i = left;
    int j = right + 1;
    do {
        i++;
        while (std::strcmp(v[i].first.c_str(), pivot.c_str()) < 0 && i < right)
            i++;
        j--;
        while (std::strcmp(v[j].first.c_str(), pivot.c_str()) > 0 && j > left)
            j--;
        if (i < j)
            std::swap(v[i], v[j]);
    } while (i < j);
    std::swap(v[j], v[left]);
    referenceSort(v, left, j - 1);
    referenceSort(v, j + 1, right);
}

// Names in rising (or falling) order, each repeated the given number of times.
std::vector<std::string> sortedNames(int n, bool reversed, int repeat = 1)
{
    std::vector<std::string> list(n);
    char name[MAX_NAME_LEN];
    for (int m = 0; m < n; m++) {
        std::snprintf(name, sizeof name, "m%07d", (reversed ? n - m : m) / repeat);
        list[m] = name;
    }
    return list;
}

}  // namespace

TEST(sortModels, ordersByUnsignedBytesMovingWholeRecords)
{
    macroClass bac;
    makeNamedSet(bac, {"b", "a", "c"});
    bac.sortModels(0, 2);
    EXPECT_EQ(names(bac), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(tags(bac), (std::vector<int>{1, 0, 2}));

    macroClass abc;
    makeNamedSet(abc, {"a", "b", "c"});
    abc.sortModels(0, 2);
    EXPECT_EQ(tags(abc), (std::vector<int>{0, 1, 2}));

    macroClass bytes;
    makeNamedSet(bytes, {"a", "\x80x", "abc", "Z", "ab", "b", "\xff"});
    bytes.sortModels(0, 6);
    EXPECT_EQ(names(bytes), (std::vector<std::string>{"Z", "a", "ab", "abc", "b", "\x80x", "\xff"}));
}

TEST(sortModels, equalNamesEndWhereThePartitionStepsPutThem)
{
    macroClass twins;
    makeNamedSet(twins, {"x", "x"});
    twins.sortModels(0, 1);
    EXPECT_EQ(tags(twins), (std::vector<int>{1, 0}));

    // Many equal names, and runs in rising or falling order with and without repeats, on
    // whole sets and on sub-ranges whose ends must stay put.
    std::mt19937 random(11);
    auto letters = [&](int n, int alphabet) {
        std::vector<std::string> list(n);
        for (std::string &name : list)
            name = std::string(1, static_cast<char>('a' + random() % alphabet)) +
                   (random() % 4 == 0 ? "b" : "");
        return list;
    };
    auto run = [](int n, int step, int repeat) {
        std::vector<std::string> list;
        for (int m = 0; m < n; m++)
            list.push_back(std::string(1, static_cast<char>('a' + 30 + step * (m / repeat))));
        return list;
    };
    std::vector<std::vector<std::string>> sets;
    for (int n : {2, 3, 7, 40, 300})
        for (int alphabet : {1, 2, 3, 5})
            sets.push_back(letters(n, alphabet));
    for (int n : {2, 3, 4, 9, 30})
        for (int step : {1, -1})
            for (int repeat : {1, 2, 3}) {
                sets.push_back(run(n, step, repeat));
                std::vector<std::string> mixed = letters(n, 3);
                std::vector<std::string> tail = run(n, step, repeat);
                mixed.insert(random() % 2 ? mixed.end() : mixed.begin(), tail.begin(), tail.end());
                sets.push_back(mixed);
            }

    for (const std::vector<std::string> &list : sets) {
        int n = static_cast<int>(list.size());
        for (int trim : {0, 1}) {
            int left = n > 3 ? trim : 0;
            int right = n > 3 ? n - 1 - trim : n - 1;
            macroClass set;
            makeNamedSet(set, list);
            set.sortModels(left, right);

            std::vector<taggedName> expected;
            for (int m = 0; m < n; m++)
                expected.push_back({list[m], m});
            referenceSort(expected, left, right);
            std::vector<int> expectedTags;
            for (const taggedName &entry : expected)
                expectedTags.push_back(entry.second);
            EXPECT_EQ(tags(set), expectedTags) << ::testing::PrintToString(list) << " from " << left;
        }
    }
}

TEST(sortModels, rangesOfOneOrNoModelChangeNothing)
{
    macroClass set;
    makeNamedSet(set, {"c", "b", "a"});
    set.sortModels(1, 1);
    set.sortModels(2, 1);
    EXPECT_EQ(tags(set), (std::vector<int>{0, 1, 2}));

    macroClass empty;   // no model array at all
    empty.sortModels(0, -1);
    EXPECT_EQ(empty.MMF.model, nullptr);
    EXPECT_EQ(empty.findModel(0, -1, "a"), -1);
}

// A set in name order whose names come in pairs splits into sides of 1 and n - 2 at every
// step (and the reversed set nearly so); the sort must not nest that deep. A thread with a
// small stack makes a deep nesting crash.
TEST(sortModels, longSetsInOrderOrReversedSortOnASmallStack)
{
    Outcome o = runCaptured([] {
        for (bool reversed : {false, true}) {
            macroClass set;
            makeNamedSet(set, sortedNames(20000, reversed, 2));
            pthread_attr_t attributes;
            pthread_attr_init(&attributes);
            pthread_attr_setstacksize(&attributes, 256 * 1024);
            pthread_t thread;
            auto sort = [](void *argument) -> void * {
                macroClass &set = *static_cast<macroClass *>(argument);
                set.sortModels(0, set.MMF.modelNum - 1);
                return nullptr;
            };
            if (pthread_create(&thread, &attributes, sort, &set) != 0 || pthread_join(thread, nullptr) != 0)
                return;
            std::vector<std::string> list = names(set);
            std::printf("%s ", std::is_sorted(list.begin(), list.end()) ? "sorted" : "unsorted");
        }
    });
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.out, "sorted sorted ");
}

TEST(swapModels, exchangesWholeRecordsAndLeavesASelfSwapAlone)
{
    macroClass set;
    makeNamedSet(set, {"a", "b"});
    hmmModel first = set.MMF.model[0];
    hmmModel second = set.MMF.model[1];
    set.swapModels(0, 1);
    EXPECT_EQ(std::memcmp(&set.MMF.model[0], &second, sizeof(hmmModel)), 0);
    EXPECT_EQ(std::memcmp(&set.MMF.model[1], &first, sizeof(hmmModel)), 0);
    set.swapModels(1, 1);
    EXPECT_EQ(std::memcmp(&set.MMF.model[1], &first, sizeof(hmmModel)), 0);
}

TEST(findModel, findsEachNameOfASortedSetAndNothingElse)
{
    macroClass abc;
    makeNamedSet(abc, {"a", "b", "c"});
    EXPECT_EQ(abc.findModel(0, 2, "b"), 1);
    EXPECT_EQ(abc.findModel(0, 2, "a"), 0);
    EXPECT_EQ(abc.findModel(0, 2, "c"), 2);
    EXPECT_EQ(abc.findModel(0, 2, "bb"), -1);
    EXPECT_EQ(abc.findModel(0, 2, ""), -1);
    EXPECT_EQ(abc.findModel(1, 2, "a"), -1);

    std::vector<std::string> list = sortedNames(1000, false);
    macroClass many;
    makeNamedSet(many, list);
    int misses = 0;
    for (int m = 0; m < 1000; m++)
        misses += many.findModel(0, 999, list[m].c_str()) != m;
    EXPECT_EQ(misses, 0);

    macroClass same;
    makeNamedSet(same, {"a", "x", "x", "x", "z"});
    EXPECT_STREQ(same.MMF.model[same.findModel(0, 4, "x")].str, "x");
}
