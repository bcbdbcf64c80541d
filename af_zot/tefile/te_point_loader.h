// The T&E file format: one reference point a line, seven TAB-separated fields.
#ifndef ZOT_TE_POINT_LOADER_H
#define ZOT_TE_POINT_LOADER_H

#include <string>
#include <vector>

// One reference point as a T&E file holds it. latitude/longitude hold map Y/X
// when the file is not geographic. Lengths in meters.
struct TEPoint {
    std::string id;
    double latitude = 0.0;
    double longitude = 0.0;
    double elevation = 0.0;
    double circularError90 = 0.0;
    double linearError90 = 0.0;
    std::string description;
};

// Reads and writes T&E files. Format failures raise
// ZarvoLog::CPPException<std::invalid_argument> ("Incorrect format for T&E File.");
// a file that cannot be opened, read or written raises ZarvoLog::CPPException<std::runtime_error>.
class TEPointLoader {
public:
    // Appends the file's points in file order; at an invalid line raises, keeping
    // the points appended before it. A null file name does nothing.
    void loadFile(const char *fileName, bool unitsAreDegrees, std::vector<TEPoint> &points);
    // The point of one line without its line end.
    TEPoint processLine(bool unitsAreDegrees, const std::string &line);
    // Creates or truncates the file and writes one CR LF line per point.
    void saveFile(const char *fileName, bool unitsAreDegrees, const std::vector<TEPoint> &points);
    // A coordinate field: D M S, D:M:S or a decimal number.
    double parseCoordinate(const std::string &field);
    // Signed whole degrees, whole minutes and seconds of a value in degrees.
    void splitDegrees(double value, int &degrees, int &minutes, double &seconds);
};

#endif
