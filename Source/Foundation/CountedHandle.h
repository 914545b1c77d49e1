// CountedHandle.h - the library's reference-counted owning pointer.
//
// Portable: no platform headers. Several holders share one object; the last release deletes it.
// One holder may also destroy the object at once with destroyNow: every other handle to it then
// reads as null. The shared counter is atomic, so handles to one object may be copied and released
// on different threads.
#pragma once

#include <atomic>
#include <cstdint>

namespace Vorlix {

template <typename T> class CountedHandle {
public:
    CountedHandle() = default;

    explicit CountedHandle(T* pointer) : object(pointer)
    {
        if (object != nullptr) {
            counter = new std::atomic<int32_t>(1);
        }
    }

    CountedHandle(const CountedHandle& other) { take(other); }

    // A handle to a derived class converts to a handle to its base; both share one counter.
    template <typename U>
    CountedHandle(const CountedHandle<U>& other) // NOLINT: implicit like a pointer conversion
    {
        take(other);
    }

    // The new object is taken before the old one is let go: `other` may live inside the object
    // this handle releases (head = head->next on the last holder).
    CountedHandle& operator=(const CountedHandle& other)
    {
        if (this != &other) {
            T* const oldObject = object;
            std::atomic<int32_t>* const oldCounter = counter;
            take(other);
            releaseShare(oldObject, oldCounter);
        }
        return *this;
    }

    virtual ~CountedHandle() { release(); }

    // True when empty, or when the object was destroyed through another handle.
    virtual bool isNull() const { return object == nullptr || (counter != nullptr && counter->load() < 1); }

    virtual void reset() { release(); }

    virtual void destroyNow()
    {
        if (counter != nullptr) {
            int32_t n = counter->load();
            while (n > 1) {
                // Claim the object before deleting it, so no concurrent release deletes it too.
                if (counter->compare_exchange_weak(n, 1 - n)) {
                    deleteObject(object);
                    object = nullptr;
                    counter = nullptr;
                    return;
                }
            }
            if (n == 1) {
                release();
                return;
            }
        }
        // Already destroyed elsewhere (or empty): this handle lets go of the counter.
        release();
    }

    virtual bool equals(const CountedHandle& other) const { return object == other.object; }

    T* get() const { return isNull() ? nullptr : object; }
    T* operator->() const { return object; }
    T& operator*() const { return *object; }

    // The shared counter's value: n > 0 holders, -m after destroyNow with m holders left, 0 if empty.
    int32_t useCount() const { return counter != nullptr ? counter->load() : 0; }

private:
    template <typename U> friend class CountedHandle;

    template <typename U> void take(const CountedHandle<U>& other)
    {
        object = other.object;
        counter = other.counter;
        if (counter != nullptr) {
            int32_t n = counter->load();
            // Move the count one step away from zero: destroyed objects count their holders downwards.
            while (!counter->compare_exchange_weak(n, n >= 0 ? n + 1 : n - 1)) {
            }
        }
    }

    void release()
    {
        T* const oldObject = object;
        std::atomic<int32_t>* const oldCounter = counter;
        object = nullptr;
        counter = nullptr;
        releaseShare(oldObject, oldCounter);
    }

    // Gives up one share of an object; the handle no longer refers to it when this runs, so a
    // destructor that reaches back to this handle finds it empty.
    static void releaseShare(T* sharedObject, std::atomic<int32_t>* sharedCounter)
    {
        if (sharedObject == nullptr || sharedCounter == nullptr) {
            return;
        }
        int32_t n = sharedCounter->load();
        for (;;) {
            const int32_t next = n < 0 ? n + 1 : n - 1;
            if (sharedCounter->compare_exchange_weak(n, next)) {
                if (next == 0) {
                    if (n > 0) {
                        deleteObject(sharedObject);
                    }
                    delete sharedCounter;
                }
                return;
            }
        }
    }

    static void deleteObject(T* pointer)
    {
        try {
            delete pointer;
        } catch (...) {
            // A throwing destructor must not take its holders down with it.
        }
    }

    T* object = nullptr;
    std::atomic<int32_t>* counter = nullptr;
};

} // namespace Vorlix
