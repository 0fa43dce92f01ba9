#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Threads started once for a run and reused by every batch of work it
// hands out, so a long text or a long list of files does not pay for a
// thread per window.
class CThreadPool {
public:
    // nThreads counts the caller of Run, which works too: nThreads - 1
    // threads are started.
    explicit CThreadPool(int nThreads);
    ~CThreadPool();

    CThreadPool(const CThreadPool&) = delete;
    CThreadPool& operator=(const CThreadPool&) = delete;

    int Threads() const { return static_cast<int>(m_workers.size()) + 1; }

    // Runs task(k) for every k in [0, nTasks) and returns when all are done,
    // rethrowing the first exception a task threw. A task that calls Run
    // again runs that batch itself. Calls from several threads take turns.
    void Run(std::size_t nTasks, const std::function<void(std::size_t)>& task);

    // Whether Start would give the tasks threads of their own: not from
    // inside a task of this pool, nor without workers.
    bool CanStart() const;
    // Starts task(k) for every k in [0, nTasks) on the workers alone and
    // returns at once, so the caller can feed them; task must live until
    // Join, which waits for every task and rethrows the first exception.
    // The pool runs no other batch in between.
    void Start(std::size_t nTasks, const std::function<void(std::size_t)>& task);
    void Join();

private:
    void Begin(std::size_t nTasks, const std::function<void(std::size_t)>& task);
    void Wait();
    void Work();
    void TakeTasks();

    std::vector<std::thread> m_workers;
    std::mutex m_runLock; // one batch at a time
    std::unique_lock<std::mutex> m_started; // held from Start to Join
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(std::size_t)>* m_pTask = nullptr;
    std::size_t m_nTasks = 0;
    std::size_t m_nNext = 0;
    std::size_t m_nBusy = 0; // workers inside the current batch
    std::size_t m_nGeneration = 0;
    std::exception_ptr m_failure;
    bool m_bStopping = false;
};
