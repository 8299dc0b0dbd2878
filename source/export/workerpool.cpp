#include "export/workerpool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The parts of one `Run` and what is left of them.
struct Batch {
  const std::function<void(int)>* work = nullptr;
  int remaining = 0;
  std::exception_ptr failure;
  std::condition_variable done;
};

struct Task {
  Batch* batch;
  int part;
};

thread_local bool t_isWorker = false;

class Pool {
 public:
  // The pool lives until the program ends or the module that holds it is unloaded; then its
  // workers are stopped and joined, so that none is left running in unloaded code.
  static Pool& Get() {
    static Pool pool;
    return pool;
  }

  ~Pool() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  void Run(int parts, const std::function<void(int)>& work) {
    Batch batch;
    batch.work = &work;
    batch.remaining = parts - 1;
    {
      std::lock_guard<std::mutex> hold(lock_);
      while (static_cast<int>(workers_.size()) < std::min(parts - 1, WorkerPool::kMaxThreads - 1))
        workers_.emplace_back([this] { Serve(); });
      for (int p = 1; p < parts; ++p) tasks_.push_back(Task{&batch, p});
    }
    wake_.notify_all();
    Execute(batch, 0);
    std::unique_lock<std::mutex> hold(lock_);
    // Parts nobody has taken yet are done here rather than waited for.
    while (batch.remaining > 0) {
      auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.batch == &batch; });
      if (it == tasks_.end()) {
        batch.done.wait(hold, [&] { return batch.remaining == 0; });
        break;
      }
      const int part = it->part;
      tasks_.erase(it);
      hold.unlock();
      Execute(batch, part);
      hold.lock();
      --batch.remaining;
    }
    if (batch.failure) std::rethrow_exception(batch.failure);
  }

 private:
  void Execute(Batch& batch, int part) {
    try {
      (*batch.work)(part);
    } catch (...) {
      std::lock_guard<std::mutex> hold(lock_);
      if (!batch.failure) batch.failure = std::current_exception();
    }
  }

  void Serve() {
    t_isWorker = true;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      const Task task = tasks_.front();
      tasks_.pop_front();
      hold.unlock();
      Execute(*task.batch, task.part);
      hold.lock();
      if (--task.batch->remaining == 0) task.batch->done.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  std::vector<std::thread> workers_;
  bool stopping_ = false;
};

}  // namespace

void WorkerPool::Run(int parts, const std::function<void(int)>& work) {
  if (parts <= 0) return;
  if (parts == 1 || t_isWorker) {
    for (int p = 0; p < parts; ++p) work(p);
    return;
  }
  Pool::Get().Run(parts, work);
}

int WorkerPool::ThreadsFor(size_t items, size_t minimum) {
  // The system is asked once: every mesh asks again, and the answer does not change.
  static const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const size_t wanted = minimum ? items / minimum : items;
  if (wanted <= 1) return 1;
  return static_cast<int>(
      std::clamp<size_t>(wanted, 1, static_cast<size_t>(std::min(hardware, kMaxThreads))));
}
