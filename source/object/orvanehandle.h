// OrvaneHandle: the counted handle through which the renderer's library hands out its objects.
#pragma once

#include <utility>

#include "utils/corvane_assert.h"

/// Holds one object of the renderer's library, or none. Copying the handle counts one more
/// holder; dropping it counts one less, and the last holder has the object destroyed through the
/// destroy function the object names (the library frees what it allocated). The count itself is
/// the object's and safe across threads; one handle object is not: guard a handle that several
/// threads assign.
template <class T>
class OrvaneHandle {
 public:
  /// An empty handle.
  OrvaneHandle() = default;
  /// Takes `ob` (may be null) as one more holder.
  explicit OrvaneHandle(T* ob) : ob_(ob) {
    if (ob_) ob_->IncRefCount();
  }
  OrvaneHandle(const OrvaneHandle& other) : ob_(other.ob_) {
    if (ob_) ob_->IncRefCount();
  }
  OrvaneHandle(OrvaneHandle&& other) noexcept : ob_(std::exchange(other.ob_, nullptr)) {}
  /// Lets go of the object; the last holder destroys it.
  ~OrvaneHandle() { Release(ob_); }

  OrvaneHandle& operator=(const OrvaneHandle& other) {
    OrvaneHandle copy(other);
    std::swap(ob_, copy.ob_);
    return *this;
  }
  OrvaneHandle& operator=(OrvaneHandle&& other) noexcept {
    OrvaneHandle taken(std::move(other));
    std::swap(ob_, taken.ob_);
    return *this;
  }

  /// The object; an empty handle is a fatal error, so test it first.
  T* operator->() const {
    T* ob = ob_;
    CORVANE_ASSERT(ob);
    return ob;
  }
  /// The held pointer, null included.
  T* GetPointer() const { return ob_; }
  /// True when the handle holds an object.
  explicit operator bool() const { return ob_ != nullptr; }
  /// Empties the handle.
  void Clear() { Release(std::exchange(ob_, nullptr)); }

  friend bool operator==(const OrvaneHandle& a, const OrvaneHandle& b) { return a.ob_ == b.ob_; }
  friend bool operator!=(const OrvaneHandle& a, const OrvaneHandle& b) { return a.ob_ != b.ob_; }

 private:
  static void Release(T* ob) {
    if (ob && ob->DecRefCount() == 0) {
      auto destroy = ob->GetDestroyFunction();
      if (destroy) destroy(ob);
    }
  }

  T* ob_ = nullptr;
};
