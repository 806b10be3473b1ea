#pragma once

#include <mutex>

namespace quillane {

// A lock that can be held through AutoLock. Re-entrant implementations only.
class Lockable {
public:
    virtual ~Lockable() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Acquires only if free at once; nonzero when acquired. Never waits.
    virtual int TryLock() = 0;
};

// In-process lock; the owning thread may lock again and must unlock as often.
class LocalMutex final : public Lockable {
public:
    LocalMutex() = default;
    LocalMutex(const LocalMutex&) = delete;
    LocalMutex& operator=(const LocalMutex&) = delete;

    void Lock() override { m_mutex.lock(); }
    void Unlock() override { m_mutex.unlock(); }
    int TryLock() override { return m_mutex.try_lock() ? 1 : 0; }

private:
    std::recursive_mutex m_mutex;
};

// Holds a lock for the lifetime of a block; released on every way out.
class AutoLock {
public:
    explicit AutoLock(Lockable* lock) : m_lock(lock) { m_lock->Lock(); }
    virtual ~AutoLock() { m_lock->Unlock(); }
    AutoLock(const AutoLock&) = delete;
    AutoLock& operator=(const AutoLock&) = delete;

private:
    Lockable* m_lock;
};

}  // namespace quillane
