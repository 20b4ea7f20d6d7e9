#pragma once

// A job handed to a worker thread through its message queue. Whoever holds it
// owns it: the poster until the post succeeds, then the queue, then the worker.
// It is freed wherever it ends, run or not.
class ThreadJob {
public:
    virtual ~ThreadJob();
    ThreadJob(const ThreadJob&) = delete;
    ThreadJob& operator=(const ThreadJob&) = delete;

protected:
    ThreadJob() = default;
};
