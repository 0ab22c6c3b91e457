// Where a window goes when it is centred on the primary display.
#pragma once

// The left (or top) edge that centres extent pixels on a screen of screen pixels:
// screen / 2 - extent / 2, each a signed division truncating toward zero. Nothing keeps the result on
// the screen: a window wider than the screen gets a negative position.
inline int CenteredOrigin(int screen, int extent) { return screen / 2 - extent / 2; }
