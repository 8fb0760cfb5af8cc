#pragma once

// The cameras of this computer: every /dev/video* that captures pictures,
// with its name and the sizes and rates it offers, and the choice of a
// sensible one of them.

#include <string>
#include <vector>

namespace flickbook::media {

struct CameraMode {
    int width = 0;
    int height = 0;
    double frameRate = 0; // 0 when the device does not say
};

struct CameraDevice {
    std::string path; // "/dev/video0"
    std::string name; // what the device calls itself
    std::vector<CameraMode> modes;
};

// Devices that can capture video, in the order of their paths. Devices that
// cannot be opened (busy, no permission) are listed with no modes.
std::vector<CameraDevice> listCameras();

// 1280 × 720 at 30 frames a second when offered, else the mode nearest to it
// (by picture area, then by rate). An empty list gives a mode of zeros: the
// device's own choice.
CameraMode chooseCameraMode(const std::vector<CameraMode>& modes);

} // namespace flickbook::media
