#pragma once
// The inspector's four plots, filled from one pass's result:
//   bit rate over time, per stream and in total (per second, and per GOP for video),
//     with the pack mux rate;
//   time stamps: SCR and each stream's PTS/DTS against arrival time;
//   decoder buffer occupancy per stream, its size, and the overflow/underflow findings;
//   picture sizes in coded order by coding type, GOP starts marked.

#include "app/inspector/InspectData.h"

#include <memory>

class CPlotWidget;

struct InspectPlotSet
{
    CPlotWidget* bitrate = nullptr;
    CPlotWidget* stamps = nullptr;
    CPlotWidget* buffers = nullptr;
    CPlotWidget* pictures = nullptr;
};

void FillPlots(const std::shared_ptr<const inspector::InspectResult>& result, const InspectPlotSet& plots);
