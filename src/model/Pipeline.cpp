#include "model/Pipeline.h"

#include "stream/CInput.h"

namespace model
{

CPipeline::CPipeline() : m_demuxer(*this) {}

CPipeline::~CPipeline() = default;

void CPipeline::Add(IModelSink& sink)
{
    m_sinks.push_back(&sink);
}

bool CPipeline::Run(const std::string& path)
{
    m_openError = 0;
    m_input = OpenInput(path, &m_openError);
    if (!m_input)
        return false;
    Run(*m_input);
    return true;
}

void CPipeline::Run(CInput& input)
{
    m_context.Start(&input);
    m_demuxer.Run(input);
}

void CPipeline::Run(const uint8_t* data, size_t size)
{
    m_context.Start(nullptr);
    m_demuxer.Run(data, size);
}

// ---------------------------------------------------------------------------- the events

void CPipeline::OnContainer(Container c)
{
    m_context.Take(c);
    for (IModelSink* sink : m_sinks)
        sink->OnContainer(c);
}

void CPipeline::OnPack(const PackEvent& e)
{
    m_context.Take(e);
    for (IModelSink* sink : m_sinks)
        sink->OnPack(e);
}

void CPipeline::OnSystemHeader(const SystemHeaderEvent& e)
{
    m_context.Take(e);
    for (IModelSink* sink : m_sinks)
        sink->OnSystemHeader(e);
}

void CPipeline::OnPes(const PesEvent& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnPes(e);
}

void CPipeline::OnSequence(const SequenceEvent& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnSequence(e);
}

void CPipeline::OnAccessUnit(const AccessUnit& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnAccessUnit(e);
}

void CPipeline::OnNavPack(const NavPack& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnNavPack(e);
}

void CPipeline::OnProgramEnd(const ProgramEndEvent& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnProgramEnd(e);
}

void CPipeline::OnTimeBase(const TimeBaseEvent& e)
{
    m_context.Take(e);
    for (IModelSink* sink : m_sinks)
        sink->OnTimeBase(e);
}

void CPipeline::OnResync(const ResyncEvent& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnResync(e);
}

void CPipeline::OnEnd(const StreamEnd& e)
{
    for (IModelSink* sink : m_sinks)
        sink->OnEnd(e);
}

}  // namespace model
