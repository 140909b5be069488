// Shared layout of the model textures: which cell of each picture a part
// of a model maps, and the colour schemes of the makes and the rider gear.
// Gear variants (other rider, helmet, wheel or bike pictures) must paint the
// same cells to fit the shipped models.
#pragma once
#include <string>

#include "image_out.h"
#include "mesh_build.h"
#include "paint.h"

// Bike picture (512 x 512): a 4 x 4 grid of 128-pixel cells.
namespace bike_cell {
inline UvRect shroud() { return uv_cell(0, 0, 4, 4, 2, 1); }   // radiator shrouds, side view
inline UvRect tank() { return uv_cell(2, 0, 4, 4); }
inline UvRect fender() { return uv_cell(3, 0, 4, 4); }
inline UvRect fender_rear() { return uv_cell(0, 1, 4, 4, 2, 1); }  // rear fender, side view
inline UvRect seat() { return uv_cell(2, 1, 4, 4); }
inline UvRect frame() { return uv_cell(3, 1, 4, 4); }
inline UvRect engine() { return uv_cell(0, 2, 4, 4); }
inline UvRect engine_cover() { return uv_cell(1, 2, 4, 4); }
inline UvRect exhaust() { return uv_cell(2, 2, 4, 4); }
inline UvRect silencer() { return uv_cell(3, 2, 4, 4); }
inline UvRect fork() { return uv_cell(0, 3, 4, 4); }
inline UvRect swingarm() { return uv_cell(1, 3, 4, 4); }
inline UvRect black() { return uv_cell(2, 3, 4, 4); }
inline UvRect accent() { return uv_cell(3, 3, 4, 4); }   // bar pad, fork guards, radiator
}  // namespace bike_cell

// Wheel picture (256 x 256): 4 x 4 cells of 64 pixels.
namespace wheel_cell {
inline UvRect tread() { return uv_cell(0, 0, 4, 4, 2, 1); }
inline UvRect knob() { return uv_cell(2, 0, 4, 4); }
inline UvRect rim() { return uv_cell(3, 0, 4, 4); }
inline UvRect hub() { return uv_cell(0, 1, 4, 4); }
inline UvRect spoke() { return uv_cell(1, 1, 4, 4); }
inline UvRect disc() { return uv_cell(2, 1, 4, 4); }
inline UvRect sprocket() { return uv_cell(3, 1, 4, 4); }
}  // namespace wheel_cell

// Rider body picture (512 x 512): 4 x 4 cells of 128 pixels.
namespace rider_cell {
inline UvRect jersey_front() { return uv_cell(0, 0, 4, 4, 2, 2); }  // torso, u round the body
inline UvRect sleeve() { return uv_cell(2, 0, 4, 4, 2, 1); }        // upper and forearms, u round
inline UvRect pants() { return uv_cell(2, 1, 4, 4, 2, 1); }         // thighs and hips
inline UvRect boot() { return uv_cell(0, 2, 4, 4, 2, 1); }
inline UvRect glove() { return uv_cell(2, 2, 4, 4); }
inline UvRect neck() { return uv_cell(3, 2, 4, 4); }
inline UvRect sole() { return uv_cell(0, 3, 4, 4); }
}  // namespace rider_cell

// Helmet picture (256 x 256): 2 x 2 cells.
namespace head_cell {
inline UvRect shell() { return uv_cell(0, 0, 2, 2, 2, 1); }  // u round the helmet, t top to bottom
inline UvRect peak() { return uv_cell(0, 1, 2, 2); }
inline UvRect goggle() { return uv_cell(1, 1, 2, 2); }
}  // namespace head_cell

// Colours of one make's plastics and graphics.
struct BikeScheme {
    Rgb main, second, fender, seat, frame, fork, graphic;
    int style;  // graphics pattern 0..4
};

// Colours of one rider's gear.
struct GearScheme {
    Rgb jersey, jersey_second, pants, pants_second, boots, gloves, helmet, helmet_second, goggle;
    int style;
};

Image paint_bike_texture(const BikeScheme& s, uint32_t seed);
Image paint_bike_normal_map();
Image paint_bike_specular_map();
Image paint_wheel_texture(Rgb rim, Rgb hub);
Image paint_rider_texture(const GearScheme& g);
Image paint_helmet_texture(const GearScheme& g);
