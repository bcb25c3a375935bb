#pragma once

#include "MaxInterfaces.h"

#include <QString>

// What a poll needs of the 20 graph slots (numbered 1 to 20), so the poll can be driven and
// tested without widgets. The graph board implements it.
class GraphSlotControl
{
public:
    static constexpr int SlotCount = MaxInterfaces;

    virtual ~GraphSlotControl() = default;

    // Running: the graph's sampling timer on, black background. Failed: timer off, red.
    virtual void setSlotRunning(int slot, bool running) = 0;
    virtual QString errorCaption(int slot) const = 0;
    virtual void setErrorCaption(int slot, const QString &text) = 0;
};
