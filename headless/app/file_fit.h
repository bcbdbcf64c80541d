// Whether the files a user chose belong together: the points of a T&E file and
// the images the tool shows, the two images of a stereo pair. Each check
// returns what the user is told, in the user's words, or "" when all is well.
#ifndef ZAPP_FILE_FIT_H
#define ZAPP_FILE_FIT_H

#include <string>

namespace zapp {

// After the T&E file was opened: when no T&E marker lies inside an image, or
// fewer than half of them do, says so with the likely cause (a latitude and
// longitude file on a map image, or the reverse), read from the ranges of the
// file's coordinates.
std::string PointsOutsideTheImages(const std::string &teFile);
// After opening the T&E file failed: when its coordinates look like map
// coordinates and the image is geographic (so that a northing was read as a
// longitude), says so.
std::string CoordinatesOfAnotherKind(const std::string &teFile);
// After starting a stereo pair failed: when an image of the pair has no RPC
// sensor model, says that a pair needs two, naming the image and what it is.
std::string PairWithoutSensorModels(const std::string &left, const std::string &right);

}  // namespace zapp

#endif
