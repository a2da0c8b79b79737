#include "ui/BackgroundJob.h"

namespace tavrik {

// What the work reports to: the job's own Cancel, step progress posted to the GUI thread in
// whole percents so that the event queue is not flooded, the rest passed on.
class BackgroundJob::Sink final : public ProgressSink
{
public:
    Sink(BackgroundJob* job,
         std::uint64_t token,
         std::shared_ptr<std::atomic<bool>> cancel,
         ProgressSink* forward)
        : m_job(job)
        , m_token(token)
        , m_cancel(std::move(cancel))
        , m_forward(forward)
    {}

    void status(std::string_view line) override
    {
        if (m_forward != nullptr) {
            m_forward->status(line);
        }
    }
    bool cancelled() const override
    {
        return m_cancel->load(std::memory_order_relaxed) ||
               (m_forward != nullptr && m_forward->cancelled());
    }
    void passProgress(int pass, std::uint64_t bytesDone, std::uint64_t bytesTotal) override
    {
        if (m_forward != nullptr) {
            m_forward->passProgress(pass, bytesDone, bytesTotal);
        }
    }
    void stepProgress(std::uint64_t done, std::uint64_t total) override
    {
        if (m_forward != nullptr) {
            m_forward->stepProgress(done, total);
        }
        const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
        if (percent == m_percent) {
            return;
        }
        m_percent = percent;
        QMetaObject::invokeMethod(
            m_job,
            [job = m_job, token = m_token, done, total] {
                if (token == job->m_token && job->isRunning()) {
                    emit job->stepped(done, total);
                }
            },
            Qt::QueuedConnection);
    }

private:
    BackgroundJob* m_job;
    std::uint64_t m_token;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    ProgressSink* m_forward;
    std::uint64_t m_percent = ~std::uint64_t{0};
};

BackgroundJob::BackgroundJob(QObject* parent)
    : QObject(parent)
{}

BackgroundJob::~BackgroundJob()
{
    stop();
}

std::shared_ptr<ProgressSink> BackgroundJob::makeSink(std::uint64_t token, ProgressSink* forward)
{
    return std::make_shared<Sink>(this, token, m_cancel, forward);
}

void BackgroundJob::cancel()
{
    if (m_cancel) {
        m_cancel->store(true, std::memory_order_relaxed);
    }
}

void BackgroundJob::stop()
{
    cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    ++m_token; // whatever the work posted before it ended is of no job now
}

bool BackgroundJob::finishes(std::uint64_t token)
{
    if (token != m_token) {
        return false;
    }
    // the work has posted its outcome as its last step: this wait is short
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return true;
}

} // namespace tavrik
