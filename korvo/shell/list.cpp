#include "shell/list.h"

#include <cstring>

namespace {

char* copyName(const char* name) {
    size_t length = std::strlen(name ? name : "");
    char* copy = new char[length + 1];
    std::memcpy(copy, name ? name : "", length + 1);
    return copy;
}

}  // namespace

ListNode::ListNode(const char* nodeName) : name(copyName(nodeName)) {}

ListNode::ListNode() : isHead(true), name(copyName("noname")) {}

ListNode::~ListNode() {
    if (owner && !isHead) {
        owner->count -= 1;
        if (next) next->prev = prev;
        prev->next = next;
        if (owner->tail == this) owner->tail = prev;
    }
    delete[] name;
}

List::List(const char* listName) : name(copyName(listName)), tail(&head) {}

List::~List() {
    ListNode* node = head.next;
    while (node) {
        ListNode* following = node->next;
        delete node;
        node = following;
    }
    delete[] name;
}

void List::append(ListNode* node) {
    count += 1;
    node->owner = this;
    node->prev = tail;
    node->next = tail->next;
    tail->next = node;
    tail = node;
}

ListNode* List::find(const char* wanted) const {
    for (ListNode* node = head.next; node; node = node->next)
        if (std::strcmp(node->name, wanted) == 0) return node;
    return nullptr;
}

ListNode* List::at(int position) const {
    if (position < 1) return nullptr;
    int index = 1;
    for (ListNode* node = head.next; node; node = node->next, ++index)
        if (index == position) return node;
    return nullptr;
}
