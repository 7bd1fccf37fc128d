#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/base/NotificationCenter.h"

namespace {

using Heard = std::vector<std::string>;

struct Recorder : kit::Object {
  Recorder(std::string name, Heard* log) : name(std::move(name)), log(log) {}
  void heard(const kit::Notification& n) {
    log->push_back(name + ":" + n.name + (n.object ? "@sender" : ""));
  }
  std::string name;
  Heard* log;
};

}  // namespace

TEST(NotificationCenter, FiltersBySenderEndsWithTheObserverAndChangesTakeEffectOnTheNextPost) {
  kit::NotificationCenter center;
  Heard log;
  auto post = [&](const std::string& name, kit::Object* sender = nullptr) {
    log.clear();
    center.postNotificationName(name, sender);
    return log;
  };
  kit::Object first, second;
  Recorder onlyFirst("onlyFirst", &log), any("any", &log), stays("stays", &log);
  auto leaves = std::make_unique<Recorder>("leaves", &log);
  center.addObserver(&any, &Recorder::heard, "Changed", nullptr);
  center.addObserver(&onlyFirst, &Recorder::heard, "Changed", &first);
  center.addObserver(leaves.get(), &Recorder::heard, "Ping", nullptr);
  center.addObserver(&stays, &Recorder::heard, "Ping", nullptr);

  // Delivered in registration order, only to those listening to that sender.
  EXPECT_EQ(post("Changed", &first), (Heard{"any:Changed@sender", "onlyFirst:Changed@sender"}));
  EXPECT_EQ(post("Changed", &second), (Heard{"any:Changed@sender"}));
  EXPECT_EQ(post("Changed"), (Heard{"any:Changed"}));

  // A new observer may reuse a freed address; it must not inherit the old registration.
  leaves.reset();
  auto reused = std::make_unique<Recorder>("reused", &log);
  EXPECT_EQ(post("Ping"), Heard{"stays:Ping"});

  // Removed, it hears no more; removed during a post it hears nothing of that post, and one
  // added during a post waits for the next.
  center.removeObserver(&stays);
  Recorder late("late", &log), removed("removed", &log);
  center.addObserver(
      &first,
      [&](const kit::Notification&) {
        center.addObserver(&late, &Recorder::heard, "Ping", nullptr);
        center.removeObserver(&removed);
      },
      "Ping", nullptr);
  center.addObserver(&removed, &Recorder::heard, "Ping", nullptr);
  EXPECT_EQ(post("Ping"), Heard{});
  EXPECT_EQ(post("Ping"), Heard{"late:Ping"});
}
