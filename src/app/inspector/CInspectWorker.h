#pragma once
// Runs an IInspectSource on a thread of its own. Progress reaches the window through a
// polled counter (a few updates a second, however fast the pass goes); the result is
// handed over once, when the pass has ended. One pass at a time: starting a new one
// stops the old one first.

#include "app/inspector/InspectSource.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class QThread;

class CInspectWorker : public QObject
{
    Q_OBJECT
public:
    explicit CInspectWorker(std::shared_ptr<inspector::IInspectSource> source, QObject* parent = nullptr);
    ~CInspectWorker() override;

    void Start(const QString& path);
    void Cancel();
    bool IsRunning() const { return m_pThread != nullptr; }
    // Blocks until the current pass is over (tests, and closing the window).
    void Wait();

signals:
    void Progress(int percent);
    // A pass that ran (perhaps cancelled: see InspectResult::stopped).
    void Finished(std::shared_ptr<const inspector::InspectResult> result);
    // A file that could not be read at all.
    void Failed(const QString& path, const QString& message);

private:
    struct Shared;
    void OnThreadDone();

    std::shared_ptr<inspector::IInspectSource> m_source;
    std::shared_ptr<Shared> m_shared;
    QThread* m_pThread = nullptr;
    QTimer m_poll;
};
