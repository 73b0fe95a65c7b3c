// Four emulated drives for the host benchmarks: snapshot files with
// blank-padded texts and all 30 attribute entries in use, written into a
// fresh folder under /tmp.
#pragma once
#include <string>

// Makes the folder and writes drive0.blob to drive3.blob; "" on failure.
std::string WriteBenchDrives(const char* name);
void RemoveBenchDrives(const std::string& folder);
