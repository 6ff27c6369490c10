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

template <class Event>
void CPipeline::Each(void (IModelSink::*on)(Event), std::type_identity_t<Event> e)
{
    for (IModelSink* sink : m_sinks)
        (sink->*on)(e);
}

void CPipeline::OnContainer(Container c)
{
    m_context.Take(c);
    Each(&IModelSink::OnContainer, c);
}

void CPipeline::OnPack(const PackEvent& e)
{
    m_context.Take(e);
    Each(&IModelSink::OnPack, e);
}

void CPipeline::OnSystemHeader(const SystemHeaderEvent& e)
{
    m_context.Take(e);
    Each(&IModelSink::OnSystemHeader, e);
}

void CPipeline::OnTimeBase(const TimeBaseEvent& e)
{
    m_context.Take(e);
    Each(&IModelSink::OnTimeBase, e);
}

void CPipeline::OnPes(const PesEvent& e) { Each(&IModelSink::OnPes, e); }
void CPipeline::OnSequence(const SequenceEvent& e) { Each(&IModelSink::OnSequence, e); }
void CPipeline::OnAccessUnit(const AccessUnit& e) { Each(&IModelSink::OnAccessUnit, e); }
void CPipeline::OnNavPack(const NavPack& e) { Each(&IModelSink::OnNavPack, e); }
void CPipeline::OnProgramEnd(const ProgramEndEvent& e) { Each(&IModelSink::OnProgramEnd, e); }
void CPipeline::OnResync(const ResyncEvent& e) { Each(&IModelSink::OnResync, e); }
void CPipeline::OnEnd(const StreamEnd& e) { Each(&IModelSink::OnEnd, e); }

}  // namespace model
