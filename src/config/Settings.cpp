// The user settings and their keys in the configuration file, one table row per key.
#include "config/Settings.h"

#include <string>

#include "config/UserSettings.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"

namespace {

// Booleans are stored as "1" or "0" and read back as "any number but 0".
template <RelaxedAtomic<bool>& setting>
void ApplyFlag(int number) {
    setting = number != 0;
}
template <RelaxedAtomic<bool>& setting>
void SaveFlag(const char* key) {
    PortableSaveConfigKey(key, std::string(setting ? "1" : "0"));
}

// Voice effect ids keep the low 8 bits of the stored number; nothing is range-checked.
template <RelaxedAtomic<int8_t>& setting>
void ApplyEffectId(int number) {
    setting = LowByteSigned(number);
}
template <RelaxedAtomic<int8_t>& setting>
void SaveEffectId(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(setting));
}

template <RelaxedAtomic<int32_t>& setting>
void ApplyNumber(int number) {
    setting = number;
}
template <RelaxedAtomic<int32_t>& setting>
void SaveNumber(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(setting));
}

// Fractional settings are stored as whole hundredths or thousandths.
template <RelaxedAtomic<float>& setting, int scale>
void ApplyScaled(int number) {
    setting = StoredToScaled(number, static_cast<float>(scale));
}
template <RelaxedAtomic<float>& setting, int scale>
void SaveScaled(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(ScaledToStored(setting, static_cast<float>(scale))));
}

// In the order the keys are read and written; a fresh file lists them in this order.
const std::vector<SettingKey> kSettingKeys = {
    {"ENABLED", "1", "processing on (1) or off (0)", ApplyFlag<SS_MORAVEL_ACTIVE>,
     SaveFlag<SS_MORAVEL_ACTIVE>},
    {"VOICE_EFFECT", "8",
     "voice effect: 0 none, 4 Robot, 5 Male, 6 Female, 7 Helium, 8 Baby, 9 Alien, "
     "10 Mutation, 11 Slow Mutation, 12 Fast Mutation, 13 Atari, 14 Custom Pitch, 15 Clone, "
     "16 Radio, 17 Silence, 20 the chain",
     ApplyEffectId<SS_VavorOzodediEffect>, SaveEffectId<SS_VavorOzodediEffect>},
    {"SOUND_EFFECT", "0", "sound effect: 0 none, 1 Town Hall, 2 Echo, 3 Chorus, 4 Ghost",
     ApplyNumber<SS_EffectType>, SaveNumber<SS_EffectType>},
    {"MANUAL_PITCH", "0", "pitch of Custom Pitch in hundredths of a semitone (-1500 to 3000)",
     ApplyScaled<SS_Manual_Pitch, 100>, SaveScaled<SS_Manual_Pitch, 100>, -1500, 3000},
    {"MICROPHONE_SENSIVITY", "0",
     "microphone gate threshold in thousandths of full scale (0 off, 1 to 99)",
     ApplyScaled<SS_Microphone_Sensivity, 1000>, SaveScaled<SS_Microphone_Sensivity, 1000>},
    {"MICROPHONE_BASS", "0", "bass gain in hundredths of a dB (-3000 to 3000)",
     ApplyScaled<gl_bass, 100>, SaveScaled<gl_bass, 100>, -3000, 3000},
    {"MICROPHONE_TREBLE", "0", "treble gain in hundredths of a dB (-3000 to 3000)",
     ApplyScaled<gl_treble, 100>, SaveScaled<gl_treble, 100>, -3000, 3000},
    {"OVERLAP_ORIGINAL_VOICE", "0", "mix the unprocessed voice into the result (1) or not (0)",
     ApplyFlag<overlapOriginalVoice>, SaveFlag<overlapOriginalVoice>},
    {"ENABLE_NOISE_REMOVAL", "0", "noise removal on (1) or off (0)",
     ApplyFlag<SS_EnableNoiseRemoval>, SaveFlag<SS_EnableNoiseRemoval>},
    {"CHAIN_EFFECT_1", "0", "voice effect at chain position 1 (used when VOICE_EFFECT is 20)",
     ApplyEffectId<SS_ChainEffect_1>, SaveEffectId<SS_ChainEffect_1>},
    {"CHAIN_EFFECT_2", "0", "voice effect at chain position 2", ApplyEffectId<SS_ChainEffect_2>,
     SaveEffectId<SS_ChainEffect_2>},
    {"CHAIN_EFFECT_3", "0", "voice effect at chain position 3", ApplyEffectId<SS_ChainEffect_3>,
     SaveEffectId<SS_ChainEffect_3>},
    {"CHAIN_EFFECT_4", "0", "voice effect at chain position 4", ApplyEffectId<SS_ChainEffect_4>,
     SaveEffectId<SS_ChainEffect_4>},
};

}  // namespace

const std::vector<SettingKey>& SettingKeys() { return kSettingKeys; }

int HeldToRange(const SettingKey& row, int number) {
    return number < row.lowest ? row.lowest : (number > row.highest ? row.highest : number);
}

void LoadConfiguration() {
    // A value beyond what the pitch processor and the filters can take (a damaged or edited
    // file) would crash or hang them: it is held to the menus' range.
    for (const SettingKey& row : kSettingKeys) {
        row.apply(HeldToRange(row, ConfigTextToInt(PortableReadConfigKey(row.key, row.defaultText))));
    }
}

void SaveCurrentConfiguration() {
    for (const SettingKey& row : kSettingKeys) row.save(row.key);
    Portable_SaveConfiguration();
}
