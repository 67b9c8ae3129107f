#pragma once
// Every program-wide setting and processing variable back to a known start, so each test case
// starts alike whether the cases share a process or run one per process. Includes the
// declarations of all of them.
#include "audio/EngineState.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/ProcessingState.h"
#include "config/PortableConfig.h"
#include "config/UserSettings.h"
#include "effects/EffectState.h"
#include "ui/Menus.h"

// User settings as on a start without a configuration file: processing off, every stage off.
void ResetSettings();
// Processing on, every stage off.
void NeutralProcessing();
// All of the above, plus no device chosen, the program working, no menus and no configuration.
void ResetProgramState();
