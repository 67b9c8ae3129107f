// The voice effects, dispatched from a table by id, alone or as a chain of four positions.
#include "effects/VoiceEffects.h"

#include <algorithm>
#include <cstring>

#include "app/MoravelState.h"

namespace {

// Frames of Clone's delay.
constexpr int32_t kCloneDelayFrames = 6000;

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

// An effect writes the output block and returns how many frames of it are valid.
using EffectFunction = uint32_t (*)(const EffectCall&);

// Which count an effect is fed: the valid frames of the latest result, or the whole block.
enum class FramesFed { Valid, Block };

struct VoiceEffectEntry {
    int id;
    FramesFed fed;
    EffectFunction run;
};

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

constexpr VoiceEffectEntry kVoiceEffects[] = {
    {4, FramesFed::Valid, Robot},
    {5, FramesFed::Valid, PresetPitch<-3>},
    {6, FramesFed::Valid, PresetPitch<4>},
    {7, FramesFed::Valid, PresetPitch<8>},
    {8, FramesFed::Valid, PresetPitch<12>},
    {9, FramesFed::Valid, Alien},
    {10, FramesFed::Block, Mutation<100>},
    {11, FramesFed::Block, Mutation<10>},
    {12, FramesFed::Block, Mutation<300>},
    {13, FramesFed::Block, Atari},
    {14, FramesFed::Valid, CustomPitch},
    {15, FramesFed::Valid, Clone},
    {16, FramesFed::Valid, Radio},
    {17, FramesFed::Valid, Silence},
};

const VoiceEffectEntry* FindVoiceEffect(int id) {
    for (const VoiceEffectEntry& entry : kVoiceEffects) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

// Runs one effect at one position; `validFrames` is the count of valid input frames.
uint32_t RunVoiceEffect(const VoiceEffectEntry& entry, int position, float* input, float* output,
                        uint32_t blockFrames, uint32_t validFrames, uint32_t channels) {
    const uint32_t fed = entry.fed == FramesFed::Valid ? validFrames : blockFrames;
    const EffectCall call{position, input, output, fed, blockFrames, channels};
    return entry.run(call);
}

int ChainId(int position) {
    static RelaxedAtomic<int8_t>* const chain[kChainPositions] = {
        &SS_ChainEffect_1, &SS_ChainEffect_2, &SS_ChainEffect_3, &SS_ChainEffect_4};
    // Read unsigned, so a negative id is simply one that names no effect.
    return static_cast<uint8_t>(chain[position]->load());
}

}  // namespace

bool IsVoiceEffect(int id) { return FindVoiceEffect(id) != nullptr; }

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
    const int32_t wanted = kCloneDelayFrames * c;
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

void VoiceEffectStage(float* input, float* output, unsigned int frames, bool& written,
                      uint32_t& validFrames) {
    const uint32_t channels = gl_channelCount;
    if (input == nullptr || output == nullptr || channels == 0) return;
    const int selected = SS_VavorOzodediEffect.load();
    if (selected <= 0) return;

    if (selected != kVoiceEffectChain) {
        if (const VoiceEffectEntry* entry = FindVoiceEffect(selected)) {
            validFrames = RunVoiceEffect(*entry, 0, input, output, frames, frames, channels);
            written = true;
        }
        return;
    }

    for (int k = 0; k < kChainPositions; ++k) {
        const int id = ChainId(k);
        if (id != 0) {
            if (const VoiceEffectEntry* entry = FindVoiceEffect(id)) {
                validFrames =
                    RunVoiceEffect(*entry, k, input, output, frames, validFrames, channels);
                written = true;
                // The next position reads this result from the input block.
                if (k < kChainPositions - 1) {
                    std::memcpy(input, output,
                                static_cast<size_t>(channels) * validFrames * sizeof(float));
                }
            } else {
                written = false;
            }
        }
        // A menu change away from the chain ends it at this position.
        if (SS_VavorOzodediEffect.load() != kVoiceEffectChain) break;
    }
}
