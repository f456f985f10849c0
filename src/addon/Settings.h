// Reading the add-on's settings from the host into the process-wide values.
#pragma once

// Reads every setting once, at create; absent or unreadable ones keep their
// defaults.
void ADDON_ReadSettings();
