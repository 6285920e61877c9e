#pragma once
// The projections of a pattern image, in one place: each one's name (the text
// stored as "__SphereProjection.Name" and shown to the user), its mapping
// convert, and, for the two whose image size follows from a resolution
// (degrees per pixel), that size.
//
// The numbers of the first two kinds are the command-line numbers of the
// mapping method (0 azimuthal equidistant, 1 equidistant cylindrical).

#include <memory>
#include <optional>
#include <string>

class LwSphericalMappingConvert;

class LwProjection
{
public:
    enum Kind { AzimuthalEquidistant = 0, EquidistantCylindrical = 1, Gnomonic, Stereographic, Orthographic };

    constexpr LwProjection(Kind kind) : kind_(kind) {}

    // The projection of an exact name ("AzimuthalEquidistant", ...,
    // "Orthographic", case included); none for any other text.
    static std::optional<LwProjection> FromName(const std::string& name);

    Kind GetKind() const { return kind_; }
    const char* GetName() const;

    // A new convert of this projection; the gnomonic and stereographic ones
    // with their default view angles (45 and 90 degrees).
    std::unique_ptr<LwSphericalMappingConvert> MakeConvert() const;

    // True for the projections whose image size follows from a resolution:
    // azimuthal equidistant and equidistant cylindrical. The others are sized
    // by a pixel count and a view angle.
    bool IsSizedByResolution() const;
    // The image size of the grid built for a resolution (degrees per pixel),
    // with the grid builders' refusals (LwError); LwError for a projection
    // that is not sized by resolution.
    void GridSize(double resolutionDeg, int& columns, int& rows) const;

    friend bool operator==(LwProjection a, LwProjection b) { return a.kind_ == b.kind_; }
    friend bool operator!=(LwProjection a, LwProjection b) { return a.kind_ != b.kind_; }

private:
    Kind kind_;
};
