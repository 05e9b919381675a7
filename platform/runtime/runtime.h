// Program threads: stackful coroutines scheduled on the one GUI thread. Each has a
// number (never reused), its own event queue and its own context object.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "platform/core/errors.h"
#include "platform/runtime/events.h"

namespace pf {

struct Event {
  int code = 0;          // EVENT:...
  int control = 0;       // 0 for a window event
  int fromThread = 0;    // poster's thread
  std::int64_t param = 0;  // key code, notify code, answer number, ...
  std::string text;      // free payload (clipboard text, file name, ...)
  std::uintptr_t window = 0;  // target window id; 0 = the thread's top window
};

// The per-thread context. Request/Response/VCRRequest are the values the procedures
// hand each other on one thread; other per-thread objects live in typed slots.
class ThreadContext {
 public:
  int number = 0;
  int stackSize = 0;          // as the starter asked; kept for the record
  std::string parameter;
  ErrorStatus errorStatus;
  std::uint8_t request = 0;   // GLO:Request
  std::uint8_t response = 0;  // GLO:Response
  std::int32_t vcrRequest = 0;  // GLO:VCRRequest

  // A per-thread object of type T, default-constructed on first use.
  template <class T>
  T& local() {
    auto it = slots_.find(std::type_index(typeid(T)));
    if (it == slots_.end()) {
      auto holder = std::make_shared<Holder<T>>();
      T* p = &holder->value;
      slots_.emplace(std::type_index(typeid(T)), std::move(holder));
      order_.push_back(std::type_index(typeid(T)));
      return *p;
    }
    return static_cast<Holder<T>*>(it->second.get())->value;
  }
  template <class T>
  bool hasLocal() const { return slots_.count(std::type_index(typeid(T))) != 0; }
  // Destroys the slots, newest first.
  void releaseLocals();

 private:
  struct HolderBase { virtual ~HolderBase() = default; };
  template <class T> struct Holder : HolderBase { T value{}; };
  std::unordered_map<std::type_index, std::shared_ptr<HolderBase>> slots_;
  std::vector<std::type_index> order_;
};

using Procedure = std::function<void()>;

// The calling thread's context; thread 1's before any program thread has started.
ThreadContext& ctx();
// The calling program thread's number (1 for the main program).
int thread();
inline std::uint8_t& GLO_Request() { return ctx().request; }
inline std::uint8_t& GLO_Response() { return ctx().response; }
inline std::int32_t& GLO_VCRRequest() { return ctx().vcrRequest; }

// Starts `proc` on a new program thread; returns its number. The new thread runs at
// the scheduler's next turn, not inside this call.
int start(Procedure proc, int stackSize, std::string parameter = {});
bool threadAlive(int number);

// Appends an event to a thread's queue (0 = the calling thread) and schedules it.
void post(Event e, int toThread = 0);
void post(int code, int control = 0, int toThread = 0);

// Next event of the calling thread's queue; yields until there is one.
Event waitEvent();
// Yields until `ready()` holds; re-checked whenever the thread is woken.
void waitUntil(const std::function<bool()>& ready);
// Marks a thread runnable (its waitUntil predicate is re-checked).
void wake(int number);
// Lets the event loop turn once (the windows are drawn and take input) and the other
// program threads run, then goes on. Outside a program thread it does nothing.
void yieldTurn();
// For a long piece of work on a program thread: give() hands the event loop a turn once
// `ms` milliseconds have gone by since the last one (call it often).
class TurnGiver {
 public:
  explicit TurnGiver(int ms = 40);
  void give();

 private:
  int ms_;
  std::int64_t last_;  // steady clock, nanoseconds
};
// Runs `job` on a worker OS thread while the calling program thread waits; the other
// program threads run meanwhile. The job must touch no program-thread state: it works
// on objects of its own and the caller's, which stay put until it is done. Outside a
// program thread, or when the program is ending, it runs in place. An exception of the
// job reaches the caller.
void runOffThread(const std::function<void()>& job);
// Lets `ms` milliseconds go by on the calling program thread while the other program
// threads and the window system run (a wait for another program's lock). Outside a
// program thread, or on a worker, it sleeps in place; when the program is ending it
// returns at once.
void yieldFor(int ms);
// Called on the worker's OS thread when a job has ended, so that the view schedules a
// turn (thread-safe). Without one, a headless scheduler turn waits for pending jobs.
void setOffThreadNotifier(std::function<void()> notifier);
bool queueEmpty(int number = 0);
// True when every event in the thread's queue (0 = the calling thread's) is a `code`.
bool queueHoldsOnly(int code, int number = 0);
// True while an off-thread job runs (its program thread is not runnable meanwhile).
bool offThreadJobsRunning();

// Hooks run inside each thread: start before its procedure, exit after it returns.
void setThreadStartHook(std::function<void()> hook);
void setThreadExitHook(std::function<void()> hook);
// Runs on a program thread that an exception has ended, after the stack has unwound and
// before the exit hook: the program tells the user. The exception is also written to
// standard error, with or without a handler.
void setThreadFailureHandler(std::function<void(std::exception_ptr)> handler);

// Scheduler, driven from the GUI thread's own stack.
// Runs thread 1 with `mainProgram` and returns when thread 1 has ended and the
// scheduler loop `loop` (the view's event loop, or the headless driver) returns.
void runProgram(Procedure mainProgram);
// Resumes runnable threads until every thread waits; returns true when any ran. Threads
// that handed the last turn over run too unless `newTurn` is false (the view runs them
// from its timer, so that they never run twice between two of the window system's turns).
bool runUntilIdle(bool newTurn = true);
bool anyRunnable();
// Counts the turns in which a program thread has run: what a thread read in an earlier
// turn, another may have changed since.
std::uint64_t schedulerTurn();
// Called whenever a thread becomes runnable (the Qt view queues a turn).
void setScheduleNotifier(std::function<void()> notifier);
// Called when a turn ends and a thread waits for the next (it handed this one over); by
// default the schedule notifier.
void setHandOverNotifier(std::function<void()> notifier);
// Ends every program thread (unwinding their stacks) and makes runProgram return.
// Called on a program thread, it also unwinds that thread (throws ProgramEnded).
void endAllThreads();
bool programEnded();
// The loop runProgram drives between turns: the Qt view installs its event loop and
// the way to leave it; without one, runProgram runs turns until no thread can run.
void setEventLoop(std::function<void()> run, std::function<void()> quit);
void quitEventLoop();
// True on a program thread's own stack, false on the scheduler's.
bool inProgramThread();

// Clock: real, or a fake one that tests advance.
std::int32_t today();         // day number
std::int32_t clockTime();     // hundredths of a second since midnight, plus one
void useFakeClock(std::int32_t day, std::int32_t time);
void advanceFakeClock(std::int32_t hundredths);
bool fakeClock();
// At most `records` records per time slice of every pass (0: as many as the slice's time
// allows). A slice on the fake clock never runs out of time, so tests and the driver cut
// passes into small slices with this; the runtime's reset clears it.
void setSliceRecordLimit(std::int32_t records);
std::int32_t sliceRecordLimit();
// How often a pass hands the windows a turn within a slice, in milliseconds of real time;
// tests set 0 so that a turn comes after every record. The runtime's reset restores it.
constexpr int kPassTurnMs = 40;
void setPassTurnMs(int ms);
int passTurnMs();

}  // namespace pf
