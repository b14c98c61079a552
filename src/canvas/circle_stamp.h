// Circle stamps of the canvas: small circles drawn with a continuous pen are rendered
// by cairo once per radius and pen width, then copied to each centre.
#ifndef HELMERT2D_CANVAS_CIRCLE_STAMP_H
#define HELMERT2D_CANVAS_CIRCLE_STAMP_H

namespace helmert2d::canvas {

/// Turns the stamps on or off (they are on by default); circles drawn with them off go
/// through cairo, the reference for the stamped pixels.
void set_circle_stamps(bool on);
/// True when circles of `radius` drawn with a continuous pen `pen` pixels wide come
/// from a stamp.
bool circle_stamped(int radius, int pen);

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_CIRCLE_STAMP_H
