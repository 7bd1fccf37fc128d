#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "kit/base/Clock.h"
#include "kit/base/Object.h"

namespace kit {

// The time between frames while something moves, where the display does not set it.
inline constexpr double kFrameInterval = 1.0 / 60;  // seconds

// Work for the main thread: tasks for the next turn, tasks for a clock time, updates every frame,
// and work run on threads of its own whose results come back as tasks. The application turns it;
// everything else only queues.
class RunLoop {
 public:
  explicit RunLoop(const Clock& clock);
  // Waits for work still running on other threads; its results and every queued task are dropped.
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  const Clock& clock() const { return clock_; }

  // Queues `task` for the next turn.
  void post(std::function<void()> task);
  // Queues `task` for the first turn at or after clock time `time`, which the loop wakes for; it
  // is dropped if `owner` has gone by then.
  void postAt(double time, const Object& owner, std::function<void()> task);
  // Calls `update` with the clock's time on every turn, until it returns false or `owner` is
  // destroyed; meanwhile the loop wakes every frame. For motion computed from the time.
  void addFrameUpdate(const Object& owner, std::function<bool(double now)> update);
  bool hasFrameUpdates() const { return !frameUpdates_.empty(); }
  bool hasTasks() const { return !tasks_.empty(); }

  // Runs `work` on a thread of its own, at a lower priority than the main thread; the function it
  // returns then runs on the main thread, as a task of a later turn.
  void runInBackground(std::function<std::function<void()>()> work);
  size_t backgroundWorkInFlight() const;
  // Blocks (in real time, at most `timeoutSeconds`) until no work is in flight; false on timeout.
  // The finished work reports on the next turn.
  bool waitForBackgroundWork(double timeoutSeconds);

  // The steps of one turn, in the order the application runs them. The tasks queued so far and
  // the results of finished background work, taken out of the queue: tasks queued while they run
  // wait a turn.
  std::vector<std::function<void()>> takeTasks();
  // Runs the timed tasks whose time has come; ones they queue wait for their own time.
  void runTimedTasks();
  // Runs the frame updates; ones added meanwhile wait a turn.
  void runFrameUpdates();

  // The earliest clock time at which queued work wants to run: now for a queued task or a frame
  // update, a frame from now while background work is in flight, infinity when nothing waits (a
  // timed task that is overdue gives a time before now).
  double nextWakeTime() const;

  // Drops every queued task, timed task and frame update, and waits for background work, whose
  // results are dropped too: what they own goes now, before what they refer to.
  void stop();

 private:
  struct TimedTask {
    double time;
    std::weak_ptr<const void> ownerAlive;
    std::function<void()> task;
  };
  struct FrameUpdate {
    std::weak_ptr<const void> ownerAlive;
    std::function<bool(double)> update;
  };

  const Clock& clock_;
  std::vector<std::function<void()>> tasks_;
  std::vector<TimedTask> timedTasks_;
  std::vector<FrameUpdate> frameUpdates_;
  // Background work: threads, and what they hand back to the main thread.
  mutable std::mutex backgroundMutex_;
  std::condition_variable backgroundDone_;
  std::vector<std::thread> backgroundThreads_;
  std::vector<std::function<void()>> backgroundResults_;
  size_t backgroundInFlight_ = 0;
};

}  // namespace kit
