#include "pattern/LwSphericalMappingConvert.h"

#include "core/LwConstants.h"
#include "core/LwSphericalCoordinates.h"

#include <algorithm>
#include <cmath>

namespace {

bool InsideImage(double px, double py, int nx, int ny)
{
    return px >= 0.0 && px <= nx - 1 && py >= 0.0 && py <= ny - 1;
}

bool InsideRectangle(double u, double v, double xmin, double xmax, double ymin, double ymax)
{
    return u >= xmin && u <= xmax && v >= ymin && v <= ymax;
}

// 2 tan(t / 2), written so that it stays accurate near t = 0.
double TwiceTanHalf(double t)
{
    const double s = std::sin(t), c = std::cos(t);
    return s / (c + 1.0) * (1.0 - c) + s;
}

}  // namespace

// ---------------------------------------------------------------- azimuthal equidistant

bool LwConvertAzimuthalEquidistantMap::DirectionToPixel(double& px, double& py, int nx, int ny, double x,
                                                        double y, double z) const
{
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double c = (nx - 1) * 0.5;
    const double s = (nx - 1) / 180.0 * (theta / LwConst::DegToRad);
    px = std::cos(phi) * s + c;
    py = std::sin(phi) * s + c;
    return InsideImage(px, py, nx, ny);
}

bool LwConvertAzimuthalEquidistantMap::DirectionToRectangle(double& u, double& v, double xmin, double xmax,
                                                            double ymin, double ymax, double x, double y,
                                                            double z) const
{
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double cx = (xmin + xmax) / 2, cy = (ymin + ymax) / 2, hx = cx - xmin;
    const double r = hx / 90.0 * (theta / LwConst::DegToRad);
    u = std::cos(phi) * r + cx;
    v = std::sin(phi) * r + cy;
    return InsideRectangle(u, v, xmin, xmax, ymin, ymax);
}

bool LwConvertAzimuthalEquidistantMap::PixelToDirection(double& x, double& y, double& z, double& dOmega,
                                                        double px, double py, int nx, int /*ny*/) const
{
    if (nx < 2)
        return false;  // a single pixel has no angular scale
    const double c = (nx - 1) * 0.5;
    const double dx = px - c, dy = py - c;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double thetaDeg = r / ((nx - 1) / 180.0);
    if (thetaDeg > 90.0)
        return false;
    const double theta = thetaDeg * LwConst::Pi / 180.0;
    const double phi = std::atan2(dy, dx);
    SphericalToCartesian(1, theta, phi, x, y, z);
    // Ring of radius r and width 1 pixel covers sin(theta) dtheta dphi with
    // dtheta = pi / (2c) per pixel; the centre pixel is a disc of radius 1/2.
    dOmega = r > 0.0 ? std::sin(theta) * LwConst::Pi / (r * 2 * c) : LwConst::PiSquared / (4 * c * c);
    return true;
}

// ---------------------------------------------------------------- equidistant cylindrical

bool LwConvertEquidistantCylindricalMap::DirectionToPixel(double& px, double& py, int nx, int ny, double x,
                                                          double y, double z) const
{
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    px = phi / LwConst::Pi * 0.5 * nx;
    py = (ny - 1) * theta / LwConst::Pi;
    // Azimuths just below 0 belong to the last column (periodic in phi).
    if (px <= -0.5)
        px += nx;
    if (px >= nx - 0.5)
        px -= nx;
    return px >= -0.5 && px < nx - 0.5 && py >= -0.5 && py < ny - 0.5;
}

bool LwConvertEquidistantCylindricalMap::DirectionToRectangle(double&, double&, double, double, double,
                                                              double, double, double, double) const
{
    return false;
}

bool LwConvertEquidistantCylindricalMap::PixelToDirection(double& x, double& y, double& z, double& dOmega,
                                                          double px, double py, int nx, int ny) const
{
    if (nx < 1 || ny < 2)
        return false;  // no polar-angle scale
    const double phi = px * 2 * LwConst::Pi / nx;
    const double theta = py * LwConst::Pi / (ny - 1);
    SphericalToCartesian(1, theta, phi, x, y, z);
    const double cells = static_cast<double>(static_cast<long long>(ny - 1) * nx);
    if (py - 0.5 >= 0.0 && py + 0.5 <= ny - 1) {
        dOmega = std::sin(theta) * 2 * LwConst::Pi * LwConst::Pi / cells;
    } else {
        // First and last row: a polar cap of angular radius pi / (2 (ny - 1)),
        // shared by the nx pixels of the row.
        dOmega = LwConst::PiCubed / (4.0 * (ny - 1) * (ny - 1) * nx);
    }
    return true;
}

// ---------------------------------------------------------------- gnomonic

bool LwConvertGnomonicMap::DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                                            double z) const
{
    if (z < 0.0)
        return false;
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double h = (nx - 1) * 0.5;
    const double t = std::tan(theta) / std::tan(angleDeg_ * LwConst::DegToRad);
    px = std::cos(phi) * t * h + h;
    py = std::sin(phi) * t * h + h;
    return InsideImage(px, py, nx, ny);
}

bool LwConvertGnomonicMap::DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin,
                                                double ymax, double x, double y, double z) const
{
    if (z < 0.0)
        return false;
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double cx = (xmin + xmax) / 2, cy = (ymin + ymax) / 2, hx = cx - xmin;
    const double t = std::tan(theta) / std::tan(angleDeg_ * LwConst::DegToRad);
    u = std::cos(phi) * t * hx + cx;
    v = std::sin(phi) * t * hx + cy;
    return InsideRectangle(u, v, xmin, xmax, ymin, ymax);
}

bool LwConvertGnomonicMap::PixelToDirection(double& x, double& y, double& z, double& dOmega, double px,
                                            double py, int nx, int /*ny*/) const
{
    if (nx < 2)
        return false;
    const double h = (nx - 1) * 0.5;
    const double d = h / std::tan(angleDeg_ * LwConst::DegToRad);  // distance of the image plane, pixels
    const double vx = px - h, vy = py - h;
    const double l = std::sqrt(vx * vx + vy * vy + d * d);
    x = vx / l;
    y = vy / l;
    z = d / l;
    dOmega = 1.0 / (l * l + 1.0);
    return true;
}

// ---------------------------------------------------------------- stereographic

double LwConvertStereographicMap::RadiusRatio(double theta) const
{
    return TwiceTanHalf(theta) / TwiceTanHalf(angleDeg_ * LwConst::DegToRad);
}

bool LwConvertStereographicMap::DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                                                 double z) const
{
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double c = (nx + 1) * 0.5;
    const double ratio = RadiusRatio(theta);
    px = std::cos(phi) * c * ratio + c;
    py = std::sin(phi) * c * ratio + c;
    return InsideImage(px, py, nx, ny);
}

bool LwConvertStereographicMap::DirectionToRectangle(double& u, double& v, double xmin, double xmax,
                                                     double ymin, double ymax, double x, double y,
                                                     double z) const
{
    double theta, phi;
    UnitVectorToPolarAngles(x, y, z, theta, phi);
    const double cx = (xmin + xmax) / 2, cy = (ymin + ymax) / 2, hx = cx - xmin;
    const double ratio = RadiusRatio(theta);
    u = std::cos(phi) * hx * ratio + cx;
    v = std::sin(phi) * hx * ratio + cy;
    return InsideRectangle(u, v, xmin, xmax, ymin, ymax);
}

bool LwConvertStereographicMap::PixelToDirection(double& x, double& y, double& z, double& dOmega, double px,
                                                 double py, int nx, int /*ny*/) const
{
    const double a = angleDeg_ * LwConst::DegToRad;
    const double c = (nx + 1) * 0.5;
    const double k = 2 * std::sin(a) / (1 + std::cos(a));  // 2 tan(a / 2)
    const double u = (px - c) / c * k, v = (py - c) / c * k;
    const double q = u * u + v * v;
    const double theta = std::acos((4 - q) / (q + 4));
    const double phi = std::atan2(v, u);
    SphericalToCartesian(1, theta, phi, x, y, z);
    dOmega = 16.0 / ((q + 4) * (q + 4));
    return true;
}

// ---------------------------------------------------------------- orthographic

bool LwConvertOrthographicMap::DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                                                double z) const
{
    if (z < 0.0)
        return false;
    const double r = (nx - 1) * 0.5;
    px = r * x + r;
    py = r * y + r;
    return InsideImage(px, py, nx, ny);
}

bool LwConvertOrthographicMap::DirectionToRectangle(double& u, double& v, double xmin, double xmax,
                                                    double ymin, double ymax, double x, double y,
                                                    double z) const
{
    if (z < 0.0)
        return false;
    const double cx = (xmin + xmax) / 2, cy = (ymin + ymax) / 2, hx = cx - xmin;
    u = hx * x + cx;
    v = hx * y + cy;
    return InsideRectangle(u, v, xmin, xmax, ymin, ymax);
}

bool LwConvertOrthographicMap::PixelToDirection(double& x, double& y, double& z, double& dOmega, double px,
                                                double py, int nx, int /*ny*/) const
{
    const double r = (nx - 1) * 0.5;
    if (r > 0.0) {
        x = (px - r) / r;
        y = (py - r) / r;
        const double s = 1 - x * x - y * y;
        if (s > 0.0) {
            z = std::sqrt(s);
            dOmega = z;
            return true;
        }
    }
    x = y = z = dOmega = 0.0;
    return false;
}
