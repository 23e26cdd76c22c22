#include "pointing/Magnetic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace pointing {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

// The WGS-84 ellipsoid (km) and the model's reference radius (km).
constexpr double kWgsA = 6378.137;
constexpr double kWgsF = 1 / 298.257223563;
constexpr double kWgsE2 = kWgsF * (2 - kWgsF);
constexpr double kReferenceRadius = 6371.2;

constexpr int kDegree = 12;

struct Term {
    int n, m;
    double g, h, gDot, hDot;
};

constexpr Term kTerms[] = {
#include "pointing/Wmm2025.inc"
};
static_assert(std::size(kTerms) == kDegree * (kDegree + 3) / 2, "every term n = 1..12, m = 0..n");

// Tables indexed [n][m].
using Table = std::array<std::array<double, kDegree + 1>, kDegree + 1>;

// Schmidt semi-normalised associated Legendre functions of the geocentric
// colatitude theta, given cos(theta) = c and sin(theta) = s: p = P(n, m),
// dp = dP/dtheta, and q = P(n, m) / sin(theta) for m >= 1, worked out by its
// own recurrence (every P with m >= 1 carries the factor sin(theta)) so that
// the east component needs no division by sin(theta), which is 0 at the poles.
struct Legendre {
    Table p{}, dp{}, q{};
};

Legendre LegendreTables(double c, double s) {
    Legendre L;
    L.p[0][0] = 1;
    for (int m = 1; m <= kDegree; ++m) {
        // The sectoral P(m, m) = sqrt((2m - 1) / 2m) s P(m - 1, m - 1); for
        // m = 1 the factor is 1 (Schmidt's normalisation differs for m = 0).
        const double k = m == 1 ? 1.0 : std::sqrt((2.0 * m - 1) / (2.0 * m));
        L.p[m][m] = k * s * L.p[m - 1][m - 1];
        L.dp[m][m] = k * (c * L.p[m - 1][m - 1] + s * L.dp[m - 1][m - 1]);
        L.q[m][m] = m == 1 ? 1.0 : k * s * L.q[m - 1][m - 1];
    }
    for (int m = 0; m <= kDegree; ++m) {
        for (int n = m + 1; n <= kDegree; ++n) {
            // P(n, m) = ((2n - 1) c P(n - 1, m) - sqrt((n - 1)^2 - m^2) P(n - 2, m)) / sqrt(n^2 - m^2)
            const double a = (2.0 * n - 1) / std::sqrt(double(n * n - m * m));
            const double b = n - 2 >= m ? std::sqrt(double((n - 1) * (n - 1) - m * m) / (n * n - m * m)) : 0.0;
            const double p2 = n - 2 >= m ? L.p[n - 2][m] : 0.0;
            const double dp2 = n - 2 >= m ? L.dp[n - 2][m] : 0.0;
            const double q2 = n - 2 >= m ? L.q[n - 2][m] : 0.0;
            L.p[n][m] = a * c * L.p[n - 1][m] - b * p2;
            L.dp[n][m] = a * (c * L.dp[n - 1][m] - s * L.p[n - 1][m]) - b * dp2;
            if (m >= 1) L.q[n][m] = a * c * L.q[n - 1][m] - b * q2;
        }
    }
    return L;
}

}  // namespace

Declination MagneticDeclination(double latitude, double longitude, double decimalYear, double heightKm) {
    const double lat = std::clamp(latitude, -90.0, 90.0) * kRad;
    const double lon = longitude * kRad;

    // Geodetic to geocentric spherical coordinates on the WGS-84 ellipsoid.
    const double sinLat = std::sin(lat), cosLat = std::cos(lat);
    const double rc = kWgsA / std::sqrt(1 - kWgsE2 * sinLat * sinLat);
    const double xp = (rc + heightKm) * cosLat;
    const double zp = (rc * (1 - kWgsE2) + heightKm) * sinLat;
    const double r = std::hypot(xp, zp);
    const double sinPhi = zp / r;  // geocentric latitude phi = 90 deg - theta
    const double cosPhi = xp / r;

    const Legendre L = LegendreTables(sinPhi, cosPhi);

    // The field in the geocentric frame: north X', east Y', down Z' (nT); X'
    // from dP/dphi = -dP/dtheta.
    const double t = decimalYear - kMagneticModelStart;
    std::array<double, kDegree + 1> cosM{}, sinM{};
    for (int m = 0; m <= kDegree; ++m) {
        cosM[m] = std::cos(m * lon);
        sinM[m] = std::sin(m * lon);
    }
    double north = 0, east = 0, down = 0;
    for (const Term& term : kTerms) {
        const int n = term.n, m = term.m;
        const double g = term.g + t * term.gDot;
        const double h = term.h + t * term.hDot;
        const double scale = std::pow(kReferenceRadius / r, n + 2);
        const double cosPart = g * cosM[m] + h * sinM[m];
        north += scale * cosPart * L.dp[n][m];
        if (m > 0) east += scale * m * (g * sinM[m] - h * cosM[m]) * L.q[n][m];
        down -= scale * (n + 1) * cosPart * L.p[n][m];
    }

    // Turned from geocentric to geodetic north: the frame tilts by the
    // difference of the two latitudes. Only X changes as far as the
    // declination is concerned.
    const double psi = std::atan2(zp, xp) - lat;
    const double x = north * std::cos(psi) - down * std::sin(psi);

    Declination d;
    d.degrees = std::atan2(east, x) / kRad;
    d.extrapolated = !(decimalYear >= kMagneticModelStart && decimalYear <= kMagneticModelEnd);
    return d;
}

double DecimalYear(int year, int month, int day) {
    static constexpr std::array<int, 12> kBefore{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int mon = std::clamp(month, 1, 12);
    const int dayOfYear = kBefore[mon - 1] + (leap && mon > 2 ? 1 : 0) + day;
    const double days = leap ? 366 : 365;
    return year + (dayOfYear - 0.5) / days;
}

}  // namespace pointing
