// 3D objects: the command sheet.
//
// A small 3D view inside the 2D frame. Objects are numbered 0..4095 and load
// from .ddd files (tools/mkddd makes them from OBJ and glTF models); each
// holds one or more frames of the same shape. Every draw looks through the
// camera at the current viewport, tests depth against the objects drawn
// before it in the same frame, lights by vertex colour and the one
// directional light, and returns to 2D drawing, so what is drawn in 2D
// afterwards lands on top. World units are the model's own, y is up, angles
// are degrees. A shader in use (mxt_use_shader) draws the objects too; its
// sampler uniforms "TextureID1" and "TextureID2" are set to units 0 and 1.
#pragma once

#include <cstdint>

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Objects

bool mxt_load_object(int n, const RtString& name);              // a .ddd file (disk, archive, memory) as object n
                                                                  // [fails: false, n left empty, error 3]
void mxt_free_object(int n);                                      // object n emptied [cannot fail]
int mxt_object_frames(int n);                                     // frames of object n [fails: 0 when empty]
int mxt_object_vertices(int n, int frame);                        // vertices of one frame as loaded [fails: 0]

// ---------------------------------------------------------------------------
// View and drawing

void mxt_set_camera(double x, double y, double z, double target_x, double target_y, double target_z,
                    double fov);                                  // eye, point looked at, vertical field of view
                                                                  // [fails: a fov outside 1..179 or eye on target ignored]
void mxt_set_light(double x, double y, double z, double ambient); // light shining along (x, y, z); ambient 0..1;
                                                                  // (0, 0, 0) draws unlit [cannot fail]
void mxt_draw_object(int n, int frame, double x, double y, double z, double turn_x, double turn_y, double turn_z,
                     double scale, int sprite);                   // at (x, y, z), turned about x, y, then z, textured
                                                                  // with sprite (-1 none) [fails: draws nothing]
