#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/base/Object.h"

namespace kit {

struct Notification {
  std::string name;
  const Object* object = nullptr;  // the sender
};

// Synchronous notifications: a post delivers to every matching observer before it returns, in
// the order they registered. An observer's registrations end when the observer is destroyed.
class NotificationCenter {
 public:
  static NotificationCenter& defaultCenter();

  // `object` nullptr: any sender; otherwise only posts from that sender.
  void addObserver(Object* observer, std::function<void(const Notification&)> callback,
                   const std::string& name, const Object* object);
  template <class T>
  void addObserver(T* observer, void (T::*selector)(const Notification&), const std::string& name,
                   const Object* object) {
    addObserver(
        observer, [observer, selector](const Notification& n) { (observer->*selector)(n); }, name,
        object);
  }
  template <class T>
  void addObserver(T* observer, void (T::*selector)(), const std::string& name,
                   const Object* object) {
    addObserver(
        observer, [observer, selector](const Notification&) { (observer->*selector)(); }, name,
        object);
  }
  void removeObserver(const Object* observer);
  void postNotificationName(const std::string& name, const Object* object);

 private:
  struct Registration {
    const Object* observer;
    std::weak_ptr<const void> observerAlive;
    std::string name;
    const Object* sender;
    std::weak_ptr<const void> senderAlive;
    std::function<void(const Notification&)> callback;
  };
  std::vector<Registration> registrations_;
};

// Posted by the kit when a text field takes the keyboard and when the last one gives it up.
inline const std::string KeyboardWillShowNotification = "KeyboardWillShowNotification";
inline const std::string KeyboardWillHideNotification = "KeyboardWillHideNotification";

}  // namespace kit
