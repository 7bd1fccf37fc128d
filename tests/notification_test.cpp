#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/NotificationCenter.h"

namespace {

struct Recorder : kit::Object {
  Recorder(std::string name, std::vector<std::string>* log) : name(std::move(name)), log(log) {}
  void heard(const kit::Notification& n) {
    log->push_back(name + ":" + n.name + (n.object ? "@sender" : ""));
  }
  std::string name;
  std::vector<std::string>* log;
};

struct Sender : kit::Object {};

}  // namespace

TEST(NotificationCenter, FiltersBySenderAndDeliversInRegistrationOrder) {
  kit::NotificationCenter center;
  std::vector<std::string> log;
  Sender first, second;
  Recorder onlyFirst("onlyFirst", &log), anySender("any", &log), other("other", &log);
  center.addObserver(&anySender, &Recorder::heard, "Changed", nullptr);
  center.addObserver(&onlyFirst, &Recorder::heard, "Changed", &first);
  center.addObserver(&other, &Recorder::heard, "Other", nullptr);

  center.postNotificationName("Changed", &first);
  EXPECT_EQ(log, (std::vector<std::string>{"any:Changed@sender", "onlyFirst:Changed@sender"}));
  log.clear();
  center.postNotificationName("Changed", &second);
  center.postNotificationName("Changed", nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"any:Changed@sender", "any:Changed"}));
  log.clear();
  center.postNotificationName("Nobody", &first);
  EXPECT_TRUE(log.empty());
}

TEST(NotificationCenter, RegistrationsEndWithTheObserverOrOnRemoval) {
  kit::NotificationCenter center;
  std::vector<std::string> log;
  Recorder stays("stays", &log);
  auto leaves = std::make_unique<Recorder>("leaves", &log);
  center.addObserver(leaves.get(), &Recorder::heard, "Ping", nullptr);
  center.addObserver(&stays, &Recorder::heard, "Ping", nullptr);
  leaves.reset();
  // A new observer may reuse the freed address; it must not inherit the old registration.
  auto reused = std::make_unique<Recorder>("reused", &log);
  center.postNotificationName("Ping", nullptr);
  EXPECT_EQ(log, std::vector<std::string>{"stays:Ping"});

  log.clear();
  center.removeObserver(&stays);
  center.postNotificationName("Ping", nullptr);
  EXPECT_TRUE(log.empty());
}

TEST(NotificationCenter, DeliversBeforePostReturnsAndSurvivesChangesDuringAPost) {
  kit::NotificationCenter center;
  std::vector<std::string> log;
  Recorder late("late", &log), removed("removed", &log);
  kit::Object first;
  center.addObserver(
      &first,
      [&](const kit::Notification&) {
        log.push_back("first");
        center.addObserver(&late, &Recorder::heard, "Go", nullptr);
        center.removeObserver(&removed);
      },
      "Go", nullptr);
  center.addObserver(&removed, &Recorder::heard, "Go", nullptr);

  center.postNotificationName("Go", nullptr);
  // Delivered synchronously; the observer removed during the post heard nothing, the one added
  // during it waits for the next post.
  EXPECT_EQ(log, std::vector<std::string>{"first"});
  log.clear();
  center.removeObserver(&first);
  center.postNotificationName("Go", nullptr);
  EXPECT_EQ(log, std::vector<std::string>{"late:Go"});

  // The shared centre is one object.
  EXPECT_EQ(&kit::NotificationCenter::defaultCenter(), &kit::NotificationCenter::defaultCenter());
}
