#pragma once

namespace orv {

// One affine map of the plane. It sends the raster point (x, y) to
//     x' = a*x + b*y + e*N,   y' = c*x + d*y + f*N
// where N is the picture side in pixels: a to d are the linear part, e and f translate by
// fractions of the picture. Coefficients are kept (and stored on disk) in the order a..f.
struct AffineMap {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double d = 0.0;
    double e = 0.0;
    double f = 0.0;
};

}  // namespace orv
