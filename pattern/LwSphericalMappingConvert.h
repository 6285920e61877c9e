#pragma once
// Mapping between directions on the unit sphere and pixels of a pattern image,
// one class per projection.
//
// Conventions: a direction is a unit vector (x, y, z) with z the projection
// axis (the image centre); theta = acos(z), phi = atan2(y, x), phi = 0 when x
// and y are both 0. Pixel positions are column px then row py, counted from 0,
// in an nx x ny image; the column carries cos(phi) and the row sin(phi). View
// angles are in degrees; every formula works in radians. dOmega is the solid
// angle a pixel covers (steradian per pixel), used as the quadrature weight of
// the pattern sums.

#include "pattern/LwProjection.h"

#include <string>

class LwSphericalMappingConvert
{
public:
    virtual ~LwSphericalMappingConvert() = default;

    // True when the projection can map an nx x ny image.
    virtual bool IsSupportedSize(int nx, int ny) const = 0;
    // Pixel of a direction; true when it falls on the image.
    virtual bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                                  double z) const = 0;
    // The same mapping onto the real rectangle [xmin, xmax] x [ymin, ymax]
    // (the scale of both axes comes from the x range).
    virtual bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin,
                                      double ymax, double x, double y, double z) const = 0;
    // Direction and solid angle of a pixel; false outside the projected area.
    virtual bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py,
                                  int nx, int ny) const = 0;
    virtual std::string GetName() const = 0;
    // Largest polar angle the image shows, degrees.
    virtual float GetMaxTheta() const = 0;
};

// Polar angle proportional to the distance from the image centre; the image
// circle reaches 90 degrees (a hemisphere).
class LwConvertAzimuthalEquidistantMap : public LwSphericalMappingConvert
{
public:
    bool IsSupportedSize(int nx, int ny) const override { return nx == ny; }
    bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                          double z) const override;
    bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin, double ymax,
                              double x, double y, double z) const override;
    bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py, int nx,
                          int ny) const override;
    std::string GetName() const override
    {
        return LwProjection(LwProjection::AzimuthalEquidistant).GetName();
    }
    float GetMaxTheta() const override { return 90.0f; }
};

// Columns are the azimuth (0 to 2 pi), rows the polar angle (0 to pi): the
// whole sphere.
class LwConvertEquidistantCylindricalMap : public LwSphericalMappingConvert
{
public:
    bool IsSupportedSize(int, int) const override { return true; }
    bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                          double z) const override;
    // There is no rectangle form of this projection: always false.
    bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin, double ymax,
                              double x, double y, double z) const override;
    bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py, int nx,
                          int ny) const override;
    std::string GetName() const override
    {
        return LwProjection(LwProjection::EquidistantCylindrical).GetName();
    }
    float GetMaxTheta() const override { return 180.0f; }
};

// Central projection onto a plane tangent at the pole; the view angle is the
// polar angle at the image's half width.
class LwConvertGnomonicMap : public LwSphericalMappingConvert
{
public:
    explicit LwConvertGnomonicMap(double viewAngleDeg = 45.0) : angleDeg_(viewAngleDeg) {}
    bool IsSupportedSize(int nx, int ny) const override { return nx == ny; }
    bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                          double z) const override;
    bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin, double ymax,
                              double x, double y, double z) const override;
    bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py, int nx,
                          int ny) const override;
    std::string GetName() const override { return LwProjection(LwProjection::Gnomonic).GetName(); }
    float GetMaxTheta() const override { return static_cast<float>(angleDeg_); }
    virtual void SetAngle(double viewAngleDeg) { angleDeg_ = viewAngleDeg; }

private:
    double angleDeg_;
};

// Conformal projection from the opposite pole; the view angle is the polar
// angle at the image's half width. Its centre lies at (n + 1) / 2.
class LwConvertStereographicMap : public LwSphericalMappingConvert
{
public:
    explicit LwConvertStereographicMap(double viewAngleDeg = 90.0) : angleDeg_(viewAngleDeg) {}
    bool IsSupportedSize(int nx, int ny) const override { return nx == ny; }
    bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                          double z) const override;
    bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin, double ymax,
                              double x, double y, double z) const override;
    bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py, int nx,
                          int ny) const override;
    std::string GetName() const override { return LwProjection(LwProjection::Stereographic).GetName(); }
    float GetMaxTheta() const override { return static_cast<float>(angleDeg_); }

private:
    // Radius of a polar angle in units of the half width: 2 tan(theta / 2)
    // divided by the same for the view angle.
    double RadiusRatio(double theta) const;

    double angleDeg_;
};

// Parallel projection along z: the image disc is the upper hemisphere.
class LwConvertOrthographicMap : public LwSphericalMappingConvert
{
public:
    bool IsSupportedSize(int nx, int ny) const override { return nx == ny; }
    bool DirectionToPixel(double& px, double& py, int nx, int ny, double x, double y,
                          double z) const override;
    bool DirectionToRectangle(double& u, double& v, double xmin, double xmax, double ymin, double ymax,
                              double x, double y, double z) const override;
    bool PixelToDirection(double& x, double& y, double& z, double& dOmega, double px, double py, int nx,
                          int ny) const override;
    std::string GetName() const override { return LwProjection(LwProjection::Orthographic).GetName(); }
    float GetMaxTheta() const override { return 90.0f; }
};
