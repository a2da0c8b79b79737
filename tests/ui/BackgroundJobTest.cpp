// The one way the windows run work in the background: an exception in the work comes back as
// an error, an outcome of an earlier start never arrives, and a job that goes while its work
// runs stops it first.
#include "ui/BackgroundJob.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

using namespace tavrik;

class BackgroundJobTest : public QObject
{
    Q_OBJECT

    // Starts work and waits until done has been called; the error it got, if any.
    std::optional<std::string> errorOf(std::function<Result<int>(ProgressSink&)> work)
    {
        BackgroundJob job;
        std::optional<Result<int>> outcome;
        job.start<int>(
            std::move(work),
            [&outcome](Result<int>&& r) { outcome.emplace(std::move(r)); },
            "not enough memory");
        if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 10000)) {
            return "no outcome";
        }
        return outcome->ok() ? std::nullopt : std::optional(outcome->error().message);
    }

private slots:
    void anExceptionInTheWorkComesBackAsAnError()
    {
        QCOMPARE(errorOf([](ProgressSink&) -> Result<int> { return 7; }), std::nullopt);
        QCOMPARE(errorOf([](ProgressSink&) -> Result<int> { throw std::bad_alloc(); }),
                 std::optional<std::string>("not enough memory"));
        QCOMPARE(errorOf([](ProgressSink&) -> Result<int> {
                     throw std::runtime_error("table too wide");
                 }),
                 std::optional<std::string>("table too wide"));
        QVERIFY(errorOf([](ProgressSink&) -> Result<int> { throw 3; }).has_value());
    }

    void anOutcomeOfAnEarlierStartNeverArrives()
    {
        BackgroundJob job;
        QList<int> arrived;
        const auto record = [&arrived](Result<int>&& r) { arrived << (r ? *r : -1); };
        job.start<int>([](ProgressSink&) -> Result<int> { return 1; }, record, {});
        // the first outcome is posted but not yet delivered when the second start comes
        QTest::qSleep(300);
        job.start<int>([](ProgressSink&) -> Result<int> { return 2; }, record, {});
        QTRY_COMPARE(arrived, QList<int>{2});
        QTest::qWait(50);
        QCOMPARE(arrived, QList<int>{2});

        job.start<int>([](ProgressSink&) -> Result<int> { return 3; }, record, {});
        QTest::qSleep(300);
        job.stop();
        QTest::qWait(50);
        QCOMPARE(arrived, QList<int>{2});
        QVERIFY(!job.isRunning());
    }

    void aJobThatGoesStopsItsWorkFirst()
    {
        std::atomic<bool> sawCancel = false;
        std::optional<BackgroundJob> job(std::in_place);
        QSignalSpy stepped(&*job, &BackgroundJob::stepped);
        job->start<int>(
            [&sawCancel](ProgressSink& progress) -> Result<int> {
                for (std::uint64_t i = 0;; ++i) {
                    progress.stepProgress(i % 100, 100);
                    if (progress.cancelled()) {
                        sawCancel = true;
                        return cancelledRun();
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            },
            [](Result<int>&&) { QFAIL("a job that goes calls nothing back"); },
            {});
        QTRY_VERIFY(!stepped.isEmpty());
        job.reset();
        QVERIFY(sawCancel);
        QTest::qWait(50);
    }
};

QTEST_MAIN(BackgroundJobTest)
#include "BackgroundJobTest.moc"
