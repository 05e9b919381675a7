#include "platform/runtime/runtime.h"

#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

#include <cxxabi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <stdexcept>

#include "platform/runtime/message.h"
#include "platform/runtime/queue_pick.h"
#include "platform/runtime/runtime_internal.h"
#include "platform/runtime/stack_switch.h"

namespace ctxlib = boost::context;

namespace pf {

void ThreadContext::releaseLocals() {
  // A destructor may itself touch another local; keep going until none is left.
  while (!order_.empty()) {
    std::type_index type = order_.back();
    order_.pop_back();
    auto it = slots_.find(type);
    if (it == slots_.end()) continue;
    std::shared_ptr<HolderBase> holder = std::move(it->second);
    slots_.erase(it);
    holder.reset();
  }
  slots_.clear();
}

namespace {

// Real stacks are generous: the requested sizes come from a platform whose frames
// were far smaller than ours, and a guard page turns an overflow into a clean fault.
constexpr std::size_t kStackBytes = 1024 * 1024;

// The C++ runtime keeps the exceptions being handled per OS thread. A fiber that waits
// inside a catch block would hand its exception to whichever fiber runs next, so each
// fiber keeps its own and they are swapped at every switch.
struct EhGlobals {
  void* caught = nullptr;
  unsigned int uncaught = 0;
};

EhGlobals& ehGlobals() { return *reinterpret_cast<EhGlobals*>(abi::__cxa_get_globals()); }

struct Thread {
  int number = 0;
  EhGlobals eh;
  detail::StackBounds stack;  // the fiber's own
  detail::StackBounds from;   // inside the thread: the stack that resumed it
  void* fakeStack = nullptr;  // the sanitizer's state of the suspended thread
  std::shared_ptr<ThreadContext> context;
  std::deque<Event> queue;
  Procedure proc;
  ctxlib::fiber fiber;  // the suspended thread, resumed by the scheduler
  ctxlib::fiber back;   // inside the thread: the way back to the scheduler
  bool queued = false;
  bool deferred = false;   // waits for the next turn of the event loop
  bool exitDone = false;
  bool entered = false;    // its fiber has begun to run
  bool cancelled = false;  // ended before it began: it runs nothing
};

// Not reset with the scheduler: no turn before a reset is taken for one after it.
std::uint64_t turns = 0;

struct State {
  std::map<int, std::unique_ptr<Thread>> threads;
  std::shared_ptr<ThreadContext> mainContext;  // thread 1's, outlives its thread
  std::deque<int> runQueue;
  std::vector<int> deferred;  // runnable again at the next turn
  int nextNumber = 2;
  Thread* current = nullptr;
  bool driving = false;
  bool ending = false;
  bool used = false;  // a program has run (or is running) on this state
  std::function<void()> startHook, exitHook;
  std::function<void(std::exception_ptr)> failureHandler;
  std::function<void()> notifier;
  std::function<void()> handOverNotifier;
  std::function<void()> loopRun, loopQuit;

  State() {
    mainContext = std::make_shared<ThreadContext>();
    mainContext->number = 1;
    auto t1 = std::make_unique<Thread>();
    t1->number = 1;
    t1->context = mainContext;
    threads.emplace(1, std::move(t1));
  }
};

State*& statePtr() {
  static State* s = nullptr;
  return s;
}

ErrorStatus& threadErrorStatus() { return ctx().errorStatus; }

State& S() {
  State*& s = statePtr();
  if (!s) {
    s = new State();  // left alone at process exit: suspended fibers still point into it
    setErrorStatusProvider(&threadErrorStatus);
  }
  return *s;
}

// Makes per-thread error status effective as soon as the runtime is linked in.
const bool providerInstalled = (S(), true);

Thread* find(int number) {
  auto& st = S();
  auto it = st.threads.find(number);
  return it == st.threads.end() ? nullptr : it->second.get();
}

void makeRunnable(Thread& t) {
  auto& st = S();
  // A thread that handed this turn over runs at the next, whatever it is sent meanwhile.
  if (st.ending || !t.fiber || t.queued || t.deferred) return;
  t.queued = true;
  st.runQueue.push_back(t.number);
  if (!st.driving && st.notifier) st.notifier();
}

void report(int number, const char* what) {
  std::fprintf(stderr, "program thread %d ended by an exception: %s\n", number, what);
}

// Runs f; an exception that ends it is reported and answered, the program's end and a
// fiber's unwinding go on.
template <class F>
std::exception_ptr runGuarded(int number, const F& f) {
  try {
    f();
  } catch (const ctxlib::detail::forced_unwind&) {
    throw;
  } catch (const ProgramEnded&) {
  } catch (const std::exception& e) {
    report(number, e.what());
    return std::current_exception();
  } catch (...) {
    report(number, "unknown exception");
    return std::current_exception();
  }
  return nullptr;
}

// The thread's end: exit hook, then its locals, newest first. Runs once, whether the
// procedure returned or the thread is being unwound.
void finishThread(Thread& t) {
  if (t.exitDone) return;
  t.exitDone = true;
  auto& st = S();
  if (st.exitHook) runGuarded(t.number, st.exitHook);
  runGuarded(t.number, [&] { t.context->releaseLocals(); });
}

ctxlib::fiber threadEntry(Thread* t, ctxlib::fiber&& back) {
  detail::arriveOnStack(nullptr, &t->from);
  t->entered = true;
  t->back = std::move(back);
  if (t->cancelled) {
    detail::leaveStack(nullptr, t->from);
    return std::move(t->back);
  }
  try {
    std::exception_ptr failure = runGuarded(t->number, [&] {
      auto& st = S();
      if (st.startHook) st.startHook();
      if (t->proc) t->proc();
    });
    // Told outside any catch block: the handler may wait for the user.
    if (failure && S().failureHandler && !S().ending)
      runGuarded(t->number, [&] { S().failureHandler(failure); });
    failure = nullptr;
    finishThread(*t);
  } catch (const ctxlib::detail::forced_unwind&) {
    // Being destroyed while suspended: still give back what the thread holds.
    finishThread(*t);
    detail::leaveStack(nullptr, t->from);
    throw;
  }
  detail::leaveStack(nullptr, t->from);
  return std::move(t->back);
}

// The guarded stack of a fiber, with its bounds noted for the sanitizer.
struct FiberStack {
  ctxlib::protected_fixedsize_stack inner{kStackBytes};
  Thread* thread;

  ctxlib::stack_context allocate() {
    ctxlib::stack_context s = inner.allocate();
    thread->stack = {static_cast<char*>(s.sp) - s.size, s.size};
    return s;
  }
  void deallocate(ctxlib::stack_context& s) noexcept {
    detail::forgetStack({static_cast<char*>(s.sp) - s.size, s.size});
    inner.deallocate(s);
  }
};

void makeFiber(Thread* t) {
  t->fiber = ctxlib::fiber(std::allocator_arg, FiberStack{{kStackBytes}, t},
                           [t](ctxlib::fiber&& back) { return threadEntry(t, std::move(back)); });
}

// Runs the suspended thread `t` from the current stack until it yields, ends or unwinds.
void switchTo(Thread& t) {
  void* fake = nullptr;
  detail::leaveStack(&fake, t.stack);
  t.fiber = std::move(t.fiber).resume();
  detail::arriveOnStack(fake, nullptr);
}

// Destroys a suspended fiber; its stack unwinds with `current` pointing at it so that
// destructors see their own context.
void unwind(Thread& t) {
  if (!t.fiber) return;
  auto& st = S();
  Thread* saved = st.current;
  st.current = &t;
  EhGlobals outer = ehGlobals();
  ehGlobals() = t.eh;
  if (t.entered) {
    void* fake = nullptr;
    detail::leaveStack(&fake, t.stack);
    {
      ctxlib::fiber f = std::move(t.fiber);
    }
    detail::arriveOnStack(fake, nullptr);
  } else {
    // A fiber that never ran would be unwound in code that cannot tell the sanitizer of its
    // switches; it runs to its end at once instead.
    t.cancelled = true;
    switchTo(t);
  }
  ehGlobals() = outer;
  st.current = saved;
}

void yieldToScheduler() {
  Thread* t = S().current;
  detail::leaveStack(&t->fakeStack, t->from);
  try {
    t->back = std::move(t->back).resume();
  } catch (const ctxlib::detail::forced_unwind&) {
    // Resumed only to be unwound, by whoever destroys the fiber.
    detail::arriveOnStack(t->fakeStack, &t->from);
    throw;
  }
  detail::arriveOnStack(t->fakeStack, &t->from);
}

// On a program thread of an ending program nothing may wait any more.
bool endingHere() {
  auto& st = S();
  if (!st.ending) return false;
  if (st.current && std::uncaught_exceptions() == 0) throw ProgramEnded{};
  return true;
}

void driveUntil(const std::function<bool()>& ready) {
  // On the scheduler's own stack (thread 1 before runProgram, or a test): run turns
  // instead of yielding.
  while (!ready()) {
    if (S().ending) return;
    if (!runUntilIdle() && !ready())
      throw std::logic_error("waiting outside a program thread for something no thread will do");
  }
}

Event closeDown() {
  Event e;
  e.code = EVENT::CloseDown;
  return e;
}

void defaultLoop() {
  auto& st = S();
  while (!st.ending) {
    if (!runUntilIdle() && !st.ending) {
      std::fprintf(stderr, "every program thread is waiting; ending the program\n");
      endAllThreads();
    }
  }
}

}  // namespace

ThreadContext& ctx() {
  auto& st = S();
  return st.current ? *st.current->context : *st.mainContext;
}

int thread() {
  auto& st = S();
  return st.current ? st.current->number : 1;
}

bool inProgramThread() { return S().current != nullptr; }

int start(Procedure proc, int stackSize, std::string parameter) {
  auto& st = S();
  if (st.ending) return 0;
  auto t = std::make_unique<Thread>();
  t->number = st.nextNumber++;
  t->context = std::make_shared<ThreadContext>();
  t->context->number = t->number;
  t->context->stackSize = stackSize;
  t->context->parameter = std::move(parameter);
  t->proc = std::move(proc);
  Thread* raw = t.get();
  st.threads.emplace(raw->number, std::move(t));
  makeFiber(raw);
  makeRunnable(*raw);
  return raw->number;
}

bool threadAlive(int number) { return find(number) != nullptr && !S().ending; }

void post(Event e, int toThread) {
  int from = thread();
  Thread* t = find(toThread == 0 ? from : toThread);
  if (!t || S().ending) return;
  e.fromThread = from;
  t->queue.push_back(std::move(e));
  makeRunnable(*t);
}

void post(int code, int control, int toThread) {
  Event e;
  e.code = code;
  e.control = control;
  post(std::move(e), toThread);
}

Event waitEvent() {
  auto& st = S();
  if (!st.current) {
    Thread* t1 = find(1);
    if (!t1) return closeDown();
    driveUntil([] {
      Thread* t = find(1);
      return !t || !t->queue.empty();
    });
    t1 = find(1);
    if (!t1 || t1->queue.empty()) return closeDown();
    Event e = std::move(t1->queue.front());
    t1->queue.pop_front();
    return e;
  }
  Thread* t = st.current;
  for (;;) {
    if (endingHere()) return closeDown();
    if (!t->queue.empty()) {
      Event e = std::move(t->queue.front());
      t->queue.pop_front();
      return e;
    }
    yieldToScheduler();
  }
}

void waitUntil(const std::function<bool()>& ready) {
  auto& st = S();
  if (!st.current) {
    driveUntil(ready);
    return;
  }
  for (;;) {
    if (endingHere()) return;
    if (ready()) return;
    yieldToScheduler();
  }
}

void wake(int number) {
  if (Thread* t = find(number)) makeRunnable(*t);
}

void yieldTurn() {
  auto& st = S();
  if (!st.current || endingHere()) return;
  Thread* t = st.current;
  if (!t->queued && !t->deferred) {
    t->deferred = true;
    st.deferred.push_back(t->number);
  }
  yieldToScheduler();
}

namespace {
std::int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

TurnGiver::TurnGiver(int ms) : ms_(ms), last_(steadyNanoseconds()) {}

void TurnGiver::give() {
  if (steadyNanoseconds() - last_ < std::int64_t{ms_} * 1000000) return;
  yieldTurn();
  last_ = steadyNanoseconds();
}

bool queueEmpty(int number) {
  Thread* t = find(number == 0 ? thread() : number);
  return !t || t->queue.empty();
}

bool queueHolds(const std::function<bool(const Event&)>& which) {
  Thread* t = find(thread());
  return t && std::any_of(t->queue.begin(), t->queue.end(), which);
}

bool takeEvent(const std::function<bool(const Event&)>& which, Event& out) {
  Thread* t = find(thread());
  if (!t) return false;
  auto it = std::find_if(t->queue.begin(), t->queue.end(), which);
  if (it == t->queue.end()) return false;
  out = std::move(*it);
  t->queue.erase(it);
  return true;
}

bool queueHoldsOnly(int code, int number) {
  Thread* t = find(number == 0 ? thread() : number);
  return !t || std::all_of(t->queue.begin(), t->queue.end(), [code](const Event& e) { return e.code == code; });
}

void setThreadStartHook(std::function<void()> hook) { S().startHook = std::move(hook); }
void setThreadExitHook(std::function<void()> hook) { S().exitHook = std::move(hook); }
void setThreadFailureHandler(std::function<void(std::exception_ptr)> handler) {
  S().failureHandler = std::move(handler);
}

void runProgram(Procedure mainProgram) {
  if (S().current) throw std::logic_error("runProgram called on a program thread");
  if (S().used) detail::resetState(true);
  auto& st = S();
  st.used = true;
  Thread* t1 = find(1);
  t1->proc = std::move(mainProgram);
  makeFiber(t1);
  makeRunnable(*t1);
  if (st.loopRun)
    st.loopRun();
  else
    defaultLoop();
  if (!st.ending) endAllThreads();
}

bool runUntilIdle(bool newTurn) {
  auto& st = S();
  if (st.current || st.driving) return false;
  st.driving = true;
  bool any = false;
  // Threads that gave the last turn away run in this one; those that give this one away
  // wait for the next.
  auto beginTurn = [&st] {
    std::vector<int> deferred;
    deferred.swap(st.deferred);
    for (int n : deferred)
      if (Thread* t = find(n); t && t->deferred) {
        t->deferred = false;
        makeRunnable(*t);
      }
  };
  if (newTurn) beginTurn();
  for (;;) {
    detail::wakeFinishedJobs(false);
    if (st.ending) break;
    if (st.runQueue.empty()) {
      // Without a view the turn waits here for an off-thread job, and that wait is the next
      // turn of the threads that handed this one over: the job may be waiting for them
      // (for a lock they hold).
      if (newTurn && !st.deferred.empty() && detail::jobsToWaitFor()) {
        beginTurn();
        continue;
      }
      // A thread waiting for its off-thread job is not idle.
      if (detail::wakeFinishedJobs(true)) continue;
      break;
    }
    int number = st.runQueue.front();
    st.runQueue.pop_front();
    Thread* t = find(number);
    if (!t || !t->fiber) continue;
    t->queued = false;
    any = true;
    st.current = t;
    ++turns;
    EhGlobals outer = ehGlobals();
    ehGlobals() = t->eh;
    switchTo(*t);
    t->eh = ehGlobals();
    ehGlobals() = outer;
    st.current = nullptr;
    if (!t->fiber) {
      st.threads.erase(number);
      if (number == 1) {
        st.driving = false;
        endAllThreads();
        return true;
      }
    }
  }
  st.driving = false;
  if (!st.deferred.empty()) {
    if (st.handOverNotifier)
      st.handOverNotifier();
    else if (st.notifier)
      st.notifier();
  }
  return any;
}

std::uint64_t schedulerTurn() { return turns; }

bool anyRunnable() { return !S().ending && (!S().runQueue.empty() || !S().deferred.empty()); }

void setScheduleNotifier(std::function<void()> notifier) { S().notifier = std::move(notifier); }
void setHandOverNotifier(std::function<void()> notifier) { S().handOverNotifier = std::move(notifier); }

void setEventLoop(std::function<void()> run, std::function<void()> quit) {
  S().loopRun = std::move(run);
  S().loopQuit = std::move(quit);
}

void quitEventLoop() {
  if (S().loopQuit) S().loopQuit();
}

void endAllThreads() {
  auto& st = S();
  bool first = !st.ending;
  st.ending = true;
  st.runQueue.clear();
  st.deferred.clear();
  if (first) {
    // Newest first: a thread's children go before it.
    std::vector<int> numbers;
    for (auto& [n, t] : st.threads) numbers.push_back(n);
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
      Thread* t = find(*it);
      if (!t || t == st.current) continue;
      unwind(*t);
      if (!t->fiber) st.threads.erase(*it);
    }
    quitEventLoop();
  }
  if (st.current && std::uncaught_exceptions() == 0) throw ProgramEnded{};
}

bool programEnded() { return S().ending; }

namespace detail {

void resetState(bool keepConfig) {
  State*& s = statePtr();
  if (!s) {
    S();
    return;
  }
  if (s->current) throw std::logic_error("the runtime cannot be reset from a program thread");
  auto startHook = s->startHook, exitHook = s->exitHook, notifier = s->notifier;
  auto handOverNotifier = s->handOverNotifier;
  auto failureHandler = s->failureHandler;
  auto loopRun = s->loopRun, loopQuit = s->loopQuit;
  if (!s->ending) {
    s->loopQuit = nullptr;
    endAllThreads();
  }
  // Thread 1's locals go with the program it served.
  s->mainContext->releaseLocals();
  delete s;
  s = nullptr;
  State& fresh = S();
  if (keepConfig) {
    fresh.startHook = std::move(startHook);
    fresh.exitHook = std::move(exitHook);
    fresh.failureHandler = std::move(failureHandler);
    fresh.notifier = std::move(notifier);
    fresh.handOverNotifier = std::move(handOverNotifier);
    fresh.loopRun = std::move(loopRun);
    fresh.loopQuit = std::move(loopQuit);
  }
}

}  // namespace detail
}  // namespace pf
