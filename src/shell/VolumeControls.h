#pragma once

#include "link/CommandEncoder.h"
#include "model/StoreFields.h"

#include <array>

namespace orvex {

// The six master volume controls of the ribbon. Each exists twice, once per category, and the
// two copies ("twins") always show the same value.
enum class VolumeControl { Mic, Effect, Reverb, Echo, Music, NoiseGate };
inline constexpr int kVolumeControlCount = 6;

enum class MuteControl { Mic, Reverb, Echo, Music };
inline constexpr int kMuteControlCount = 4;

struct VolumeControlInfo {
    VolumeControl control;
    int labelInput, labelOutput;   // the value labels
    int sliderInput, sliderOutput; // the sliders, which are also the handlers' commands
    int width, maximum;
    const char* prefixZh;
    const char* prefixEn;
    // RefreshRibbonFromStore pads the Chinese reverb prefix with two blanks.
    const char* refreshPrefixZh;
    SlotField<int32_t, 1> field;
    bool hasMute;
    MuteControl mute;
};

// The noise gate's English label is padded wider ("%s%7d"); the rest use "%s%3d".
inline constexpr std::array<VolumeControlInfo, kVolumeControlCount> kVolumeControls = {{
    {VolumeControl::Mic, 32832, 32857, 32829, 32858, 90, 99,
     "话筒音量:", "Mic    Vol: ", "话筒音量:", fields::micMasterVolume, true, MuteControl::Mic},
    {VolumeControl::Effect, 32833, 32860, 32830, 32861, 90, 99,
     "效果总音量:", "Effect    Vol:", "效果总音量:", fields::effectVolume, false, MuteControl::Mic},
    {VolumeControl::Reverb, 32920, 32921, 32918, 32919, 90, 99,
     "混响音量:", "Reverb Vol:", "混响音量:  ", fields::reverbVolume, true, MuteControl::Reverb},
    {VolumeControl::Echo, 32837, 32863, 32806, 32864, 90, 99, "回声音量:", "Echo Vol:", "回声音量:", fields::echoVolume,
     true, MuteControl::Echo},
    {VolumeControl::Music, 32834, 32866, 32831, 32867, 90, 99,
     "音乐音量:", "Music Vol:", "音乐音量:", fields::musicVolume, true, MuteControl::Music},
    {VolumeControl::NoiseGate, 32842, 32878, 32846, 32879, 100, 100,
     "音乐噪声门:", "Noisegate:", "音乐噪声门:", fields::musicNoiseGate, false, MuteControl::Mic},
}};

struct MuteControlInfo {
    MuteControl control;
    int checkInput, checkOutput;
    SlotField<int32_t, 1> field;
};

inline constexpr std::array<MuteControlInfo, kMuteControlCount> kMuteControls = {{
    {MuteControl::Mic, 32847, 32859, fields::micMute},
    {MuteControl::Reverb, 32848, 32862, fields::reverbMute},
    {MuteControl::Echo, 32849, 32865, fields::echoMute},
    {MuteControl::Music, 32850, 32868, fields::musicMute},
}};

inline const VolumeControlInfo& Info(VolumeControl c) {
    return kVolumeControls[static_cast<size_t>(c)];
}
inline const MuteControlInfo& Info(MuteControl c) {
    return kMuteControls[static_cast<size_t>(c)];
}

// The ribbon's master volumes and mutes: the setters store the value and send it.
inline void SetVolume(CommandEncoder& commands, VolumeControl control, int value) {
    commands.Set(Info(control).field, value);
}
inline void SetMute(CommandEncoder& commands, MuteControl control, bool muted) {
    if (control == MuteControl::Music)
        commands.SetMusicMute(muted); // unmuting fades the music in
    else
        commands.Set(Info(control).field, muted ? 1 : 0);
}

} // namespace orvex
