#pragma once

#include "remote/RemoteOwner.h"

namespace orvex {

class DeviceLink;
class ParameterStore;

// Applies a checked write on the link owner's thread, through the setters the ribbon and the smart
// plug windows use: a master volume or mute as the ribbon sets it (unmuting the music fades it in),
// the music source, loading a mode memory, a plug value as the plug windows send it. False when the
// write is one this link alone cannot apply (a scene needs the editor's scene runner).
// The value a level write sets: the mic and music master volumes stop at the maxima of the machine
// settings, as the ribbon's sliders do; every other value passes as it is.
int MasterVolumeCap(const ParameterStore& store, const ControlEntry& entry, int value);

bool ApplyRemoteWrite(DeviceLink& link, const RemoteWrite& write);

} // namespace orvex
