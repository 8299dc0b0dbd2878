// reference.h: Reference<T>, the handle through which element-model objects
// (classes derived from RefCounted) are held.
//
// A handle is one pointer wide and is copied by value. Taking an object raises
// its count, letting go lowers it, and the handle that lowers it to 0 deletes
// the object through its virtual destructor.
#pragma once

#include <type_traits>

#include "utils/corvane_assert.h"
#include "utils/refcounted.h"

template <class T>
class Reference {
 public:
  // A null handle.
  Reference() : ob(nullptr) {}

  // Takes ob_ (which may be null). A pointer to a derived class converts.
  Reference(T* ob_) : ob(ob_) {
    if (ob) ob->incRefCount();
  }

  // Takes the other handle's object, if any.
  Reference(const Reference& other) : ob(other.ob) {
    if (ob) ob->incRefCount();
  }

  // A handle to a derived class converts to a handle to its base.
  template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
  Reference(const Reference<U>& other) : ob(other.ob) {
    if (ob) ob->incRefCount();
  }

  // Lets go of the object; the last holder deletes it.
  ~Reference() { release(ob); }

  // Takes the other handle's object first and only then lets go of the old
  // one: the old object may be the only holder of the new one (r = r->next),
  // or may hold the handle 'other' itself in one of its fields.
  Reference& operator=(const Reference& other) {
    T* const new_ob = other.ob;
    if (new_ob == ob) return *this;  // Same handle, or the same object: the count stays as it is.
    if (new_ob) new_ob->incRefCount();
    T* const old_ob = ob;
    ob = new_ob;
    release(old_ob);
    return *this;
  }

  // The object; aborts through CORVANE_ASSERT when the handle is null.
  T* operator->() {
    CORVANE_ASSERT(ob);
    return ob;
  }

  // The object, read-only; aborts when the handle is null.
  const T* operator->() const {
    CORVANE_ASSERT(ob);
    return ob;
  }

  // The held pointer, null included, without any check.
  T* getPointer() { return ob; }
  const T* getPointer() const { return ob; }

 private:
  template <class U>
  friend class Reference;

  static void release(T* p) {
    static_assert(std::is_base_of<RefCounted, T>::value,
                  "Reference<T> needs T derived from RefCounted (and complete)");
    if (p) {
      p->decRefCount();
      if (p->getRefCount() == 0) delete p;
    }
  }

  T* ob;
};
