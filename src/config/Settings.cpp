// The user settings and their keys in the configuration file, one table row per key.
#include "config/Settings.h"

#include <string>

#include "app/MoravelState.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"

namespace {

// Booleans are stored as "1" or "0" and read back as "any number but 0".
template <RelaxedAtomic<bool>& setting>
void LoadFlag(const std::string& text) {
    setting = ConfigTextToInt(text) != 0;
}
template <RelaxedAtomic<bool>& setting>
void SaveFlag(const char* key) {
    PortableSaveConfigKey(key, std::string(setting ? "1" : "0"));
}

// Voice effect ids keep the low 8 bits of the stored number; nothing is range-checked.
template <RelaxedAtomic<int8_t>& setting>
void LoadEffectId(const std::string& text) {
    setting = LowByteSigned(ConfigTextToInt(text));
}
template <RelaxedAtomic<int8_t>& setting>
void SaveEffectId(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(setting));
}
template <RelaxedAtomic<int8_t>& setting>
void SaveChainEffectId(const char* key) {
    PortableSaveConfigKey(key, static_cast<int>(setting));
}

template <RelaxedAtomic<int32_t>& setting>
void LoadNumber(const std::string& text) {
    setting = ConfigTextToInt(text);
}
template <RelaxedAtomic<int32_t>& setting>
void SaveNumber(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(setting));
}

// Fractional settings are stored as whole hundredths or thousandths.
template <RelaxedAtomic<float>& setting, int scale>
void LoadScaled(const std::string& text) {
    setting = StoredToScaled(ConfigTextToInt(text), static_cast<float>(scale));
}
template <RelaxedAtomic<float>& setting, int scale>
void SaveScaled(const char* key) {
    PortableSaveConfigKey(key, FormatConfigInt(ScaledToStored(setting, static_cast<float>(scale))));
}

struct SettingKey {
    const char* key;
    const char* defaultText;
    void (*load)(const std::string& text);
    void (*save)(const char* key);
};

// In the order the keys are read and written; a fresh file lists them in this order.
const SettingKey kSettingKeys[] = {
    {"ENABLED", "1", LoadFlag<SS_MORAVEL_ACTIVE>, SaveFlag<SS_MORAVEL_ACTIVE>},
    {"VOICE_EFFECT", "8", LoadEffectId<SS_VavorOzodediEffect>, SaveEffectId<SS_VavorOzodediEffect>},
    {"SOUND_EFFECT", "0", LoadNumber<SS_EffectType>, SaveNumber<SS_EffectType>},
    {"MANUAL_PITCH", "0", LoadScaled<SS_Manual_Pitch, 100>, SaveScaled<SS_Manual_Pitch, 100>},
    {"MICROPHONE_SENSIVITY", "0", LoadScaled<SS_Microphone_Sensivity, 1000>,
     SaveScaled<SS_Microphone_Sensivity, 1000>},
    {"MICROPHONE_BASS", "0", LoadScaled<gl_bass, 100>, SaveScaled<gl_bass, 100>},
    {"MICROPHONE_TREBLE", "0", LoadScaled<gl_treble, 100>, SaveScaled<gl_treble, 100>},
    {"OVERLAP_ORIGINAL_VOICE", "0", LoadFlag<overlapOriginalVoice>, SaveFlag<overlapOriginalVoice>},
    {"ENABLE_NOISE_REMOVAL", "0", LoadFlag<SS_EnableNoiseRemoval>, SaveFlag<SS_EnableNoiseRemoval>},
    {"CHAIN_EFFECT_1", "0", LoadEffectId<SS_ChainEffect_1>, SaveChainEffectId<SS_ChainEffect_1>},
    {"CHAIN_EFFECT_2", "0", LoadEffectId<SS_ChainEffect_2>, SaveChainEffectId<SS_ChainEffect_2>},
    {"CHAIN_EFFECT_3", "0", LoadEffectId<SS_ChainEffect_3>, SaveChainEffectId<SS_ChainEffect_3>},
    {"CHAIN_EFFECT_4", "0", LoadEffectId<SS_ChainEffect_4>, SaveChainEffectId<SS_ChainEffect_4>},
};

}  // namespace

void LoadConfiguration() {
    for (const SettingKey& row : kSettingKeys) {
        row.load(PortableReadConfigKey(row.key, row.defaultText));
    }
}

void SaveCurrentConfiguration() {
    for (const SettingKey& row : kSettingKeys) row.save(row.key);
    Portable_SaveConfiguration();
}
