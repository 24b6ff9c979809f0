#include "ZelComponent.h"

#include <algorithm>

namespace quill {

TZelComponent::TZelComponent(TZelComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

TZelComponent::~TZelComponent() {
  lifeToken_.reset();
  DestroyComponents();
  if (owner_ != nullptr) {
    auto& siblings = owner_->components_;
    const auto self = std::find(siblings.begin(), siblings.end(), this);
    if (self != siblings.end()) siblings.erase(self);
  }
}

TZelComponent* TZelComponent::GetComponent(int index) const {
  if (index < 0 || index >= GetComponentCount()) return nullptr;
  return components_[static_cast<size_t>(index)];
}

void TZelComponent::DestroyComponents() {
  while (!components_.empty()) {
    TZelComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
}

}  // namespace quill
