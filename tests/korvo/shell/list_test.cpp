#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/list.h"

namespace {

std::vector<std::string> names(const List& list) {
    std::vector<std::string> seen;
    for (ListNode* node = list.first(); node; node = node->getNext()) seen.push_back(node->getName());
    return seen;
}

ListNode* add(List& list, const char* name, void* data = nullptr) {
    auto* node = new ListNode(name);
    node->setData(data);
    list.append(node);
    return node;
}

TEST(KorvoList, EmptyListsHaveNoNodes) {
    List list("noname");
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.at(1), nullptr);
    EXPECT_EQ(list.at(0), nullptr);
    EXPECT_EQ(list.find("noname"), nullptr);   // the head is never found
    EXPECT_EQ(list.getCount(), 0);
}

TEST(KorvoList, KeepsOrderAndUnlinksDestroyedNodes) {
    List list("noname");
    int p, q, r;
    add(list, "P", &p);
    ListNode* middle = add(list, "Q", &q);
    ListNode* last = add(list, "R", &r);
    EXPECT_EQ(names(list), (std::vector<std::string>{"P", "Q", "R"}));
    EXPECT_EQ(list.at(2)->getData(), &q);
    EXPECT_EQ(list.at(4), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
    delete middle;
    EXPECT_EQ(names(list), (std::vector<std::string>{"P", "R"}));
    EXPECT_EQ(list.getCount(), 2);
    delete last;   // the predecessor becomes the tail: the next append follows it
    add(list, "S");
    EXPECT_EQ(names(list), (std::vector<std::string>{"P", "S"}));
    EXPECT_EQ(list.at(2)->getName(), std::string("S"));
}

TEST(KorvoList, FindReturnsTheEarliestOfEqualNames) {
    List list("noname");
    int first, second;
    ListNode* older = add(list, "intro.lws", &first);
    add(list, "intro.lws", &second);
    EXPECT_EQ(list.find("intro.lws")->getData(), &first);
    EXPECT_EQ(list.find("INTRO.LWS"), nullptr);   // names compare byte for byte
    delete older;
    EXPECT_EQ(list.find("intro.lws")->getData(), &second);
}

TEST(KorvoList, DestroyingTheListLeavesTheElements) {
    std::string element = "alive";
    {
        List list("images");
        add(list, "a", &element);
        add(list, "b", &element);
    }
    EXPECT_EQ(element, "alive");
}

TEST(KorvoList, NodesNameThemselvesWithACopy) {
    List list("noname");
    char name[] = "scene";
    add(list, name);
    name[0] = 'X';
    EXPECT_NE(list.find("scene"), nullptr);
}

}  // namespace
