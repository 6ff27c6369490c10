#include "app/inspector/CInspectWorker.h"

#include <QFile>
#include <QThread>

struct CInspectWorker::Shared
{
    std::atomic<int> percent{0};
    std::atomic<bool> stop{false};
    QString path;
    bool ok = false;
    std::string error;
    std::shared_ptr<inspector::InspectResult> result = std::make_shared<inspector::InspectResult>();
};

CInspectWorker::CInspectWorker(std::shared_ptr<inspector::IInspectSource> source, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_shared)
            emit Progress(m_shared->percent.load());
    });
}

CInspectWorker::~CInspectWorker()
{
    Cancel();
    Wait();
}

void CInspectWorker::Start(const QString& path)
{
    if (m_pThread != nullptr)
    {
        Cancel();
        Wait();
    }
    auto shared = std::make_shared<Shared>();
    shared->path = path;
    shared->result->path = QFile::encodeName(path).toStdString();
    m_shared = shared;
    std::shared_ptr<inspector::IInspectSource> source = m_source;
    m_pThread = QThread::create([shared, source] {
        shared->ok =
            source->Inspect(shared->result->path, *shared->result, shared->stop, shared->percent, shared->error);
    });
    connect(m_pThread, &QThread::finished, this, &CInspectWorker::OnThreadDone);
    emit Progress(0);
    m_poll.start();
    m_pThread->start(QThread::LowPriority);
}

void CInspectWorker::Cancel()
{
    if (m_shared)
        m_shared->stop.store(true);
}

void CInspectWorker::Wait()
{
    if (m_pThread == nullptr)
        return;
    m_pThread->wait();
    OnThreadDone();
}

void CInspectWorker::OnThreadDone()
{
    // Reached from the thread's finished signal or from Wait, whichever comes first.
    if (m_pThread == nullptr || !m_pThread->isFinished())
        return;
    m_poll.stop();
    QThread* thread = m_pThread;
    m_pThread = nullptr;
    thread->deleteLater();
    std::shared_ptr<Shared> shared = std::move(m_shared);
    if (shared->ok)
    {
        emit Progress(100);
        emit Finished(shared->result);
    }
    else
        emit Failed(shared->path, QString::fromLocal8Bit(shared->error.c_str()));
}
