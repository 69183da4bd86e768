// Named lists: every collection of the player (live scenes, a scene's objects, lights, cameras
// and channels, a channel's keys, the texture cache) is a doubly linked list of named nodes.
// A list owns its nodes, never the elements they point at.
#pragma once

class List;

class ListNode {
public:
    explicit ListNode(const char* name);
    // Unlinks the node from its list; the element is not touched.
    virtual ~ListNode();
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;

    ListNode* getNext() const { return next; }
    void* getData() const { return data; }
    void setData(void* element) { data = element; }
    const char* getName() const { return name; }

private:
    friend class List;
    ListNode();   // a list's head sentinel

    ListNode* next = nullptr;
    ListNode* prev = nullptr;
    List* owner = nullptr;
    bool isHead = false;
    void* data = nullptr;
    char* name = nullptr;
};

class List {
public:
    explicit List(const char* name);
    // Destroys every linked node; the elements stay alive.
    virtual ~List();
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    void append(ListNode* node);
    ListNode* first() const { return head.next; }
    // The first node, walking from the first, whose name equals `name` exactly; null if none.
    ListNode* find(const char* name) const;
    // The node at 1-based `position`; null below 1 or past the last node.
    ListNode* at(int position) const;
    int getCount() const { return count; }
    const char* getName() const { return name; }

private:
    friend class ListNode;

    char* name;
    ListNode head;
    ListNode* tail;
    int count = 0;
};
