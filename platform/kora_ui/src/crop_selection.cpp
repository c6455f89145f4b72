#include <algorithm>
#include <cmath>

#include "kora_ui/local_state.h"

namespace kora_ui {

CropSelection CropSelection::clamped() const {
    auto clamp01 = [](double v) {
        return std::clamp(v, 0.0, 1.0);
    };
    double l = clamp01(std::min(left, right));
    double r = clamp01(std::max(left, right));
    double t = clamp01(std::min(top, bottom));
    double b = clamp01(std::max(top, bottom));
    if (r - l < kMinimumSpan) {
        r = std::min(1.0, l + kMinimumSpan);
        l = r - kMinimumSpan;
    }
    if (b - t < kMinimumSpan) {
        b = std::min(1.0, t + kMinimumSpan);
        t = b - kMinimumSpan;
    }
    return {l, t, r, b};
}

bool CropSelection::valid() const {
    // A span made by clamping is kMinimumSpan up to rounding (0.35 - 0.3 is a hair under 0.05): that
    // hair must not refuse what a drag left.
    constexpr double kRounding = 1e-9;
    const bool finite =
        std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom);
    return finite && right - left >= kMinimumSpan - kRounding && bottom - top >= kMinimumSpan - kRounding &&
           left >= 0 && top >= 0 && right <= 1 && bottom <= 1;
}

CropSelection CropSelection::moved(Grip grip, double dx, double dy) const {
    CropSelection s = *this;
    const double min = kMinimumSpan;
    const double w = right - left;
    const double h = bottom - top;
    switch (grip) {
        case Grip::top_left:
            s.left = std::clamp(left + dx, 0.0, right - min);
            s.top = std::clamp(top + dy, 0.0, bottom - min);
            break;
        case Grip::top_right:
            s.right = std::clamp(right + dx, left + min, 1.0);
            s.top = std::clamp(top + dy, 0.0, bottom - min);
            break;
        case Grip::bottom_left:
            s.left = std::clamp(left + dx, 0.0, right - min);
            s.bottom = std::clamp(bottom + dy, top + min, 1.0);
            break;
        case Grip::bottom_right:
            s.right = std::clamp(right + dx, left + min, 1.0);
            s.bottom = std::clamp(bottom + dy, top + min, 1.0);
            break;
        case Grip::move:
            s.left = std::clamp(left + dx, 0.0, 1.0 - w);
            s.top = std::clamp(top + dy, 0.0, 1.0 - h);
            s.right = s.left + w;
            s.bottom = s.top + h;
            break;
        case Grip::none:
            break;
    }
    return s;
}

}  // namespace kora_ui
