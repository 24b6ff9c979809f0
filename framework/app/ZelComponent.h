// Components: objects that own other components and free them in reverse creation order.
//
// A component joins its owner's list when its construction begins (this base runs
// before the derived constructors) and leaves it when it is destroyed, so an owner's
// list holds exactly its live components, in creation order. Destroying an owner
// destroys its components from the last created to the first; each is taken out of
// the list, with its owner cleared, before its destructor runs.
//
// Ownership here is independent of Qt's parent/child tree: a widget component may sit
// in one widget while being owned by a module. The form and frame bases keep such a
// widget alive when its visual parent dies first (see ZelForms.h).
//
// Create components with ZelCreate (or TZelApplication::CreateComponent and
// CreateForm), never with a bare new: these call AfterConstruction once the most
// derived constructor has finished, which is where forms and frames initialise
// themselves. A virtual call made inside a constructor would not reach the derived
// class.

#ifndef QUILL_FRAMEWORK_ZELCOMPONENT_H_
#define QUILL_FRAMEWORK_ZELCOMPONENT_H_

#include <memory>
#include <utility>
#include <vector>

namespace quill {

class TZelComponent {
 public:
  // Appends the new component to Owner's list; no owner for a null Owner.
  explicit TZelComponent(TZelComponent* owner);
  // Destroys every owned component (last created first), then leaves the owner's list.
  virtual ~TZelComponent();
  TZelComponent(const TZelComponent&) = delete;
  TZelComponent& operator=(const TZelComponent&) = delete;

  TZelComponent* GetOwner() const { return owner_; }

  // The owned components in creation order; GetComponent gives nullptr outside
  // 0 .. count - 1.
  int GetComponentCount() const { return static_cast<int>(components_.size()); }
  TZelComponent* GetComponent(int index) const;

  // Destroys every owned component, the last created first. A component created by a
  // destructor that runs here is destroyed as well.
  void DestroyComponents();

  // Runs once right after construction completes (ZelCreate, CreateComponent,
  // CreateForm). Empty here.
  virtual void AfterConstruction() {}

  // A token that expires when the component's destruction begins. A registry that
  // keeps references to components holds it as a guarded pointer and calls nothing of
  // a component whose token has expired.
  std::weak_ptr<const void> GetLifeToken() const { return lifeToken_; }

 private:
  TZelComponent* owner_;
  std::vector<TZelComponent*> components_;
  std::shared_ptr<const void> lifeToken_ = std::make_shared<const char>('\0');
};

// Creates a T from Args and runs its AfterConstruction. When AfterConstruction
// throws, the instance is destroyed and the exception passes on.
template <class T, class... Args>
T* ZelCreate(Args&&... args) {
  T* instance = new T(std::forward<Args>(args)...);
  try {
    instance->AfterConstruction();
  } catch (...) {
    delete instance;
    throw;
  }
  return instance;
}

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELCOMPONENT_H_
