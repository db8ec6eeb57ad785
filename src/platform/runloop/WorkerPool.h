#pragma once
// Internal: the process-wide pool of worker threads behind the global dispatch queue and the
// operation queues. It grows when every worker is busy (up to a cap), and idle workers end after a
// while.
#include <functional>

namespace plat::detail {

class WorkerPool {
  public:
    static WorkerPool& shared();
    // Runs task on a worker thread, inside a release pool. An exception that escapes the task is
    // logged.
    void submit(std::function<void()> task);

    struct State;

  private:
    WorkerPool();
    State* state_;
};

}  // namespace plat::detail
