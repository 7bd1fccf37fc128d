#include "kit/base/NotificationCenter.h"

#include <algorithm>

namespace kit {

namespace {

bool sameOwner(const std::weak_ptr<const void>& a, const std::weak_ptr<const void>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

void NotificationCenter::addObserver(Object* observer,
                                     std::function<void(const Notification&)> callback,
                                     const std::string& name, const Object* object) {
  Registration registration{observer, {}, name, object, {}, std::move(callback)};
  if (observer) registration.observerAlive = observer->weakReference();
  if (object) registration.senderAlive = object->weakReference();
  registrations_.push_back(std::move(registration));
}

void NotificationCenter::removeObserver(const Object* observer) {
  std::erase_if(registrations_,
                [observer](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::postNotificationName(const std::string& name, const Object* object) {
  // Registrations of destroyed observers, or bound to a destroyed sender, never match again.
  std::erase_if(registrations_, [](const Registration& r) {
    return (r.observer && r.observerAlive.expired()) || (r.sender && r.senderAlive.expired());
  });

  // Deliver from a copy: callbacks may add or remove observers while the post runs. Those added
  // now hear the next post; those removed (or destroyed) now hear nothing more.
  std::vector<Registration> matching;
  for (const Registration& r : registrations_) {
    if (r.name == name && (!r.sender || r.sender == object)) matching.push_back(r);
  }
  Notification notification{name, object};
  for (const Registration& r : matching) {
    if (r.observer && r.observerAlive.expired()) continue;
    bool stillRegistered = std::any_of(
        registrations_.begin(), registrations_.end(), [&r](const Registration& current) {
          return current.observer == r.observer &&
                 sameOwner(current.observerAlive, r.observerAlive) && current.name == r.name &&
                 current.sender == r.sender;
        });
    if (stillRegistered) r.callback(notification);
  }
}

}  // namespace kit
