// Storage and start values of the view state.
#include "base/view.h"

Vec3 viewOffset = {0, 0, 500};
f32 zoom = 1, zoomTarget = 1;
f32 viewYaw = 180, viewPitch = 0;
f32 fieldOfView = 35;
Vec3 viewRight = {1, 0, 0}, viewDown = {0, -1, 0}, viewToward = {0, 0, 1};
f32 lightWeights[3] = {0, 0.4f, 1.0f};

void ResetView() {
    viewOffset = {0, 0, 500};
    zoom = zoomTarget = 1;
    viewYaw = 180;
    viewPitch = 0;
    lightWeights[0] = 0;
    lightWeights[1] = 0.4f;
    lightWeights[2] = 1.0f;
}
