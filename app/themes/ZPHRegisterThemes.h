#pragma once

// Qt kind: none (functions).

// Registers the light and dark themes with the registry of the process.
// Start-up calls it once, before the first ZPHTheme::currentTheme(); calling
// it again changes nothing.
void ZPHRegisterThemes();
