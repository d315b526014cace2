// What a sensor sees: its true calibration (pixels to micrometres) and the scene under it.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Registers.h"

namespace yoxasim {

// The sensor's true calibration in calibrated pixel coordinates (the 2048 columns and 1088 or 1400
// rows the calibration covers). X is one polynomial per row in the column, Z one per column in the
// row; both quadratic. Heights grow with the row.
struct TrueCalibration {
    double pixel;       // micrometres per column at mid-range
    double magnify;     // relative change of the lateral scale from the first to the last row
    double distortion;  // micrometres per column squared
    double rowPitch;    // micrometres per row at mid-range
    double rowCurve;    // micrometres per row squared
    double fieldCurve;  // height offset at the outermost columns, micrometres
    int rows;

    double X(double column, double row) const;
    double Z(double column, double row) const;
    // The row at which the column sees height h; NaN when no row does.
    double RowOf(double column, double h) const;
    // Coefficients c0, c1, c2 (millimetres) of the X polynomial of a row and the Z polynomial of a column.
    void XPolynomial(int row, double c[3]) const;
    void ZPolynomial(int column, double c[3]) const;
};

TrueCalibration CalibrationOf(Family family);

// One optical surface: its real height over (x, y) in micrometres (NaN where it is not), how much
// light it sends back (0..1), and the refractive index of the medium between it and the surface above.
struct Surface {
    std::function<double(double x, double y)> height;
    double reflectance;
    double indexAbove;
};

// Surfaces from top to bottom; the scene repeats along y with the period (0: it does not change).
struct Scene {
    std::vector<Surface> surfaces;
    double period = 0.0;
};

Scene MakeScene(const std::string& name);

}  // namespace yoxasim
