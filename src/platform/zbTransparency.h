#pragma once

// Making a window see-through. A layered window is one that carries an opacity for the
// compositor; an opaque window carries none.

class QWidget;

namespace zbTransparency {

// Opaque, and the opacity of the viewer while its Transparent option is on.
constexpr int OpaqueAlpha = 255;
constexpr int TransparentAlpha = 128;

// Opacity from 0 (fully see-through) to 255 (opaque, and no longer layered).
void SetTransparency(QWidget* hWnd, int alpha);

// Makes the window layered (on) or ordinary again; every other property stays as it was.
void SetLayeredStyle(QWidget* hWnd, bool on);

} // namespace zbTransparency
