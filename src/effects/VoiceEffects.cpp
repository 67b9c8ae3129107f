// The voice effects, one catalogue row each, alone or as a chain of four positions.
#include "effects/VoiceEffects.h"

#include <algorithm>
#include <cstring>

#include "config/UserSettings.h"
#include "effects/EffectCatalogue.h"
#include "effects/EffectState.h"

// What an effect at chain position `position` is handed: `fed` frames of the input block to
// read, and the output block of `blockFrames` frames to write.
struct EffectCall {
    int position;
    float* input;
    float* output;
    uint32_t fed;
    uint32_t blockFrames;
    uint32_t channels;
};

namespace {

size_t Samples(const EffectCall& call, uint32_t frames) {
    return static_cast<size_t>(call.channels) * frames;
}

// An effect whose state is missing leaves its frames unchanged.
uint32_t PassThrough(const EffectCall& call) {
    std::memcpy(call.output, call.input, Samples(call, call.fed) * sizeof(float));
    return call.fed;
}

// A processor set up for another channel count would read and write past the blocks.
bool PitchProcessorFits(const EffectCall& call) {
    return soundTouch[call.position].numChannels() == call.channels;
}

uint32_t ShiftPitch(const EffectCall& call) {
    soundtouch::SoundTouch& processor = soundTouch[call.position];
    processor.putSamples(call.input, call.fed);
    return processor.receiveSamples(call.output, call.blockFrames);
}

template <int Semitones>
uint32_t PresetPitch(const EffectCall& call) {
    if (!PitchProcessorFits(call)) return PassThrough(call);
    soundTouch[call.position].setPitchSemiTones(Semitones);
    return ShiftPitch(call);
}

uint32_t CustomPitch(const EffectCall& call) {
    if (!PitchProcessorFits(call)) return PassThrough(call);
    soundTouch[call.position].setPitchSemiTones(static_cast<double>(SS_Manual_Pitch.load()));
    return ShiftPitch(call);
}

template <int StepThousandths>
uint32_t Mutation(const EffectCall& call) {
    if (!PitchProcessorFits(call)) return PassThrough(call);
    const int k = call.position;
    const float step = static_cast<float>(StepThousandths) / 1000.0f;
    const float pitch =
        MutationPitchStep(SS_VariablePitch_Value[k], SS_VariablePitch_Value_Offset[k], step);
    soundTouch[k].setPitchSemiTones(static_cast<double>(pitch));
    return ShiftPitch(call);
}

uint32_t Atari(const EffectCall& call) {
    if (!PitchProcessorFits(call)) return PassThrough(call);
    const int k = call.position;
    const int32_t pitch = AtariPitchStep(SS_VariablePitch_Value[k],
                                         SS_VariablePitch_Value_Offset[k], SS_VariableTempValue[k]);
    soundTouch[k].setPitchSemiTones(static_cast<int>(pitch));
    const uint32_t received = ShiftPitch(call);
    // Frames the processor has not produced yet are filled with the dry input.
    if (received < call.fed) {
        const size_t from = Samples(call, received);
        std::memcpy(call.output + from, call.input + from,
                    (Samples(call, call.fed) - from) * sizeof(float));
    }
    return call.fed;
}

int32_t& RobotPhase(int position) {
    static int32_t* const phases[kChainPositions] = {&gl_soundFreqIdx_1, &gl_soundFreqIdx_2,
                                                      &gl_soundFreqIdx_3, &gl_soundFreqIdx_4};
    return *phases[position];
}

uint32_t Robot(const EffectCall& call) {
    const int32_t length = gl_soundFreqTotal;
    if (gl_soundFreq == nullptr || length <= 0) return PassThrough(call);
    int32_t& phase = RobotPhase(call.position);
    int32_t i = (phase >= 0 && phase < length) ? phase : 0;
    for (uint32_t f = 0; f < call.fed; ++f) {
        const float carrier = gl_soundFreq[i];
        for (uint32_t c = 0; c < call.channels; ++c) {
            const size_t s = static_cast<size_t>(f) * call.channels + c;
            call.output[s] = call.input[s] * carrier;
        }
        if (++i >= length) i = 0;
    }
    phase = i;
    return call.fed;
}

uint32_t Alien(const EffectCall& call) {
    const int32_t size = SS_FRAGMENT_BUFFER_SIZE;
    if (gl_fragmentBuffer1 == nullptr || gl_fragmentBuffer2 == nullptr || size <= 0) {
        return PassThrough(call);
    }
    const int k = call.position;
    const int32_t n = static_cast<int32_t>(Samples(call, call.fed));
    int32_t write = gl_fragmentBufferIdx1[k];
    int32_t read = gl_fragmentBufferIdx2[k];
    if (write < 0 || write >= size || read < 0 || read >= size) {
        write = 0;
        read = size - 1;
    }
    for (int32_t i = 0; i < n; ++i) {
        gl_fragmentBuffer1[write] = call.input[i] * AlienFadeWeight(write, n, size);
        call.output[i] = gl_fragmentBuffer2[read];
        if (read <= 0) {
            // The fragment just recorded is played next, reversed, while a new one records.
            std::swap(gl_fragmentBuffer1, gl_fragmentBuffer2);
            write = 0;
            read = size - 1;
        } else {
            ++write;
            --read;
        }
    }
    gl_fragmentBufferIdx1[k] = write;
    gl_fragmentBufferIdx2[k] = read;
    return call.fed;
}

uint32_t Clone(const EffectCall& call) {
    const int32_t size = SS_VOICE_BUFFER_SIZE;
    if (SS_Voice_Buffer == nullptr || size <= 0) return PassThrough(call);
    const int k = call.position;
    int32_t write = SS_voiceStart[k];
    if (write < 0 || write > size) write = 0;
    int32_t read = CloneReadIndex(write, CloneDelaySamples(call.channels, size), size);
    const size_t n = Samples(call, call.fed);
    for (size_t i = 0; i < n; ++i) {
        if (write >= size) write = 0;
        if (read >= size) read = 0;
        const float half = call.input[i] * 0.5f;
        SS_Voice_Buffer[write] = half;
        call.output[i] = half + SS_Voice_Buffer[read];
        ++write;
        ++read;
    }
    SS_voiceStart[k] = write;
    return call.fed;
}

uint32_t Radio(const EffectCall& call) {
    const size_t n = Samples(call, call.fed);
    for (size_t i = 0; i < n; ++i) {
        call.output[i] = call.input[i] >= 0.0f ? call.input[i] : 0.0f;
    }
    return call.fed;
}

uint32_t Silence(const EffectCall& call) {
    std::memset(call.output, 0, Samples(call, call.fed) * sizeof(float));
    return call.fed;
}

// The voice menu, top to bottom. The main menu's labels write "Pitch" with a capital where the
// voice menu does not.
const std::vector<VoiceEffectRow> kVoiceEffects = {
    {9, "Alien", "Alien", CMD_VOICE_ALIEN, FramesFed::Valid, Alien},
    {13, "Atari", "Atari", CMD_VOICE_ATARI, FramesFed::Block, Atari},
    {15, "Clone", "Clone", CMD_VOICE_CLONE, FramesFed::Valid, Clone},
    {10, "Mutation", "Mutation", CMD_VOICE_MUTATION, FramesFed::Block, Mutation<100>},
    {12, "Fast Mutation", "Fast Mutation", CMD_VOICE_FAST_MUTATION, FramesFed::Block,
     Mutation<300>},
    {11, "Slow Mutation", "Slow Mutation", CMD_VOICE_SLOW_MUTATION, FramesFed::Block,
     Mutation<10>},
    {5, "Male pitch", "Male pitch", CMD_VOICE_MALE_PITCH, FramesFed::Valid, PresetPitch<-3>},
    {6, "Female pitch", "Female Pitch", CMD_VOICE_FEMALE_PITCH, FramesFed::Valid,
     PresetPitch<4>},
    {7, "Helium pitch", "Helium Pitch", CMD_VOICE_HELIUM_PITCH, FramesFed::Valid,
     PresetPitch<8>},
    {8, "Baby pitch", "Baby Pitch", CMD_VOICE_BABY_PITCH, FramesFed::Valid, PresetPitch<12>},
    {16, "Radio", "Radio", CMD_VOICE_RADIO, FramesFed::Valid, Radio},
    {4, "Robot", "Robot", CMD_VOICE_ROBOT, FramesFed::Valid, Robot},
    {kCustomPitchEffect, "Custom pitch", "Custom Pitch", CMD_VOICE_CUSTOM_PITCH, FramesFed::Valid,
     CustomPitch},
    {17, "Silence", "Silence", CMD_VOICE_SILENCE, FramesFed::Valid, Silence},
    {0, "CLEAR", "", CMD_VOICE_CLEAR, FramesFed::Valid, nullptr},
};

// The row that processes `id`; null for ids without an effect (0, 1 to 3, 18 and up).
const VoiceEffectRow* EffectFor(int id) {
    const VoiceEffectRow* row = FindVoiceEffect(id);
    return row != nullptr && row->process != nullptr ? row : nullptr;
}

// Runs one effect at one position on the block's latest result.
uint32_t RunVoiceEffect(const VoiceEffectRow& row, int position, const StageBlock& block,
                        uint32_t validFrames) {
    const uint32_t fed = row.fed == FramesFed::Valid ? validFrames : block.frames;
    const EffectCall call{position, block.input, block.output, fed, block.frames, block.channels};
    return row.process(call);
}

int ChainId(int position) {
    static RelaxedAtomic<int8_t>* const chain[kChainPositions] = {
        &SS_ChainEffect_1, &SS_ChainEffect_2, &SS_ChainEffect_3, &SS_ChainEffect_4};
    // Read unsigned, so a negative id is simply one that names no effect.
    return static_cast<uint8_t>(chain[position]->load());
}

}  // namespace

const std::vector<VoiceEffectRow>& VoiceEffectRows() { return kVoiceEffects; }

const VoiceEffectRow* FindVoiceEffect(int id) {
    for (const VoiceEffectRow& row : kVoiceEffects) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

bool IsVoiceEffect(int id) { return EffectFor(id) != nullptr; }

float MutationPitchStep(float& value, float& offset, float step) {
    float v = value + offset;
    value = v;
    if (v < -4.0f) {
        v = -4.0f;
        value = v;
        offset = step;
    } else if (v > 13.0f) {
        v = 13.0f;
        value = v;
        offset = -step;
    }
    return v;
}

int32_t AtariPitchStep(float& value, float& offset, int32_t& held) {
    const float v = value + offset;
    value = v;
    if (v < -3.0f) {
        offset = 1.0f;
        held = 6;
    } else if (v > 4.0f) {
        held = -3;
        offset = -1.0f;
    }
    return held;
}

float AlienFadeWeight(int32_t index, int32_t blockSamples, int32_t fragmentSize) {
    if (index < blockSamples) {
        return static_cast<float>(index) / static_cast<float>(blockSamples);
    }
    if (index > fragmentSize - blockSamples) {
        return static_cast<float>(fragmentSize - index) / static_cast<float>(blockSamples);
    }
    return 1.0f;
}

int32_t CloneDelaySamples(uint32_t channels, int32_t lineSize) {
    const int32_t c = static_cast<int32_t>(channels);
    const int32_t wanted = static_cast<int32_t>(kCloneDelayFrames) * c;
    // The longest delay a line holds, in whole frames: one frame short of its length.
    const int32_t longest = std::max(lineSize - lineSize % c - c, 0);
    return std::min(wanted, longest);
}

int32_t CloneReadIndex(int32_t writeIndex, int32_t delaySamples, int32_t lineSize) {
    int32_t read = writeIndex - delaySamples;
    if (read < 0) read += lineSize;
    if (read >= lineSize) read = 0;
    return read;
}

void VoiceEffectStage(StageBlock& block) {
    if (block.input == nullptr || block.output == nullptr || block.channels == 0) return;
    const int selected = SS_VavorOzodediEffect.load();
    if (selected <= 0) return;

    if (selected != kVoiceEffectChain) {
        if (const VoiceEffectRow* row = EffectFor(selected)) {
            block.valid = RunVoiceEffect(*row, 0, block, block.frames);
            block.written = true;
        }
        return;
    }

    for (int k = 0; k < kChainPositions; ++k) {
        const int id = ChainId(k);
        if (id != 0) {
            if (const VoiceEffectRow* row = EffectFor(id)) {
                block.valid = RunVoiceEffect(*row, k, block, block.valid);
                block.written = true;
                // The next position reads this result from the input block.
                if (k < kChainPositions - 1) CopyResultToInput(block);
            } else {
                block.written = false;
            }
        }
        // A menu change away from the chain ends it at this position.
        if (SS_VavorOzodediEffect.load() != kVoiceEffectChain) break;
    }
}
