#pragma once
// mvconsole-render's command line.
#include <string>
#include <vector>

#include "audio/render/OfflineRender.h"

// The arguments after the program name. False with the reason on a usage error.
bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& options,
                          std::string& error);

// The --help text: usage, options and the setting keys.
std::string RenderUsageText();

// The whole program: arguments, --help, the render, and its lines on standard error.
int MvconsoleRenderMain(int argc, char** argv);
