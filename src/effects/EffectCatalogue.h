#pragma once
// Every voice effect and every sound effect, one row each: the menu item that selects it (text
// and command), the value label the main menu shows for it, and what processes it. The menus,
// the value labels, the command handler and the two effect stages all read these rows; the rows
// are in the order of the menus.
#include <cstdint>
#include <vector>

#include "config/CommandIds.h"

struct EffectCall;

// Which frame count a voice effect is fed: the valid frames of the latest result, or the whole
// block (the sweeping and stepping pitch effects, whose schedules count blocks).
enum class FramesFed { Valid, Block };

struct VoiceEffectRow {
    int id;                 // the value of SS_VavorOzodediEffect
    const char* menuText;   // the voice menu's item
    const char* label;      // the main menu's "Set Voice" value
    MVCommands command;     // the command of the menu item
    FramesFed fed;
    // Writes the output block from the input block, returns the valid frames; null: none.
    uint32_t (*process)(const EffectCall& call);
};

struct SoundEffectRow {
    int id;                 // the value of SS_EffectType
    const char* menuText;   // the effect menu's item
    const char* label;      // the main menu's "Set Effect" value
    MVCommands command;     // the command of the menu item
    // Ring length in samples for the base length `echoSize` at `channels` channels.
    int32_t (*ringLength)(int32_t echoSize, uint32_t channels);
    // Reads the dry samples from `input`, puts its copy into `output`; null: none.
    void (*process)(const float* input, float* output, int32_t samples, int32_t ringLength);
};

// In menu order; the last row of each is CLEAR (id 0, no processing).
const std::vector<VoiceEffectRow>& VoiceEffectRows();
const std::vector<SoundEffectRow>& SoundEffectRows();

// The row of an id; null for an id without one.
const VoiceEffectRow* FindVoiceEffect(int id);
const SoundEffectRow* FindSoundEffect(int id);

// The voice effect that takes its pitch from SS_Manual_Pitch, and the one that runs the chain.
constexpr int kCustomPitchEffect = 14;
constexpr int kVoiceEffectChain = 20;

// What the effects' buffers must hold.
constexpr uint32_t kAlienFragmentFrames = 8800;  // each of Alien's two fragments
constexpr uint32_t kCloneDelayFrames = 6000;     // how far Clone's copy lags
constexpr uint32_t kChorusFrames = 400;          // Chorus's ring
