// Constant tables of the volume element classes, each in its class's own
// natural coordinates and node numbering: node coordinates, face rows,
// parent corners of the midside nodes and centre points.
#pragma once

#include <meshkit/records.h>

namespace Meshkit {
namespace tables {

// Node coordinates. Bricks: corner i has x from bit 2 of i, y from bit 1,
// z from bit 0 (so z varies fastest); midside nodes follow their edges.
// Pyramids: the apex (node 4) is the whole collapsed face; its entry here is
// the centre of that face.
inline constexpr Coord3 kTetrahedronNodes[10] = {
    {1, 0, 0},     {0, 1, 0},     {0, 0, 1},   {0, 0, 0},   {0.5, 0.5, 0},
    {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0, 0, 0.5}, {0, 0.5, 0}, {0.5, 0, 0}};
inline constexpr Coord3 kPyramid5Nodes[5] = {
    {1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {-1, 0, 0}};
inline constexpr Coord3 kPyramid13Nodes[13] = {
    {-1, -1, -1}, {1, -1, -1}, {1, -1, 1},  {-1, -1, 1}, {0, 1, 0}, {0, -1, -1}, {1, -1, 0},
    {0, -1, 1},   {-1, -1, 0}, {-1, 0, -1}, {1, 0, -1},  {1, 0, 1}, {-1, 0, 1}};
inline constexpr Coord3 kWedge6Nodes[6] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 0},
                                           {1, 0, 1}, {0, 1, 1}, {0, 0, 1}};
inline constexpr Coord3 kWedge15Nodes[15] = {
    {0, 0, -1},    {0, 1, -1},   {1, 0, -1},     {0, 0, 1},    {0, 1, 1},
    {1, 0, 1},     {0, 0.5, -1}, {0.5, 0.5, -1}, {0.5, 0, -1}, {0, 0.5, 1},
    {0.5, 0.5, 1}, {0.5, 0, 1},  {0, 0, 0},      {0, 1, 0},    {1, 0, 0}};
inline constexpr Coord3 kBrick8Nodes[8] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1},
                                           {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}};
inline constexpr Coord3 kBrick20Nodes[20] = {
    {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1}, {-1, 1, 1}, {1, -1, -1}, {1, -1, 1},  {1, 1, -1},
    {1, 1, 1},    {-1, -1, 0}, {-1, 1, 0},  {1, -1, 0}, {1, 1, 0},   {-1, 0, -1}, {-1, 0, 1},
    {1, 0, -1},   {1, 0, 1},   {0, -1, -1}, {0, -1, 1}, {0, 1, -1},  {0, 1, 1}};

// Face rows (the quadratic tetrahedron and wedge share their corner rows
// with their linear siblings): corners counter-clockwise seen from outside (ECWedge6 clockwise,
// its rows being those of ECWedge15 under its mirrored corner numbering),
// then the midside node of each edge from the j-th corner to the next.
// Triangles in quadrilateral-sized rows are padded with -1.
inline constexpr int kTetrahedron4Faces[4][3] = {{0, 1, 2}, {1, 3, 2}, {2, 3, 0}, {0, 3, 1}};
inline constexpr int kTetrahedron10Faces[4][6] = {
    {0, 1, 2, 4, 5, 6}, {1, 3, 2, 8, 7, 5}, {2, 3, 0, 7, 9, 6}, {0, 3, 1, 9, 8, 4}};
// ECPyramid5: the base, then the triangles on corners 0-1, 0-3, 1-2, 2-3.
inline constexpr int kPyramid5Faces[5][4] = {
    {0, 1, 2, 3}, {0, 4, 1, -1}, {0, 3, 4, -1}, {1, 4, 2, -1}, {2, 4, 3, -1}};
// ECPyramid13: the base, then the triangles on corners 0-1, 1-2, 2-3, 3-0.
inline constexpr int kPyramid13Faces[5][8] = {{0, 1, 2, 3, 5, 6, 7, 8},
                                              {0, 4, 1, 9, 10, 5, -1, -1},
                                              {1, 4, 2, 10, 11, 6, -1, -1},
                                              {2, 4, 3, 11, 12, 7, -1, -1},
                                              {3, 4, 0, 12, 9, 8, -1, -1}};
inline constexpr int kPyramid13Corners[5][4] = {
    {0, 1, 2, 3}, {0, 4, 1, -1}, {1, 4, 2, -1}, {2, 4, 3, -1}, {3, 4, 0, -1}};
inline constexpr int kWedge6Faces[5][4] = {
    {0, 3, 4, 1}, {2, 5, 3, 0}, {1, 4, 5, 2}, {0, 1, 2, -1}, {3, 5, 4, -1}};
inline constexpr int kWedge15Faces[5][8] = {{0, 3, 4, 1, 12, 9, 13, 6},
                                            {2, 5, 3, 0, 14, 11, 12, 8},
                                            {1, 4, 5, 2, 13, 10, 14, 7},
                                            {0, 1, 2, 6, 7, 8, -1, -1},
                                            {3, 5, 4, 11, 10, 9, -1, -1}};
// Brick faces: x low, x high, y low, y high, z low, z high.
inline constexpr int kBrick8Faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                           {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
inline constexpr int kBrick20Faces[6][8] = {
    {0, 1, 3, 2, 8, 13, 9, 12},  {4, 6, 7, 5, 14, 11, 15, 10}, {0, 4, 5, 1, 16, 10, 17, 8},
    {2, 3, 7, 6, 9, 19, 11, 18}, {0, 2, 6, 4, 12, 18, 14, 16}, {1, 5, 7, 3, 17, 15, 19, 13}};
// Eight entries per row, the last four 0.
inline constexpr int kBrick20Corners[6][8] = {{0, 1, 3, 2, 0, 0, 0, 0}, {4, 6, 7, 5, 0, 0, 0, 0},
                                              {0, 4, 5, 1, 0, 0, 0, 0}, {2, 3, 7, 6, 0, 0, 0, 0},
                                              {0, 2, 6, 4, 0, 0, 0, 0}, {1, 5, 7, 3, 0, 0, 0, 0}};

// Entries per face: nodes and corners.
inline constexpr int kThree[6] = {3, 3, 3, 3, 3, 3};
inline constexpr int kFour[6] = {4, 4, 4, 4, 4, 4};
inline constexpr int kSix[6] = {6, 6, 6, 6, 6, 6};
inline constexpr int kEight[6] = {8, 8, 8, 8, 8, 8};
inline constexpr int kPyramid5Counts[5] = {4, 3, 3, 3, 3};
inline constexpr int kPyramid13Counts[5] = {8, 6, 6, 6, 6};
inline constexpr int kWedge6Counts[5] = {4, 4, 4, 3, 3};
inline constexpr int kWedge15Counts[5] = {8, 8, 8, 6, 6};

// Corners at the ends of each midside node's edge, from the first midside
// node on.
inline constexpr int kTetrahedron10Parents[6][2] = {{0, 1}, {1, 2}, {0, 2}, {2, 3}, {1, 3}, {0, 3}};
inline constexpr int kPyramid13Parents[8][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0},
                                                {0, 4}, {1, 4}, {2, 4}, {3, 4}};
inline constexpr int kWedge15Parents[9][2] = {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5},
                                              {3, 5}, {0, 3}, {1, 4}, {2, 5}};
inline constexpr int kBrick20Parents[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                               {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// The topology of one class: its face rows with their counts and the parent
// corners of its midside nodes (none for the linear classes).
struct Topology {
  int faceCount;
  const int* faceNodes;  // faceCount rows of nodeRowLength entries
  int nodeRowLength;
  const int* faceCorners;  // faceCount rows of cornerRowLength entries
  int cornerRowLength;
  const int* faceNodeCounts;
  const int* faceCornerCounts;
  int firstMidside;
  int midsideCount;
  const int (*parents)[2];
  Coord3 centre;
};

// The wedges' centre is the decimal 0.333333333333 as written, not 1/3.
inline constexpr Topology kTetrahedral4Topology = {
    4,       &kTetrahedron4Faces[0][0], 3, &kTetrahedron4Faces[0][0], 3, kThree, kThree, 4, 0,
    nullptr, {0.25, 0.25, 0.25}};
inline constexpr Topology kTetrahedral10Topology = {4,
                                                    &kTetrahedron10Faces[0][0],
                                                    6,
                                                    &kTetrahedron4Faces[0][0],
                                                    3,
                                                    kSix,
                                                    kThree,
                                                    4,
                                                    6,
                                                    kTetrahedron10Parents,
                                                    {0.25, 0.25, 0.25}};
inline constexpr Topology kPyramid5Topology = {5,
                                               &kPyramid5Faces[0][0],
                                               4,
                                               &kPyramid5Faces[0][0],
                                               4,
                                               kPyramid5Counts,
                                               kPyramid5Counts,
                                               5,
                                               0,
                                               nullptr,
                                               {0.5, 0.5, 0.5}};
inline constexpr Topology kPyramid13Topology = {5,
                                                &kPyramid13Faces[0][0],
                                                8,
                                                &kPyramid13Corners[0][0],
                                                4,
                                                kPyramid13Counts,
                                                kPyramid5Counts,
                                                5,
                                                8,
                                                kPyramid13Parents,
                                                {0.5, 0.5, 0.5}};
inline constexpr Topology kWedge6Topology = {5,
                                             &kWedge6Faces[0][0],
                                             4,
                                             &kWedge6Faces[0][0],
                                             4,
                                             kWedge6Counts,
                                             kWedge6Counts,
                                             6,
                                             0,
                                             nullptr,
                                             {0.333333333333, 0.333333333333, 0.5}};
inline constexpr Topology kWedge15Topology = {5,
                                              &kWedge15Faces[0][0],
                                              8,
                                              &kWedge6Faces[0][0],
                                              4,
                                              kWedge15Counts,
                                              kWedge6Counts,
                                              6,
                                              9,
                                              kWedge15Parents,
                                              {0.333333333333, 0.333333333333, 0}};
inline constexpr Topology kBrick8Topology = {
    6,       &kBrick8Faces[0][0], 4, &kBrick8Faces[0][0], 4, kFour, kFour, 8, 0,
    nullptr, {0.5, 0.5, 0.5}};
inline constexpr Topology kBrick20Topology = {
    6,  &kBrick20Faces[0][0], 8,        &kBrick20Corners[0][0], 8, kEight, kFour, 8,
    12, kBrick20Parents,      {0, 0, 0}};

}  // namespace tables
}  // namespace Meshkit
