// Method pointers that can be stored, called and compared, and lists of them.
//
// A TZelMethod is an object and one of its member functions taking no arguments.
// Two methods are equal when they name the same object and the same member function
// (the bytes of the member-function pointer), so a handler can be removed with the
// same expression that added it. The idle handlers, the deferred-call queue and the
// Localize handlers are TZelMethodLists.

#ifndef QUILL_FRAMEWORK_ZELMETHODLIST_H_
#define QUILL_FRAMEWORK_ZELMETHODLIST_H_

#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "ZelComponent.h"

namespace quill {

class TZelMethod {
 public:
  TZelMethod() = default;

  // Method of Object. Object must outlive every call of the method.
  template <class T, class C>
  TZelMethod(T* object, void (C::*method)()) : object_(static_cast<C*>(object)) {
    static_assert(std::is_base_of_v<C, T>, "the method must belong to the object's class");
    static_assert(sizeof(method) <= sizeof(code_), "member-function pointer too large");
    std::memcpy(code_, &method, sizeof(method));
    invoke_ = [](void* target, const unsigned char* code) {
      void (C::*bound)();
      std::memcpy(&bound, code, sizeof(bound));
      (static_cast<C*>(target)->*bound)();
    };
    if constexpr (std::is_base_of_v<TZelComponent, T>) component_ = object;
  }

  bool IsAssigned() const { return invoke_ != nullptr; }
  // Calls the method; an unassigned method does nothing.
  void operator()() const {
    if (invoke_ != nullptr) invoke_(object_, code_);
  }
  // The object as a component, or nullptr when it is none; lets a dying component
  // withdraw its pending calls.
  const TZelComponent* GetComponent() const { return component_; }

  friend bool operator==(const TZelMethod& a, const TZelMethod& b) {
    return a.object_ == b.object_ && std::memcmp(a.code_, b.code_, sizeof(a.code_)) == 0;
  }

 private:
  void* object_ = nullptr;
  const TZelComponent* component_ = nullptr;
  alignas(void*) unsigned char code_[2 * sizeof(void*)] = {};
  void (*invoke_)(void* target, const unsigned char* code) = nullptr;
};

}  // namespace quill

// An ordered list of methods, each entry holding its own copy.
//
// CallAll and CallFirstAndDelete may run while handlers add and remove entries: an
// entry removed during a walk is not called, and one added during a walk waits for
// the next walk.
class TZelMethodList {
 public:
  // Appends a copy of Method and returns its index.
  int Add(const quill::TZelMethod& method);
  // The method at Index; an unassigned method outside 0 .. count - 1.
  quill::TZelMethod GetMethod(int index) const;
  // Deletes the last entry equal to Method and returns its index, or -1 when none is.
  int Remove(const quill::TZelMethod& method);
  // Deletes every entry whose object is Component; returns how many were deleted.
  int RemoveComponent(const quill::TZelComponent* component);
  // Deletes the entry at Index; nothing outside 0 .. count - 1.
  void Delete(int index);
  void Clear();
  int GetCount() const { return static_cast<int>(entries_.size()); }

  // Calls every entry in list order. The number of entries is taken before the first
  // call; an entry removed by an earlier call is skipped.
  void CallAll() const;

  // Calls the first entry, then deletes that entry (also when the call throws, in
  // which case the exception passes on). When the call already removed it, nothing
  // else is deleted. False when the list is empty.
  bool CallFirstAndDelete();

 private:
  struct Entry {
    quill::TZelMethod method;
    bool removed = false;
  };
  void Erase(size_t index);

  std::vector<std::shared_ptr<Entry>> entries_;
};

#endif  // QUILL_FRAMEWORK_ZELMETHODLIST_H_
