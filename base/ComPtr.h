#pragma once
// An owning pointer to a COM interface: one reference, released when the pointer goes or is reset, so
// that an early return never leaves a Release chain half done.
#include <unknwn.h>

#include <utility>

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own.
    explicit ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    // Adopts a reference the caller already owns.
    void attach(T* p) {
        reset();
        p_ = p;
    }
    // Hands the reference to the caller.
    T* detach() { return std::exchange(p_, nullptr); }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // QueryInterface into another owning pointer.
    template <typename U>
    HRESULT As(ComPtr<U>* out) const {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out->put_void());
    }

  private:
    T* p_ = nullptr;
};
