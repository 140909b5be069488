// The chase and free cameras of the main loop, and the averaged ground
// height that keeps them above the terrain.
#pragma once
#include "core/vec.h"

struct HeightField;

// A camera: where it is and where it looks (unit forward and up vectors).
struct Camera {
    Vec3 position;
    Vec3 forward;
    Vec3 up;
};

// Points a camera from a position at a target (world up).
Camera camera_look_at(Vec3 from, Vec3 target);

// The weighted mean of the stored heights around (x, z) within radius r,
// fading out over one grid spacing beyond r.
double ground_height_averaged(const HeightField* hf, double x, double z, double r);

// Chase view of the player's own rider: behind the bike along its heading
// or its velocity (blended by speed), 10 ft back, at least 5 ft above the
// averaged ground and the target.
Camera chase_camera_player(const HeightField* hf, Vec3 target, Vec3 forward, Vec3 velocity, bool rigid);

// Orbit parameters for chase views of other riders.
struct ChaseOrbit {
    double angle = 0;
    double distance = 10;
    double height = 5;
};

// One tick of the orbit controls: steer turns it, throttle/brake change the
// distance, shift changes the height.
void chase_orbit_step(ChaseOrbit* orbit, double steer, double throttle, double front_brake, double shift);

Camera chase_camera_orbit(const HeightField* hf, Vec3 target, const ChaseOrbit& orbit);

// The free-flying camera.
struct FreeCamera {
    Vec3 position{0, 0, 0};
    double yaw = 0, pitch = 0;     // radians; yaw 0 looks along -z
    double yaw_rate = 0, pitch_rate = 0;
    double speed = 0;              // along the view direction
};

// One tick of flight from the control channels. With a tracked target
// (track_target true) the rates turn the camera toward it instead.
void free_camera_step(FreeCamera* cam, const HeightField* hf, double steer, double shift, double throttle,
                      double front_brake, bool track_target, Vec3 target);

Camera free_camera_view(const FreeCamera& cam);
