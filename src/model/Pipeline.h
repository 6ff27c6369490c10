#pragma once
// One run of the stream model: the demultiplexer, the stream context and the sinks that
// take its events (checks, statistics, the inspector's series, a disc's checks). Each
// event reaches the context first, then every sink in the order they were added, so a
// sink can ask the context about the stream at that event.

#include "model/CDemuxer.h"
#include "model/StreamContext.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class CInput;

namespace model
{

class CPipeline : private IModelSink
{
public:
    CPipeline();
    ~CPipeline() override;
    CPipeline(const CPipeline&) = delete;
    CPipeline& operator=(const CPipeline&) = delete;

    // Adds a sink; it must outlive the runs.
    void Add(IModelSink& sink);
    const CStreamContext& Context() const { return m_context; }
    // Its stop flag and element hook are the run's.
    CDemuxer& Demuxer() { return m_demuxer; }

    // Opens the path as OpenInput does and reads it; false when it cannot be opened
    // (nothing is delivered then, and OpenError holds the errno).
    bool Run(const std::string& path);
    void Run(CInput& input);
    void Run(const uint8_t* data, size_t size);
    int OpenError() const { return m_openError; }

    // The pipeline's own entry, for events made elsewhere (the tests): each goes through
    // the context to every sink, as the demultiplexer's do.
    IModelSink& Events() { return *this; }

private:
    void OnContainer(Container c) override;
    void OnPack(const PackEvent& e) override;
    void OnSystemHeader(const SystemHeaderEvent& e) override;
    void OnPes(const PesEvent& e) override;
    void OnSequence(const SequenceEvent& e) override;
    void OnAccessUnit(const AccessUnit& e) override;
    void OnNavPack(const NavPack& e) override;
    void OnProgramEnd(const ProgramEndEvent& e) override;
    void OnTimeBase(const TimeBaseEvent& e) override;
    void OnResync(const ResyncEvent& e) override;
    void OnEnd(const StreamEnd& e) override;
    // Hands an event the context has taken in to every sink.
    template <class Event>
    void Each(void (IModelSink::*on)(Event), std::type_identity_t<Event> e);

    CStreamContext m_context;
    CDemuxer m_demuxer;
    std::vector<IModelSink*> m_sinks;
    std::unique_ptr<CInput> m_input;  // the one Run(path) opened
    int m_openError = 0;
};

}  // namespace model
