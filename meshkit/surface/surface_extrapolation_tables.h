// Extrapolation matrices of the surface element classes, nodes by points,
// row-major, and the matrices of each class by integration-point count. Only
// the surface element sources and their tests read these.
#pragma once

#include <meshkit/extrapolation.h>

namespace Meshkit {
namespace surface_tables {

// Extrapolation matrices: one row per node, one column per integration point
// of the caller's rule, row-major. Each is E (V^T V)^-1 V^T for the fit space
// named above it (V: the space's terms at the points, E: at the nodes), every
// entry rounded to six significant digits. They are the stored values and are
// used as they stand, residues of the rounding such as -4.61491e-16 included.
//
// Column order, triangles (barycentric coordinate k = corner shape function k):
//  m = 3: point j at the midpoint of edge j -> j + 1 (2 -> 0 for j = 2);
//  m = 4: the centroid, then point 1 + j with 0.6 at node j and 0.2 elsewhere;
//  m = 7: the centroid; points 1 + j with the small coordinate
//         (9 - 2 sqrt 15) / 21 at node j; points 4 + j with the large one
//         (9 + 2 sqrt 15) / 21 at node j;
//  m = 13: the centroid; points 1 + j with 0.479308067841920 at node j;
//         points 4 + j with 0.869739794195568 at node j; points 7 to 12 with
//         (0.638444188569810, 0.312865496004874, 0.048690315425316) as
//         (largest, middle, smallest) at the nodes (0, 1, 2), (2, 0, 1),
//         (1, 2, 0), (1, 0, 2), (0, 2, 1), (2, 1, 0).
// Column order, quadrilaterals: m = 4: (-g, -g), (g, -g), (-g, g), (g, g);
//  m = 9: the 3-by-3 Gauss-Legendre points at -h, 0, h (h = sqrt(3/5)),
//         r varying fastest.

// 3-node triangle, linear fit {1, r, s}.
inline constexpr double kTriangle3From3[3 * 3] = {
    1,  -1, 1,   //
    1,  1,  -1,  //
    -1, 1,  1,
};
inline constexpr double kTriangle3From4[3 * 4] = {
    0.25, 1.91667,   -0.583333, -0.583333,  //
    0.25, -0.583333, 1.91667,   -0.583333,  //
    0.25, -0.583333, -0.583333, 1.91667,
};
inline constexpr double kTriangle3From7[3 * 7] = {
    0.142857, -0.27612, 0.352346, 0.352346, 0.853501,  -0.212465, -0.212465,  //
    0.142857, 0.352346, -0.27612, 0.352346, -0.212465, 0.853501,  -0.212465,  //
    0.142857, 0.352346, 0.352346, -0.27612, -0.212465, -0.212465, 0.853501,
};
inline constexpr double kTriangle3From13[3 * 13] = {
    0.0769231, 0.196678,  0.0170454, 0.0170454, 0.516983,  -0.143107, -0.143107,
    0.327231,  0.0601316, -0.156594, 0.0601316, 0.327231,  -0.156594,  //
    0.0769231, 0.0170454, 0.196678,  0.0170454, -0.143107, 0.516983,  -0.143107,
    0.0601316, -0.156594, 0.327231,  0.327231,  -0.156594, 0.0601316,  //
    0.0769231, 0.0170454, 0.0170454, 0.196678,  -0.143107, -0.143107, 0.516983,
    -0.156594, 0.327231,  0.0601316, -0.156594, 0.0601316, 0.327231,
};

// 6-node triangle: linear fit {1, r, s} for m = 3 and 4, complete quadratic
// {1, r, s, r^2, rs, s^2} for m = 7 and 13.
inline constexpr double kTriangle6From3[6 * 3] = {
    1,  -1, 1,   //
    1,  1,  -1,  //
    -1, 1,  1,   //
    1,  0,  0,   //
    0,  1,  0,   //
    0,  0,  1,
};
inline constexpr double kTriangle6From4[6 * 4] = {
    0.25, 1.91667,   -0.583333, -0.583333,  //
    0.25, -0.583333, 1.91667,   -0.583333,  //
    0.25, -0.583333, -0.583333, 1.91667,    //
    0.25, 0.666667,  0.666667,  -0.583333,  //
    0.25, -0.583333, 0.666667,  0.666667,   //
    0.25, 0.666667,  -0.583333, 0.666667,
};
inline constexpr double kTriangle6From7[6 * 7] = {
    -0.692308, 0.256377,  -0.412676, -0.412676, 1.97439,   0.143445,  0.143445,   //
    -0.692308, -0.412676, 0.256377,  -0.412676, 0.143445,  1.97439,   0.143445,   //
    -0.692308, -0.412676, -0.412676, 0.256377,  0.143445,  0.143445,  1.97439,    //
    0.177515,  -0.282297, -0.282297, 1.03456,   0.0981258, 0.0981258, 0.156266,   //
    0.177515,  1.03456,   -0.282297, -0.282297, 0.156266,  0.0981258, 0.0981258,  //
    0.177515,  -0.282297, 1.03456,   -0.282297, 0.0981258, 0.156266,  0.0981258,
};
inline constexpr double kTriangle6From13[6 * 13] = {
    -0.235616, -0.131947,  -0.207545,  -0.207545,  1.2511,    0.0999845, 0.0999845,
    0.230915,  -0.264635,  0.199511,   -0.264635,  0.230915,  0.199511,  //
    -0.235616, -0.207545,  -0.131947,  -0.207545,  0.0999845, 1.2511,    0.0999845,
    -0.264635, 0.199511,   0.230915,   0.230915,   0.199511,  -0.264635,  //
    -0.235616, -0.207545,  -0.207545,  -0.131947,  0.0999845, 0.0999845, 1.2511,
    0.199511,  0.230915,   -0.264635,  0.199511,   -0.264635, 0.230915,  //
    0.0905317, 0.150383,   0.150383,   -0.0361296, 0.0170957, 0.0170957, 0.143443,
    0.545741,  -0.116678,  -0.195464,  0.545741,   -0.195464, -0.116678,  //
    0.0905317, -0.0361296, 0.150383,   0.150383,   0.143443,  0.0170957, 0.0170957,
    -0.116678, -0.195464,  0.545741,   -0.195464,  -0.116678, 0.545741,  //
    0.0905317, 0.150383,   -0.0361296, 0.150383,   0.0170957, 0.143443,  0.0170957,
    -0.195464, 0.545741,   -0.116678,  -0.116678,  0.545741,  -0.195464,
};

// 4-node quadrilateral, bilinear fit {1, r, s, rs}. The m = 4 rows are the
// bilinear extrapolation from the 2-by-2 points: 1.86603 = 1 + sqrt(3)/2 and
// 0.133975 = 1 - sqrt(3)/2, rounded.
inline constexpr double kQuadrilateral4From4[4 * 4] = {
    1.86603,  -0.5,     -0.5,     0.133975,  //
    -0.5,     1.86603,  0.133975, -0.5,      //
    0.133975, -0.5,     -0.5,     1.86603,   //
    -0.5,     0.133975, 1.86603,  -0.5,
};
inline constexpr double kQuadrilateral4From9[4 * 9] = {
    0.958109,  0.326277,  -0.305556, 0.326277,  0.111111,
    -0.104055, -0.305556, -0.104055, 0.0974463,  //
    -0.305556, 0.326277,  0.958109,  -0.104055, 0.111111,
    0.326277,  0.0974463, -0.104055, -0.305556,  //
    0.0974463, -0.104055, -0.305556, -0.104055, 0.111111,
    0.326277,  -0.305556, 0.326277,  0.958109,  //
    -0.305556, -0.104055, 0.0974463, 0.326277,  0.111111,
    -0.104055, 0.958109,  0.326277,  -0.305556,
};

// 8-node quadrilateral: bilinear fit for m = 4 (the midside rows average the
// two corner rows of their edge), serendipity {1, r, s, rs, r^2, s^2, r^2 s,
// r s^2} for m = 9.
inline constexpr double kQuadrilateral8From4[8 * 4] = {
    1.86603,   -0.5,      -0.5,      0.133975,   //
    -0.5,      1.86603,   0.133975,  -0.5,       //
    0.133975,  -0.5,      -0.5,      1.86603,    //
    -0.5,      0.133975,  1.86603,   -0.5,       //
    0.683013,  0.683013,  -0.183013, -0.183013,  //
    -0.183013, 0.683013,  -0.183013, 0.683013,   //
    -0.183013, -0.183013, 0.683013,  0.683013,   //
    0.683013,  -0.183013, 0.683013,  -0.183013,
};
inline constexpr double kQuadrilateral8From9[8 * 9] = {
    1.93694,   -0.485887, 0.0277778, -0.485887, -0.555556,
    0.374776,  0.0277778, 0.374776,  -0.214718,  //
    0.0277778, -0.485887, 1.93694,   0.374776,  -0.555556,
    -0.485887, -0.214718, 0.374776,  0.0277778,  //
    -0.214718, 0.374776,  0.0277778, 0.374776,  -0.555556,
    -0.485887, 0.0277778, -0.485887, 1.93694,  //
    0.0277778, 0.374776,  -0.214718, -0.485887, -0.555556,
    0.374776,  1.93694,   -0.485887, 0.0277778,  //
    0.166667,  1.1455,    0.166667,  -0.333333, -4.61491e-16,
    -0.333333, 0.166667,  -0.145497, 0.166667,  //
    0.166667,  -0.333333, 0.166667,  -0.145497, -6.73713e-16,
    1.1455,    0.166667,  -0.333333, 0.166667,  //
    0.166667,  -0.145497, 0.166667,  -0.333333, -7.45606e-16,
    -0.333333, 0.166667,  1.1455,    0.166667,  //
    0.166667,  -0.333333, 0.166667,  1.1455,    -6.32957e-16,
    -0.145497, 0.166667,  -0.333333, 0.166667,
};

// The matrices of each class by integration-point count.
inline constexpr ExtrapolationMatrix kTriangle3Matrices[4] = {
    {3, kTriangle3From3}, {4, kTriangle3From4}, {7, kTriangle3From7}, {13, kTriangle3From13}};
inline constexpr ExtrapolationMatrix kTriangle6Matrices[4] = {
    {3, kTriangle6From3}, {4, kTriangle6From4}, {7, kTriangle6From7}, {13, kTriangle6From13}};
inline constexpr ExtrapolationMatrix kQuadrilateral4Matrices[2] = {{4, kQuadrilateral4From4},
                                                                   {9, kQuadrilateral4From9}};
inline constexpr ExtrapolationMatrix kQuadrilateral8Matrices[2] = {{4, kQuadrilateral8From4},
                                                                   {9, kQuadrilateral8From9}};

}  // namespace surface_tables
}  // namespace Meshkit
