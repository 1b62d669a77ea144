#pragma once

#include "remote/RemoteOwner.h"

namespace orvex {

class DeviceLink;

// Applies a checked write on the link owner's thread, through the setters the ribbon and the smart
// plug windows use: a master volume or mute as the ribbon sets it (unmuting the music fades it in),
// the music source, loading a mode memory, a plug value as the plug windows send it. False when the
// write is one this link alone cannot apply (a scene needs the editor's scene runner).
bool ApplyRemoteWrite(DeviceLink& link, const RemoteWrite& write);

} // namespace orvex
