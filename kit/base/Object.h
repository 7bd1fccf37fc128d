#pragma once

#include <memory>

namespace kit {

// Base of everything that can be a delegate, an observer or a target. Others keep a weak
// reference to it, so that a callback to an object that has gone is dropped instead of
// reaching freed memory.
class Object {
 public:
  Object() = default;
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  std::weak_ptr<const void> weakReference() const { return alive_; }

 private:
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace kit
