#pragma once
// The process-wide map from session handles to sessions: a circular doubly
// linked ring whose search rotates the head onto the node it finds, so that
// the session used last is found first next time.
#include <cstdint>
#include <new>

#include "platform/critical_section.h"

class CVantix;

// One registry record: the handle (kept in a 64-bit slot) and its session.
struct CSDKDATA {
    int64_t handle;
    CVantix* session;
};

template <typename Record>
class CTRing {
public:
    struct Node {
        Record record;
        Node* prev;
        Node* next;
    };

    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    // Frees the nodes one by one from the head; never what their records point to.
    virtual ~CTRing() {
        while (RemoveHead()) {
        }
    }

    // Copies the record into a new node just before the current head and makes
    // it the head. False only when the node cannot be allocated.
    virtual bool Insert(const Record& record) {
        vantix::ScopedLock lock(section_);
        Node* node = new (std::nothrow) Node{record, nullptr, nullptr};
        if (node == nullptr) return false;
        if (head_ == nullptr) {
            node->prev = node->next = node;
            count_ = 1;
        } else {
            ++count_;
            node->prev = head_->prev;
            node->next = head_;
            head_->prev->next = node;
            head_->prev = node;
        }
        head_ = node;
        return true;
    }

    // Rotating search. On success the found node is the head; on failure the
    // head is the node that was last before the starting head. Callers hold
    // the lock (Lookup does).
    bool Find(int64_t key) {
        if (head_ == nullptr) return false;
        const int64_t tailKey = head_->prev->record.handle;
        if (head_->record.handle == key) return true;
        for (;;) {
            if (head_->record.handle == tailKey) return false;
            head_ = head_->next;
            if (head_->record.handle == key) return true;
        }
    }

    // The node holding `key`, or null. Serialised: the search moves the head.
    Node* Lookup(int64_t key) {
        vantix::ScopedLock lock(section_);
        return Find(key) ? head_ : nullptr;
    }

    // Unlinks and frees the head node; 0 when the ring is empty.
    int RemoveHead() {
        vantix::ScopedLock lock(section_);
        if (head_ == nullptr) return 0;
        Node* old = head_;
        Node* next = nullptr;
        if (old->next != old) {
            --count_;
            old->prev->next = old->next;
            old->next->prev = old->prev;
            next = old->next;
        } else {
            count_ = 0;
        }
        delete old;
        head_ = next;
        return 1;
    }

    // Removes the node holding `key`; 0 when there is none.
    int Remove(int64_t key) {
        vantix::ScopedLock lock(section_);
        return Find(key) ? RemoveHead() : 0;
    }

    int32_t Count() const { return count_; }
    Node* Head() const { return head_; }
    vantix::CriticalSection& Section() { return section_; }

private:
    Node* head_ = nullptr;
    int32_t count_ = 0;
    vantix::CriticalSection section_;
};

// The registry of sessions. Every operation takes the ring's lock; the lock is
// recursive, so the compound operations below can use the ring's own calls.
class CSdkChain final : public CTRing<CSDKDATA> {
public:
    // Makes a session and a fresh non-zero handle that is not registered yet,
    // and registers them. Returns the handle, or 0 when the session cannot be
    // allocated.
    int32_t CreateSession();

    // The session behind a handle, or null for an unknown handle or a record
    // without a session.
    CVantix* SessionFor(int32_t handle);

    // Unregisters the handle and returns its session for the caller to
    // destroy, outside the lock; null when the handle is unknown. The record
    // is removed before the session is destroyed, so no other lookup can
    // reach a session in destruction.
    bool Detach(int32_t handle, CVantix** session);
};

// The library's registry: constructed at load, destroyed at unload.
CSdkChain& SdkChain();
