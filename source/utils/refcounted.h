// refcounted.h: the intrusive reference count of the element model.
//
// An object derived from RefCounted carries the number of Reference<T>
// handles (reference.h) that hold it. A new object is held by nobody (count 0);
// the handles raise and lower the count, and the last handle to let go deletes
// the object through the virtual destructor. RefCounted itself never deletes.
//
// The count is a plain integer: one thread at a time uses an object and its
// handles.
#pragma once

#include <cstdint>

#include "utils/corvane_assert.h"

class RefCounted {
 public:
  // A new object is held by nobody: count 0.
  RefCounted() : refcount(0) {}

  // A copy is a new object: it is held by nobody, whatever the original's count.
  RefCounted(const RefCounted&) : refcount(0) {}
  // Assigning the state of another object leaves the holders of this one alone.
  RefCounted& operator=(const RefCounted&) { return *this; }

  // Checks that no handle holds the object any more.
  virtual ~RefCounted();

  // Adds one holder.
  void incRefCount() {
    CORVANE_ASSERT(refcount >= 0);
    ++refcount;
  }

  // Removes one holder. Never deletes: deleting is the handle's business.
  void decRefCount() {
    --refcount;
    CORVANE_ASSERT(refcount >= 0);
  }

  // The number of handles that hold the object.
  int32_t getRefCount() const {
    CORVANE_ASSERT(refcount >= 0);
    return refcount;
  }

 private:
  int32_t refcount;
};
