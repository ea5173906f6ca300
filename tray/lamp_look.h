// Which image shows a lamp: the taskbar's light or dark mode, the shapes the
// user asked for, and high contrast each choose a set of images. Portable,
// so that the choice is checked as a table.
#pragma once

// A lamp is the image id of its light-taskbar lamp (ICON_STOPPED, ICON_IDLE,
// ICON_YELLOW, ICON_RED); a received frame's colour carries this bit too, as
// the shapes tell sent from received where the colours may not.
const unsigned LAMP_RECEIVED = 0x10000;

struct LampLook {
    bool lightTaskbar;  // SystemUsesLightTheme
    bool shapes;        // "Arrows in the lamp"
    bool highContrast;  // HCF_HIGHCONTRASTON: shapes in one colour
    bool lightOnDark;   // in high contrast: the scheme's window colour is dark
};

// The lamp with only the differences this look draws: the direction goes
// without shapes, the colour in high contrast. Two lamps that give the same
// value here show the same image.
unsigned LampDrawn(unsigned lamp, const LampLook& look);
// The icon resource that shows the lamp in this look.
unsigned LampImage(unsigned lamp, const LampLook& look);
// The images of every lamp in this look, for loading them together; returns
// how many were written (at most `room`).
int LampImagesOfLook(const LampLook& look, unsigned* ids, int room);
