// Work that runs on a thread of its own while the windows stay responsive: one job at a time,
// its step progress and its outcome handed to the GUI thread, Cancel passed to the work through
// its ProgressSink. Every start takes a new token; an outcome or a report of an earlier start
// that arrives later is dropped, so a late result never shows under a later run.
#pragma once

#include "analysis/ProgressSink.h"
#include "state/Result.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <utility>

namespace tavrik {

class BackgroundJob : public QObject
{
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent = nullptr);
    // Cancels the work and waits for it: nothing it hands over can reach a closed window.
    ~BackgroundJob() override;

    // Runs work on a thread of its own (a job under way is stopped first) and then done, on the
    // GUI thread, with its outcome. A thrown exception becomes an error: out of memory with the
    // message outOfMemory, anything else with its own text. forward, when given, also receives
    // the work's status and pass reports and can cancel it; it must outlive the job.
    template <typename T>
    void start(std::function<Result<T>(ProgressSink&)> work,
               std::function<void(Result<T>&&)> done,
               std::string outOfMemory,
               ProgressSink* forward = nullptr);

    // Between start and the call of done.
    bool isRunning() const { return m_thread.joinable(); }
    // Asks the work to stop; done is still called, normally with a Cancelled error.
    void cancel();
    // Cancels, waits for the work and drops whatever it would still hand over: done is not
    // called.
    void stop();

signals:
    // Steps done out of total of the job under way, whole percents apart.
    void stepped(quint64 done, quint64 total);

private:
    class Sink;

    // The token of the job that has just handed over its outcome: true when it is still the
    // job under way, which is then over.
    bool finishes(std::uint64_t token);
    std::shared_ptr<ProgressSink> makeSink(std::uint64_t token, ProgressSink* forward);

    template <typename T>
    static Result<T> guarded(const std::function<Result<T>(ProgressSink&)>& work,
                             ProgressSink& sink,
                             const std::string& outOfMemory)
    {
        try {
            return work(sink);
        } catch (const std::bad_alloc&) {
            // the memory of the failed work is free again, so the message can be built
            return Error::analysis(outOfMemory);
        } catch (const std::exception& e) {
            return Error::analysis(e.what());
        } catch (...) {
            return Error::analysis("The computation stopped on an unknown error.");
        }
    }

    std::thread m_thread;
    std::uint64_t m_token = 0; // GUI thread only
    std::shared_ptr<std::atomic<bool>> m_cancel;
};

template <typename T>
void BackgroundJob::start(std::function<Result<T>(ProgressSink&)> work,
                          std::function<void(Result<T>&&)> done,
                          std::string outOfMemory,
                          ProgressSink* forward)
{
    stop();
    const std::uint64_t token = ++m_token;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([this,
                            token,
                            sink = makeSink(token, forward),
                            work = std::move(work),
                            done = std::move(done),
                            outOfMemory = std::move(outOfMemory)]() mutable {
        auto outcome = std::make_shared<Result<T>>(guarded(work, *sink, outOfMemory));
        // this job is joined before it goes, so it is alive here; the call is dropped with it
        QMetaObject::invokeMethod(
            this,
            [this, token, outcome, done = std::move(done)] {
                if (finishes(token)) {
                    done(std::move(*outcome));
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace tavrik
