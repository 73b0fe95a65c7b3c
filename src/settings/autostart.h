// The log-on autostart entry: value "Ostrivel" under the current user's Run key.
#pragma once

// 1 when the Run key holds a value named exactly "Ostrivel", else 0.
int QueryAutostart();

// Writes the value (on non-zero) or deletes it (on 0). Silent on failure.
void SetAutostart(int on);
