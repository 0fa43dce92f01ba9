#include "thread_pool.h"

#include <utility>

namespace {
thread_local bool t_bInsidePool = false;
}

CThreadPool::CThreadPool(int nThreads)
{
    for (int k = 1; k < nThreads; ++k)
        m_workers.emplace_back([this] { Work(); });
}

CThreadPool::~CThreadPool()
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_bStopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CThreadPool::Run(std::size_t nTasks, const std::function<void(std::size_t)>& task)
{
    if (t_bInsidePool || m_workers.empty() || nTasks <= 1) {
        for (std::size_t k = 0; k < nTasks; ++k)
            task(k);
        return;
    }
    const std::lock_guard<std::mutex> turn(m_runLock);
    Begin(nTasks, task);
    t_bInsidePool = true;
    TakeTasks();
    t_bInsidePool = false;
    Wait();
}

bool CThreadPool::CanStart() const
{
    return !t_bInsidePool && !m_workers.empty();
}

void CThreadPool::Start(std::size_t nTasks, const std::function<void(std::size_t)>& task)
{
    std::unique_lock<std::mutex> turn(m_runLock);
    Begin(nTasks, task);
    m_started = std::move(turn);
}

void CThreadPool::Join()
{
    if (!m_started.owns_lock())
        return;
    const std::unique_lock<std::mutex> turn = std::move(m_started);
    Wait();
}

void CThreadPool::Begin(std::size_t nTasks, const std::function<void(std::size_t)>& task)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_pTask = &task;
        m_nTasks = nTasks;
        m_nNext = 0;
        m_failure = nullptr;
        ++m_nGeneration;
    }
    m_wake.notify_all();
}

void CThreadPool::Wait()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [this] { return m_nBusy == 0 && m_nNext >= m_nTasks; });
    m_pTask = nullptr;
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

// Takes tasks of the current batch until none is left.
void CThreadPool::TakeTasks()
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (m_pTask != nullptr && m_nNext < m_nTasks) {
        const std::size_t k = m_nNext++;
        const std::function<void(std::size_t)>& task = *m_pTask;
        ++m_nBusy;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(k);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !m_failure)
            m_failure = failure;
        --m_nBusy;
    }
    if (m_nBusy == 0)
        m_done.notify_all();
}

void CThreadPool::Work()
{
    t_bInsidePool = true;
    std::size_t nSeen = 0;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return m_bStopping || (m_pTask != nullptr && m_nGeneration != nSeen); });
            if (m_bStopping)
                return;
            nSeen = m_nGeneration;
        }
        TakeTasks();
    }
}
