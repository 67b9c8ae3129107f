#pragma once

void LoadConfiguration();
void SaveCurrentConfiguration();
