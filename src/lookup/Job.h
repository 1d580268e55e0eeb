#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace zandrel {

// Every asynchronous piece of the engine is a job, in the manner of KDE's KJob:
// - start() returns at once; the work goes on in the event loop;
// - result(job) is emitted exactly once, never from inside start(), and not after kill();
// - error() and errorText() say what went wrong (NoError: the job did what it was asked);
// - the job deletes itself once its result is out (or it was killed), unless setAutoDelete(false).
class Job : public QObject
{
    Q_OBJECT
public:
    enum : int { NoError = 0, KilledError = 1, FirstOwnError = 100 };

    ~Job() override;

    void start();
    // Ends the job without a result.
    void kill();

    int error() const { return m_error; }
    const QString &errorText() const { return m_errorText; }
    bool isStarted() const { return m_started; }
    bool isFinished() const { return m_finished; }
    void setAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }
    bool isAutoDelete() const { return m_autoDelete; }

signals:
    void result(zandrel::Job *job);

protected:
    explicit Job(QObject *parent = nullptr);

    virtual void doStart() = 0;
    // Stops what is under way, quietly: no result follows.
    virtual void doKill() { }

    void setError(int code, const QString &text = {});
    // The job is done: result() goes out now, or once start() has returned.
    void emitResult();

private:
    void finish();

    int m_error = NoError;
    QString m_errorText;
    bool m_started = false;
    bool m_starting = false;
    bool m_resultDue = false;
    bool m_finished = false;
    bool m_autoDelete = true;
};

// Lets go of a job that may be on the stack of the call doing so: it is ended quietly, no longer
// heard by `listener`, and deleted later.
template<class T>
void discard(std::unique_ptr<T> &job, QObject *listener)
{
    if (!job)
        return;
    QObject::disconnect(job.get(), nullptr, listener, nullptr);
    job->kill();
    job.release()->deleteLater();
}

} // namespace zandrel
