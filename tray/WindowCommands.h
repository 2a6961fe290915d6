#pragma once

// Opacity percentage, as typed in the dialog, to an alpha value 0-255.
int percentToAlpha(int percent);

// The taskbar never becomes fainter than this; 255 and a cancelled dialog's
// -1 pass unchanged.
int taskbarAlpha(int alpha);
