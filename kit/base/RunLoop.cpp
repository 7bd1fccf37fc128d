#include "kit/base/RunLoop.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>

namespace kit {

namespace {
// Clock times are sums of steps; a task due exactly now must not miss its turn by rounding.
constexpr double kTimeSlack = 1e-9;
// The nice value of work on other threads (0 is the main thread's, 19 the lowest).
constexpr int kBackgroundNiceness = 10;
}  // namespace

RunLoop::RunLoop(const Clock& clock) : clock_(clock) {}

RunLoop::~RunLoop() {
  stop();
}

void RunLoop::post(std::function<void()> task) {
  tasks_.push_back(std::move(task));
}

void RunLoop::postAt(double time, const Object& owner, std::function<void()> task) {
  timedTasks_.push_back({time, owner.weakReference(), std::move(task)});
}

void RunLoop::addFrameUpdate(const Object& owner, std::function<bool(double now)> update) {
  frameUpdates_.push_back({owner.weakReference(), std::move(update)});
}

void RunLoop::runInBackground(std::function<std::function<void()>()> work) {
  std::lock_guard<std::mutex> lock(backgroundMutex_);
  ++backgroundInFlight_;
  backgroundThreads_.emplace_back([this, work = std::move(work)] {
    // Below the screen's priority (and so are the programs it starts, such as the mail
    // transport): on a tablet's few processors the frames come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNiceness);
    std::function<void()> result = work();
    std::lock_guard<std::mutex> done(backgroundMutex_);
    if (result) backgroundResults_.push_back(std::move(result));
    --backgroundInFlight_;
    backgroundDone_.notify_all();
  });
}

size_t RunLoop::backgroundWorkInFlight() const {
  std::lock_guard<std::mutex> lock(backgroundMutex_);
  return backgroundInFlight_;
}

bool RunLoop::waitForBackgroundWork(double timeoutSeconds) {
  std::unique_lock<std::mutex> lock(backgroundMutex_);
  return backgroundDone_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                  [this] { return backgroundInFlight_ == 0; });
}

std::vector<std::function<void()>> RunLoop::takeTasks() {
  std::vector<std::function<void()>> tasks;
  tasks.swap(tasks_);
  std::lock_guard<std::mutex> lock(backgroundMutex_);
  for (auto& result : backgroundResults_) tasks.push_back(std::move(result));
  backgroundResults_.clear();
  if (backgroundInFlight_ == 0) {
    for (std::thread& thread : backgroundThreads_) thread.join();
    backgroundThreads_.clear();
  }
  return tasks;
}

void RunLoop::runTimedTasks() {
  const double now = clock_.now();
  std::vector<TimedTask> due;
  std::erase_if(timedTasks_, [now, &due](TimedTask& timed) {
    if (timed.time > now + kTimeSlack) return false;
    due.push_back(std::move(timed));
    return true;
  });
  for (TimedTask& timed : due) {
    if (!timed.ownerAlive.expired()) timed.task();
  }
}

void RunLoop::runFrameUpdates() {
  double now = clock_.now();
  std::vector<FrameUpdate> updates;
  updates.swap(frameUpdates_);
  for (auto& frame : updates) {
    if (!frame.ownerAlive.expired() && frame.update(now)) frameUpdates_.push_back(std::move(frame));
  }
}

double RunLoop::nextWakeTime() const {
  double now = clock_.now();
  if (!tasks_.empty()) return now;
  double wake = frameUpdates_.empty() ? std::numeric_limits<double>::infinity() : now;
  for (const TimedTask& timed : timedTasks_) wake = std::min(wake, timed.time);
  // Work on another thread reports through the run loop, which keeps turning until it has.
  if (backgroundWorkInFlight() > 0) wake = std::min(wake, now + kFrameInterval);
  return wake;
}

void RunLoop::stop() {
  // Work still running reports to nobody; its thread is waited for.
  for (std::thread& thread : backgroundThreads_) thread.join();
  backgroundThreads_.clear();
  backgroundResults_.clear();
  frameUpdates_.clear();
  tasks_.clear();
  timedTasks_.clear();
}

}  // namespace kit
