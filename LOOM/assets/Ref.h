#pragma once
#include <cstddef>
#include <type_traits>
#include <utility>

#include "LOOM/assets/RefCounted.h"

// A counted handle to a shared asset: each Ref holds one reference and gives it back when it
// lets go, so no holder calls Release by hand. The count is changed through calls picked where
// the handle was filled, so a holder's header may keep a Ref to a class it only declares, and
// a class with its own AddRef and Release (a texture with frames) keeps them.
template <typename T>
class Ref
{
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(const Ref& other) : mPtr(other.mPtr), mCount(other.mCount) { AddRef(); }
    Ref(Ref&& other) noexcept : mPtr(std::exchange(other.mPtr, nullptr)), mCount(std::exchange(other.mCount, nullptr))
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& other) : Ref(Share(other.Get()))
    {
    }
    ~Ref() { Reset(); }

    // Takes over a reference the caller already holds (a store's Get, a fresh new).
    static Ref Adopt(T* ptr)
    {
        Ref ref;
        if (ptr)
        {
            ref.mPtr = ptr;
            ref.mCount = &kCount<T>;
        }
        return ref;
    }
    // Adds a reference of its own to an object someone else keeps.
    static Ref Share(T* ptr)
    {
        Ref ref = Adopt(ptr);
        ref.AddRef();
        return ref;
    }

    Ref& operator=(const Ref& other)
    {
        // Copy first: releasing before adding would free an object held by both.
        if (this != &other)
        {
            Ref copy(other);
            Swap(copy);
        }
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept
    {
        Ref taken(std::move(other));
        Swap(taken);
        return *this;
    }
    Ref& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    void Reset()
    {
        T* ptr = std::exchange(mPtr, nullptr);
        if (const Count* count = std::exchange(mCount, nullptr))
            count->release(ptr);
    }
    void Swap(Ref& other) noexcept
    {
        std::swap(mPtr, other.mPtr);
        std::swap(mCount, other.mCount);
    }

    T* Get() const { return mPtr; }
    T* operator->() const { return mPtr; }
    T& operator*() const { return *mPtr; }
    explicit operator bool() const { return mPtr != nullptr; }

    friend bool operator==(const Ref& a, const Ref& b) { return a.mPtr == b.mPtr; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.mPtr == nullptr; }

private:
    struct Count
    {
        void (*addRef)(T*);
        void (*release)(T*);
    };
    template <typename U>
    static constexpr Count kCount{[](U* p) { p->AddRef(); }, [](U* p) { p->Release(); }};

    void AddRef()
    {
        if (mCount)
            mCount->addRef(mPtr);
    }

    T* mPtr = nullptr;
    const Count* mCount = nullptr;
};
