#pragma once
// A sink that keeps everything the model delivers, for the tests.

#include "model/CDemuxer.h"

#include <map>
#include <vector>

struct RecordingSink : model::IModelSink
{
    model::Container container = model::Container::ProgramStream;
    std::vector<model::PackEvent> packs;
    std::vector<model::SystemHeaderEvent> systemHeaders;
    std::vector<model::PesEvent> pes;
    std::vector<model::SequenceEvent> sequences;
    std::map<model::StreamKey, std::vector<model::AccessUnit>> units;
    std::vector<model::NavPack> navs;
    std::vector<model::ResyncEvent> resyncs;
    model::StreamEnd end;
    bool ended = false;

    void OnContainer(model::Container c) override { container = c; }
    void OnPack(const model::PackEvent& e) override { packs.push_back(e); }
    void OnSystemHeader(const model::SystemHeaderEvent& e) override { systemHeaders.push_back(e); }
    void OnPes(const model::PesEvent& e) override { pes.push_back(e); }
    void OnSequence(const model::SequenceEvent& e) override { sequences.push_back(e); }
    void OnAccessUnit(const model::AccessUnit& u) override { units[u.stream].push_back(u); }
    void OnNavPack(const model::NavPack& n) override { navs.push_back(n); }
    void OnResync(const model::ResyncEvent& r) override { resyncs.push_back(r); }
    void OnEnd(const model::StreamEnd& e) override
    {
        end = e;
        ended = true;
    }
};
