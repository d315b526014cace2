#include "Optics.h"

#include <algorithm>
#include <limits>

namespace yoxasim {
namespace {

constexpr double kCentre = 1024.0;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

}  // namespace

double TrueCalibration::X(double column, double row) const {
    double dc = column - kCentre;
    double dr = (row - rows / 2.0) / rows;
    return pixel * (1.0 + magnify * dr) * dc + distortion * dc * dc;
}

double TrueCalibration::Z(double column, double row) const {
    double d = row - rows / 2.0;
    double edge = (column - kCentre) / kCentre;
    return rowPitch * d + rowCurve * d * d + fieldCurve * edge * edge;
}

double TrueCalibration::RowOf(double column, double h) const {
    double edge = (column - kCentre) / kCentre;
    double rhs = h - fieldCurve * edge * edge;
    double disc = rowPitch * rowPitch + 4.0 * rowCurve * rhs;
    if (disc < 0.0) return kNone;
    // The root near the linear one, in the form that stays exact for a small curve.
    return rows / 2.0 + 2.0 * rhs / (rowPitch + std::sqrt(disc));
}

void TrueCalibration::XPolynomial(int row, double c[3]) const {
    double a = pixel * (1.0 + magnify * (row - rows / 2.0) / rows);
    // a (p - 1024) + w (p - 1024)^2, expanded in p.
    c[0] = (-a * kCentre + distortion * kCentre * kCentre) / 1000.0;
    c[1] = (a - 2.0 * distortion * kCentre) / 1000.0;
    c[2] = distortion / 1000.0;
}

void TrueCalibration::ZPolynomial(int column, double c[3]) const {
    double m = rows / 2.0;
    double edge = (column - kCentre) / kCentre;
    c[0] = (-rowPitch * m + rowCurve * m * m + fieldCurve * edge * edge) / 1000.0;
    c[1] = (rowPitch - 2.0 * rowCurve * m) / 1000.0;
    c[2] = rowCurve / 1000.0;
}

TrueCalibration CalibrationOf(Family family) {
    switch (family) {
        case Family::kSkarvel:
            return {5.0, 0.01, 1.5e-5, 2.2, 2.0e-4, 12.0, 1088};
        case Family::kTarn:
            return {4.6, 0.01, 1.0e-5, 2.8, 3.0e-4, 18.0, 1400};
        case Family::kCam:
        default:
            return {5.5, 0.01, 2.0e-5, 2.9, 3.0e-4, 15.0, 1088};
    }
}

Scene MakeScene(const std::string& name) {
    Scene scene;
    if (name == "mirror") {
        scene.surfaces.push_back({[](double x, double) { return 0.04 * x + 300.0; }, 0.9, 1.0});
    } else if (name == "steps") {
        // Seven steps of 1.5 mm across the line; bars of 1 mm raise the part every 2 mm along y.
        scene.period = 2000.0;
        scene.surfaces.push_back({[](double x, double y) {
                                      int step = static_cast<int>(std::floor((x + 5250.0) / 1500.0));
                                      step = std::clamp(step, 0, 6);
                                      double bar = std::fmod(y, 2000.0) < 1000.0 ? 150.0 : 0.0;
                                      return -900.0 + 300.0 * step + bar;
                                  },
                                  0.45, 1.0});
    } else if (name == "glass-on-steps") {
        // A coated glass plate 700 um thick over a stepped part: four peaks where the coating is
        // (x > 0), three elsewhere.
        scene.surfaces.push_back({[](double x, double) { return x > 0.0 ? 700.0 : kNone; }, 0.25, 1.0});
        scene.surfaces.push_back({[](double, double) { return 660.0; }, 0.3, 1.38});
        scene.surfaces.push_back({[](double, double) { return -40.0; }, 0.25, 1.5});
        scene.surfaces.push_back({[](double x, double) {
                                      int step = std::clamp(
                                          static_cast<int>(std::floor((x + 5000.0) / 2500.0)), 0, 3);
                                      return -1200.0 + 300.0 * step;
                                  },
                                  0.45, 1.0});
    } else if (name == "grooves") {
        // A plate with four grooves along y, 30, 200, 500 and 1000 um deep and 500, 1410, 1410 and
        // 3000 um wide, 800 um apart.
        scene.surfaces.push_back({[](double x, double) {
                                      const double width[4] = {500.0, 1410.0, 1410.0, 3000.0};
                                      const double depth[4] = {30.0, 200.0, 500.0, 1000.0};
                                      double left = -4360.0;
                                      for (int g = 0; g < 4; ++g) {
                                          if (x >= left && x < left + width[g]) return 500.0 - depth[g];
                                          left += width[g] + 800.0;
                                      }
                                      return 500.0;
                                  },
                                  0.4, 1.0});
    }
    return scene;
}

}  // namespace yoxasim
