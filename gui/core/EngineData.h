#pragma once
// The engine's own pictures, stored in the executable's read-only data.
#include "Forward.h"

// The caption-button sprite, a 729 x 20 PNG stored without its 8-byte signature.
Bytes builtinStripData();
// The 20 x 20 check mark of checked menu items (PNG with signature).
Bytes checkMarkPicture();
// The same pictures drawn at twice the size (1458 x 40 without signature, 40 x 40), for scales from 150 %.
Bytes builtinStripData2x();
Bytes checkMarkPicture2x();
