#pragma once

#include <utility>

// Holds one reference to an object-library object (a COM interface or a
// helper-library instance): releases the old object before taking a new one,
// and its object when it goes. Move-only.
template <typename T>
class OwningHolder {
  public:
    OwningHolder() = default;
    // Takes over a reference the caller already owns.
    explicit OwningHolder(T* object) : object_(object) {}
    OwningHolder(const OwningHolder&) = delete;
    OwningHolder& operator=(const OwningHolder&) = delete;
    OwningHolder(OwningHolder&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    OwningHolder& operator=(OwningHolder&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.object_, nullptr));
        }
        return *this;
    }
    ~OwningHolder() { Reset(); }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Releases the held object, then takes over `object`'s reference.
    void Reset(T* object = nullptr) {
        if (object_ != nullptr) {
            std::exchange(object_, nullptr)->Release();
        }
        object_ = object;
    }

    // Releases the held object and gives the slot for an out parameter.
    T** Put() {
        Reset();
        return &object_;
    }

    // Adds a reference for `object` and holds it.
    void Share(T* object) {
        if (object != nullptr) {
            object->AddRef();
        }
        Reset(object);
    }

    T* Detach() { return std::exchange(object_, nullptr); }

  private:
    T* object_ = nullptr;
};
