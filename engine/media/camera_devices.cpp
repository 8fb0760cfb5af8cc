#include "media/camera_devices.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <tuple>
#include <unistd.h>

namespace flickbook::media {

namespace {

int query(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

// Every size and rate of one pixel format.
void addModes(int fd, std::uint32_t format, std::vector<CameraMode>& modes) {
    v4l2_frmsizeenum size{};
    size.pixel_format = format;
    for (size.index = 0; query(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
            // Stepwise or continuous: the largest size stands for them.
            modes.push_back({int(size.stepwise.max_width), int(size.stepwise.max_height), 0});
            break;
        }
        v4l2_frmivalenum interval{};
        interval.pixel_format = format;
        interval.width = size.discrete.width;
        interval.height = size.discrete.height;
        bool any = false;
        for (interval.index = 0; query(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0;
             ++interval.index) {
            if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE || interval.discrete.numerator == 0)
                break;
            modes.push_back({int(size.discrete.width), int(size.discrete.height),
                             double(interval.discrete.denominator) / interval.discrete.numerator});
            any = true;
        }
        if (!any)
            modes.push_back({int(size.discrete.width), int(size.discrete.height), 0});
    }
}

} // namespace

std::vector<CameraDevice> listCameras() {
    std::vector<CameraDevice> cameras;
    std::error_code ec;
    std::vector<std::filesystem::path> nodes;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("video", 0) == 0)
            nodes.push_back(entry.path());
    }
    std::sort(nodes.begin(), nodes.end());
    for (const auto& node : nodes) {
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            cameras.push_back({node.string(), node.filename().string(), {}});
            continue;
        }
        v4l2_capability caps{};
        if (query(fd, VIDIOC_QUERYCAP, &caps) == 0) {
            const std::uint32_t offered =
                (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
            // Metadata and output nodes of the same camera are left out.
            if ((offered & V4L2_CAP_VIDEO_CAPTURE) && (offered & V4L2_CAP_STREAMING)) {
                CameraDevice camera{node.string(), reinterpret_cast<const char*>(caps.card), {}};
                v4l2_fmtdesc format{};
                format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
                for (format.index = 0; query(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index)
                    addModes(fd, format.pixelformat, camera.modes);
                cameras.push_back(std::move(camera));
            }
        }
        ::close(fd);
    }
    return cameras;
}

CameraMode chooseCameraMode(const std::vector<CameraMode>& modes) {
    if (modes.empty())
        return {};
    const double wanted = 1280.0 * 720.0;
    auto distance = [&](const CameraMode& mode) {
        const double area = double(mode.width) * mode.height;
        const double rate = mode.frameRate > 0 ? mode.frameRate : 30.0;
        // Area by ratio, so 1080p and 480p are about as far from 720p;
        // rates below 30 count three times as far as rates above it, so 60
        // goes before 15.
        const double rateDistance = rate >= 30.0 ? rate - 30.0 : 3.0 * (30.0 - rate);
        return std::make_tuple(std::abs(std::log(area / wanted)), rateDistance,
                               mode.frameRate <= 0);
    };
    return *std::min_element(
        modes.begin(), modes.end(),
        [&](const CameraMode& a, const CameraMode& b) { return distance(a) < distance(b); });
}

} // namespace flickbook::media
