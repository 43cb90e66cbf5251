#pragma once
// Owns one strong reference to a GObject.
#include <glib-object.h>

#include <utility>

namespace kivo {

template <typename T>
class GObjectRef {
public:
    GObjectRef() = default;
    // Takes over a reference the caller owns (a floating one is sunk).
    static GObjectRef Adopt(T* object) {
        GObjectRef ref;
        if (object && g_object_is_floating(object)) g_object_ref_sink(object);
        ref.object_ = object;
        return ref;
    }
    // Adds a reference of its own.
    static GObjectRef Share(T* object) {
        GObjectRef ref;
        if (object) ref.object_ = static_cast<T*>(g_object_ref_sink(object));
        return ref;
    }
    GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectRef& operator=(GObjectRef&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    ~GObjectRef() { Reset(); }

    T* Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset() {
        if (object_) g_object_unref(std::exchange(object_, nullptr));
    }

private:
    T* object_ = nullptr;
};

}  // namespace kivo
