// A system whose services do nothing, for code that reaches its drives another
// way (the emulated SMART driver over snapshot files): no device opens, every
// request fails, no system texts, paths, copies or boxes, and a fixed clock.
#pragma once
#include <cstdint>

#include "smart_os.h"

// The record; platformId answers the platform last set (NT at first).
const SmartOs& QuietSmartOs();
void SetQuietPlatform(uint32_t platform);

// The code last given to the record's setLastError.
uint32_t QuietLastError();
