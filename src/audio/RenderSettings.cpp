#include "audio/RenderSettings.h"

#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/MoravelState.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"

namespace {

template <RelaxedAtomic<bool>& setting>
void SetFlag(int number) {
    setting = number != 0;
}
template <RelaxedAtomic<int8_t>& setting>
void SetEffectId(int number) {
    setting = LowByteSigned(number);
}
template <RelaxedAtomic<int32_t>& setting>
void SetNumber(int number) {
    setting = number;
}
template <RelaxedAtomic<float>& setting, int scale>
void SetScaled(int number) {
    setting = StoredToScaled(number, static_cast<float>(scale));
}

const std::vector<RenderSettingKey> kKeys = {
    {"ENABLED", "1", "processing on (1) or off (0)", SetFlag<SS_MORAVEL_ACTIVE>},
    {"VOICE_EFFECT", "8",
     "voice effect: 0 none, 4 Robot, 5 Male, 6 Female, 7 Helium, 8 Baby, 9 Alien, "
     "10 Mutation, 11 Slow Mutation, 12 Fast Mutation, 13 Atari, 14 Custom Pitch, 15 Clone, "
     "16 Radio, 17 Silence, 20 the chain",
     SetEffectId<SS_VavorOzodediEffect>},
    {"SOUND_EFFECT", "0", "sound effect: 0 none, 1 Town Hall, 2 Echo, 3 Chorus, 4 Ghost",
     SetNumber<SS_EffectType>},
    {"MANUAL_PITCH", "0", "pitch of Custom Pitch in hundredths of a semitone (-1500 to 3000)",
     SetScaled<SS_Manual_Pitch, 100>},
    {"MICROPHONE_SENSIVITY", "0",
     "microphone gate threshold in thousandths of full scale (0 off, 1 to 99)",
     SetScaled<SS_Microphone_Sensivity, 1000>},
    {"MICROPHONE_BASS", "0", "bass gain in hundredths of a dB (-3000 to 3000)",
     SetScaled<gl_bass, 100>},
    {"MICROPHONE_TREBLE", "0", "treble gain in hundredths of a dB (-3000 to 3000)",
     SetScaled<gl_treble, 100>},
    {"OVERLAP_ORIGINAL_VOICE", "0", "mix the unprocessed voice into the result (1) or not (0)",
     SetFlag<overlapOriginalVoice>},
    {"ENABLE_NOISE_REMOVAL", "0", "noise removal on (1) or off (0)",
     SetFlag<SS_EnableNoiseRemoval>},
    {"CHAIN_EFFECT_1", "0", "voice effect at chain position 1 (used when VOICE_EFFECT is 20)",
     SetEffectId<SS_ChainEffect_1>},
    {"CHAIN_EFFECT_2", "0", "voice effect at chain position 2", SetEffectId<SS_ChainEffect_2>},
    {"CHAIN_EFFECT_3", "0", "voice effect at chain position 3", SetEffectId<SS_ChainEffect_3>},
    {"CHAIN_EFFECT_4", "0", "voice effect at chain position 4", SetEffectId<SS_ChainEffect_4>},
};

const RenderSettingKey* FindKey(const std::string& key) {
    for (const RenderSettingKey& row : kKeys) {
        if (key == row.key) return &row;
    }
    return nullptr;
}

// A whole decimal number with an optional sign that fits an int, and nothing else.
bool ParseWholeNumber(const std::string& text, int& number) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || value < INT_MIN ||
        value > INT_MAX) {
        return false;
    }
    number = static_cast<int>(value);
    return true;
}

}  // namespace

const std::vector<RenderSettingKey>& RenderSettingKeys() { return kKeys; }

void ApplyFirstStartDefaults() {
    for (const RenderSettingKey& row : kKeys) row.apply(ConfigTextToInt(row.defaultText));
}

bool ParseSettingArgument(const std::string& argument, SettingAssignment& assignment,
                          std::string& error) {
    const size_t split = argument.find('=');
    if (split == std::string::npos) {
        error = "'" + argument + "' is not KEY=VALUE";
        return false;
    }
    const std::string key = argument.substr(0, split);
    const std::string value = argument.substr(split + 1);
    assignment.setting = FindKey(key);
    if (assignment.setting == nullptr) {
        error = "unknown setting key '" + key + "' (--help lists the keys)";
        return false;
    }
    if (!ParseWholeNumber(value, assignment.number)) {
        error = "bad value '" + value + "' for " + key + " (a whole decimal number)";
        return false;
    }
    return true;
}

void ApplySettingAssignment(const SettingAssignment& assignment) {
    assignment.setting->apply(assignment.number);
}

bool ApplyConfigurationFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "is a directory";
        return false;
    }
    FILE* probe = std::fopen(path.c_str(), "r");
    if (probe == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::fclose(probe);

    // The store reads the file at its own path into its own list; both are put back after.
    const std::string savedPath = glPortableConfiguration;
    std::vector<PortableItem> savedList;
    savedList.swap(gl_PortableConfig);
    glPortableConfiguration = path;
    Portable_ReadConfiguration();
    for (const RenderSettingKey& row : kKeys) {
        const int index = Portable_HasValue(row.key);
        if (index >= 0) row.apply(ConfigTextToInt(gl_PortableConfig[static_cast<size_t>(index)].value));
    }
    gl_PortableConfig.swap(savedList);
    glPortableConfiguration = savedPath;
    return true;
}
