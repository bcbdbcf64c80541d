// The T&E file format: one reference point a line, seven TAB-separated fields.
#ifndef ZOT_TE_POINT_LOADER_H
#define ZOT_TE_POINT_LOADER_H

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zarvolog.h"

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

// An invalid line. As a ZarvoLog::Exception it has the source TEPointLoader, the
// operation "TEPointLoader::processLine" and the file's line as its line; its
// message (get_What and what) is always "Incorrect format for T&E File.".
// detail() tells the user where and what: 'line 4, field 3 (longitude): "45 5"
// holds 2 numbers, D M S needs 3'.
class TEFormatException : public ZarvoLog::CPPException<std::invalid_argument> {
public:
    // field names the field ("field 3 (longitude)"), or is empty for the whole line.
    TEFormatException(int line, const std::string &field, const std::string &problem);
    const std::string &field() const { return field_; }
    const std::string &problem() const { return problem_; }
    std::string detail() const;

private:
    std::string field_;
    std::string problem_;
};

// A T&E file that cannot be opened, read or written: what() names the file
// ("Error writing T&E file NAME."), reason() says why in the system's words
// ("Cannot write to NAME: Permission denied."), or is empty.
class TEFileException : public ZarvoLog::CPPException<std::runtime_error> {
public:
    TEFileException(const char *operation, int line, const std::string &message, const std::string &reason);
    const std::string &reason() const { return reason_; }

private:
    std::string reason_;
};

// Reads and writes T&E files. Format failures raise TEFormatException, file
// failures TEFileException.
class TEPointLoader {
public:
    // Appends the file's points in file order; at an invalid line raises, keeping
    // the points appended before it. A UTF-8 byte-order mark at the start of the
    // file is skipped. A null file name does nothing.
    void loadFile(const char *fileName, bool unitsAreDegrees, std::vector<TEPoint> &points);
    // The same reading, handing each point to take as its line is read, with
    // the line's number (take may move the point away); what take raises ends
    // the reading. expect, when given, is told once, before the first point,
    // about how many lines the file holds (estimated from its size and its
    // first block), so that a caller can make room for them at once.
    void readFile(const char *fileName, bool unitsAreDegrees,
                  const std::function<void(TEPoint &point, int line)> &take,
                  const std::function<void(size_t lines)> &expect = {});
    // The point of one line without its line end; raises for an invalid line
    // (as line 1).
    TEPoint processLine(bool unitsAreDegrees, const std::string &line);
    // Writes one CR LF line per point, replacing the file only once all of it
    // is written (a failure leaves the earlier file as it was).
    void saveFile(const char *fileName, bool unitsAreDegrees, const std::vector<TEPoint> &points);
    // A coordinate field: D M S, D:M:S or a decimal number, blanks around it
    // ignored, with an optional hemisphere letter (S and W make it negative).
    // Raises for a field that is not exactly one of these forms.
    double parseCoordinate(const std::string &field);
    // Signed whole degrees, whole minutes and seconds of a value in degrees.
    void splitDegrees(double value, int &degrees, int &minutes, double &seconds);
};

#endif
