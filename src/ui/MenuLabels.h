#pragma once

void UpdateMenuLabels();
